#pragma once

#include <cctype>
#include <map>

#include "support/child.h"

using controller::append, controller::button, controller::key, controller::move_to, controller::scroll,
    controller::text;

// The real helper, at `fps`.
inline std::vector<std::string> helper_args(const std::string& fps = "30") { return {HELPER_PATH, fps}; }

inline Bytes operator+(Bytes a, const Bytes& b) { return append(a, b), a; }

// Each character pressed and let go, as text.
inline Bytes typed_text(const std::u32string& characters) {
    Bytes out;
    for (char32_t c : characters) append(out, text(uint32_t(c), 1)), append(out, text(uint32_t(c), 0));
    return out;
}
// Each key pressed and let go, Shift held around it if `shifted`: letters by their capitals and
// Enter as '\n', as AWT numbers them.
inline Bytes typed_keys(const std::string& keys, bool shifted = false) {
    Bytes out;
    for (char c : keys) {
        if (shifted) append(out, key(16, 1));
        append(out, key(uint16_t(toupper(c)), 1)), append(out, key(uint16_t(toupper(c)), 0));
        if (shifted) append(out, key(16, 0));
    }
    return out;
}

// UTF-8: a lead byte that tells the length, then six bits a byte.
inline std::string utf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        const int more = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        const uint8_t lead[] = {0, 0xC0, 0xE0, 0xF0};
        out += char(lead[more] | c >> 6 * more);
        for (int i = more - 1; i >= 0; --i) out += char(0x80 | (c >> 6 * i & 0x3F));
    }
    return out;
}

// What a text entry with the focus received, once Enter has closed it, of `input` sent by a
// helper with `env` right after its first frame is on its way.
inline std::string entered(Child& entry, const std::map<std::string, std::string>& env, const Bytes& input) {
    Child helper(helper_args(), env);
    EXPECT_TRUE(read_header(helper)) << helper.log();
    helper.send(input + typed_keys("\n"));
    const Bytes typed = entry.read(1024, 20s);
    helper.close_stdin();
    EXPECT_EQ(helper.exit_code(), 0) << helper.log();
    return {typed.begin(), typed.end()};
}
