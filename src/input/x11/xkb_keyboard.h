#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "input/xkb_key_symbols.h"

namespace x11 {

// The X server's keyboard as XKB has it, on the poster's connection: its
// symbols, read again only when someone changed them, and the active group,
// followed through the server's notices so that a key costs no round trip.
class XkbKeyboard {
public:
    explicit XkbKeyboard(xcb_connection_t* conn) : conn_(conn) {}

    // The symbols as they are now; null without XKB. `reread` is set when
    // they were read again, so that what was derived from them is checked.
    const XkbKeySymbols* symbols(bool* reread = nullptr);
    uint8_t group() const { return group_; }

    // Takes note of one event from the server. `ours` says whether a change
    // of the keys [first, first + count) was made by the poster itself, which
    // knows it already.
    void handle(const xcb_generic_event_t* event, const std::function<bool(uint8_t first, uint8_t count)>& ours);

private:
    void select_events();

    xcb_connection_t* conn_;
    std::optional<XkbKeySymbols> symbols_;
    bool stale_ = false;  // someone else changed the keymap
    uint8_t group_ = 0;
};

}  // namespace x11
