#include "input/input_handlers.h"

#include <cstdio>
#include <mutex>

#include "input/event_poster.h"
#include "input/keyboard.h"
#include "input/lowering.h"
#include "input/pointer.h"

namespace {

std::mutex g_inputLock;
PointerState g_pointer;
KeyboardState g_keyboard;
// Set once by main before the control thread starts.
EventPoster* g_poster = nullptr;

// Every key, mouse and scroll event carries the modifiers held when it is
// posted, the releases at the end included; it is lowered here, once, for
// every platform but macOS. `lowered` false: only macOS posts it.
void post_decided(const InputEvent& event, bool lowered) {
    PostedInput input{event, {}};
    apply_modifier_flags(g_keyboard, input.quartz);
    if (lowered) input.actions = lower_event(input.quartz, {held_modifiers(g_keyboard), g_pointer.placed});
    if (std::holds_alternative<MouseEvent>(event)) g_pointer.placed = true;
    if (g_poster) g_poster->post(input);
}

void post(const InputEvent& event) { post_decided(event, true); }

struct Dispatch {
    uint64_t nowNs;

    void operator()(const MoveMessage& m) const { post(pointer_move(g_pointer, m.x, m.y)); }
    void operator()(const ButtonMessage& m) const { post(pointer_button(g_pointer, m.button, m.action, nowNs)); }
    void operator()(const ScrollMessage& m) const { post(pointer_scroll(m.delta)); }
    void operator()(const KeyMessage& m) const {
        const auto event = key_event(g_keyboard, m.vk, m.action);
        if (!event) {
            fprintf(stderr, "[keymap] unmapped AWT VK=%d\n", m.vk);
            return;
        }
        post(*event);
    }
    void operator()(const TextMessage& m) const {
        const uint32_t cp = uint32_t{m.codePoint[0]} << 16 | uint32_t{m.codePoint[1]} << 8 | m.codePoint[2];
        const auto event = text_event(cp, m.action == 1);
        if (!event) {
            fprintf(stderr, "[ctrl] WARNING: text code point 0x%06X is not a character, dropped\n", cp);
            return;
        }
        post_decided(*event, track_text(g_keyboard, cp, event->keyDown));
    }
    void operator()(const UnknownMessage& m) const {
        fprintf(stderr, "[ctrl] unknown message type: 0x%02X\n", m.type);
    }
};

}  // namespace

void handle_control_message(const ControlMessage& message, uint64_t nowNs) {
    std::lock_guard<std::mutex> guard(g_inputLock);
    std::visit(Dispatch{nowNs}, message);
}

void release_held_input() {
    std::lock_guard<std::mutex> guard(g_inputLock);
    release_held_buttons(g_pointer, post);
    release_held_keys(g_keyboard, post);
    if (g_poster) g_poster->settle();
}

void set_event_poster(EventPoster* poster) { g_poster = poster; }

bool input_permitted() { return g_poster && g_poster->input_permitted(false); }

void reset_input_state() {
    std::lock_guard<std::mutex> guard(g_inputLock);
    g_pointer = PointerState{};
    g_keyboard = KeyboardState{};
}
