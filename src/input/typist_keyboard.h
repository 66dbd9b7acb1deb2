#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "input/input_action.h"
#include "input/spare_key_pool.h"

// The keyboard a typist types on, as a server has it: its own keys, the
// keys it leaves without a symbol (which the typist lends to characters),
// and the requests that change and press them, which take effect in the
// order they are made.
class TypistKeyboard {
public:
    virtual ~TypistKeyboard() = default;

    // Keys that carry no symbol at all: free to lend.
    virtual std::vector<uint8_t> free_keys() = 0;
    // The keymap's own key that types `keysym` unmodified in the active
    // group; never a key the typist has lent.
    virtual std::optional<uint8_t> key_for(uint32_t keysym) = 0;
    // What `key` types unmodified now (kNoSymbol: nothing).
    virtual uint32_t symbol_on(uint8_t key) = 0;
    // Counts the changes of the keymap that others made, so that the lent
    // keys are checked after each.
    virtual uint64_t keymap_generation() = 0;

    // Gives each key its symbol on every level (kNoSymbol: none, the key is
    // given back), all at once.
    virtual void set_symbols(const std::vector<SpareKeyPool::Assignment>& keys) = 0;
    virtual void press(uint8_t key, bool down) = 0;
    // What needs no key: the pointer, its buttons and the wheel.
    virtual void post_pointer(const InputAction& action) = 0;
};
