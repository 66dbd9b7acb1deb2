#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "input/keysyms.h"

// A keyboard's symbols as XKB lists them: each key's symbols, group after
// group, with the rule for a group beyond the key's own.
struct XkbKeySymbols {
    struct Key {
        uint8_t groupInfo;  // group count, and what a group beyond it becomes
        uint8_t width;      // levels per group
        std::vector<uint32_t> syms;
    };
    uint8_t minKeycode = 0;
    std::vector<Key> keys;  // from minKeycode on

    // The symbol that `code` gives unmodified in `group`.
    uint32_t base_symbol(uint8_t code, uint8_t group) const {
        if (code < minKeycode || size_t(code - minKeycode) >= keys.size()) return kNoSymbol;
        const Key& k = keys[code - minKeycode];
        const uint8_t groups = k.groupInfo & 0x0F;
        if (groups == 0 || k.width == 0) return kNoSymbol;
        if (group >= groups) {
            if (k.groupInfo & 0x80) {
                group = (k.groupInfo >> 4) & 0x03;  // redirected
            } else if (k.groupInfo & 0x40) {
                group = groups - 1;  // clamped
            } else {
                group %= groups;  // wrapped
            }
            if (group >= groups) group = 0;
        }
        const size_t at = size_t(group) * k.width;
        return at < k.syms.size() ? k.syms[at] : kNoSymbol;
    }

    // Keys that type nothing, however many levels they list: free to lend
    // to characters.
    std::vector<uint8_t> empty_keys() const {
        std::vector<uint8_t> empty;
        for (size_t i = 0; i < keys.size(); ++i) {
            const auto& syms = keys[i].syms;
            if (std::all_of(syms.begin(), syms.end(), [](uint32_t s) { return s == kNoSymbol; })) {
                empty.push_back(static_cast<uint8_t>(minKeycode + i));
            }
        }
        return empty;
    }
};
