#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "input/input_action.h"
#include "input/spare_key_pool.h"
#include "input/typist_keyboard.h"

// Types input actions on a keyboard, in the order they come. Keys type their
// symbols where the keymap has them; characters it lacks go on free keys,
// lent to them. Until a key may be given to it, a character waits, and
// everything behind it waits in order. Times are the caller's, in
// nanoseconds of a monotonic clock.
//
// A client reads a key's symbol only when it looks a press up, and then asks
// the server for the keymap as it is at that moment. Two rules follow, each
// with `reuseAgeNs`, the time even a slow client takes to look a key up:
// - a lent key takes another symbol only once its last use is that old, or
//   the client reads the new symbol for the old press;
// - the keymap changes only once the first key event sent since its last
//   change (ours or anyone's) is that old. Xlib fetches a change when it
//   looks up the first key after it, and forgets the notices of any other
//   change that reach it while it waits for that answer: the keys of such a
//   change keep, for good, what Xlib had on them (nothing, or the
//   character before).
// A client can also miss a change altogether: Xlib asks for the notices of
// keymap changes when it first looks a key up, but sends that request only
// with its next one, and a client busy in between hears of no change made
// meanwhile. So once no key event has gone out for `kRecheckQuietNs`, the
// lent keys are set again to what they carry, once: from then on every
// client reads them as they are.
class Typist {
public:
    Typist(TypistKeyboard& keyboard, uint64_t reuseAgeNs);

    void add(const InputAction& action);
    static constexpr uint64_t kRecheckQuietNs = 1'000'000'000;

    // Posts every action that may go now. Returns when the first one still
    // queued may go, or when the lent keys are to be set again; nothing when
    // neither is left.
    std::optional<uint64_t> type(uint64_t nowNs);
    bool idle() const { return queue_.empty(); }

    struct Dropped {
        size_t characters = 0;  // characters that waited for a key
        size_t events = 0;      // and what was queued behind them
    };
    // Input has ended and the waiting text waits no more: it is dropped with
    // everything behind it, so that nothing is typed after the gap; only the
    // releases of what is held still go out.
    Dropped drop_waiting(uint64_t nowNs);
    // When the lent keys may go back once clients have read their last
    // characters: `nowNs` or later; nothing when none is lent.
    std::optional<uint64_t> keys_back_at(uint64_t nowNs) const;
    // Gives every lent key back its empty map.
    void give_back_keys();

private:
    // A key or character pressed and not yet released: its release goes to
    // the same key, whatever the keymap has become since.
    struct Held {
        bool character;
        uint32_t value;  // code point, or keysym for a key
        uint8_t key;
        bool lent;
    };
    // The symbol a press needs a lent key for: a character or key the
    // keymap lacks, or any character while Shift is held.
    std::optional<uint32_t> lent_symbol_needed(const InputAction& action);
    bool head_ready(uint64_t nowNs, std::optional<uint64_t>* waitUntil);
    void lend_upcoming(uint64_t nowNs);
    // When the keymap may next change: now, or once the first key event
    // since its last change is old enough.
    uint64_t change_allowed_at(uint64_t nowNs) const;
    void change_symbols(const std::vector<SpareKeyPool::Assignment>& keys);
    // When the lent keys are to be set again; nothing when they are not.
    std::optional<uint64_t> recheck_at(uint64_t nowNs) const;
    void send_key(uint8_t key, bool down, uint64_t nowNs);
    void post(const InputAction& action, uint64_t nowNs);
    void press(bool character, uint32_t value, uint32_t keysym, uint64_t nowNs);
    bool release(bool character, uint32_t value, uint64_t nowNs);
    bool releases_held(const InputAction& action) const;
    bool shift_held() const;
    std::vector<Held>::iterator find_held(bool character, uint32_t value);
    SpareKeyPool& pool();

    TypistKeyboard& keyboard_;
    uint64_t reuseAgeNs_;
    std::deque<InputAction> queue_;
    std::optional<SpareKeyPool> pool_;
    uint64_t keymapGeneration_ = 0;
    // The first key event sent since the keymap last changed; none while no
    // key was sent since. The typist starts as after a change: clients may
    // still be fetching the keymap they were given.
    std::optional<uint64_t> firstKeySinceChangeNs_;
    uint64_t lastKeyNs_ = 0;
    bool recheckDue_ = false;  // the keymap changed since the lent keys were last set again
    std::vector<Held> held_;
    uint8_t buttonsHeld_ = 0;  // bit per PointerButton
};

// The warning for what `drop_waiting` dropped; nothing when nothing was.
void log_dropped(const Typist::Dropped& dropped);
