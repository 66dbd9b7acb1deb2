// The control side in one process, as the control thread runs it: bytes in,
// read in pieces of any size; posted events and log lines out.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "input/accessibility.h"
#include "input/control_loop.h"
#include "input/event_poster.h"
#include "input/input_handlers.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string g_events;
bool g_trusted = true;

template <typename... Args>
std::string format(const char* text, Args... args) {
    char s[64];
    snprintf(s, sizeof s, text, args...);
    return s;
}
// Modifier flags, where there are any, in hex.
std::string flags(uint64_t f) { return f ? format(" f%llx", static_cast<unsigned long long>(f)) : ""; }
std::string describe(const MouseEvent& e) {
    return format("m%u %.0f,%.0f b%u", unsigned(e.type), e.x, e.y, unsigned(e.button)) +
           (e.clickState ? format(" c%lld", static_cast<long long>(*e.clickState)) : "") + flags(e.flags);
}
std::string describe(const ScrollEvent& e) { return format("s%d u%u w%u", e.delta, e.units, e.wheelCount) + flags(e.flags); }
std::string describe(const KeyEvent& e) { return format("k%u%c", e.keyCode, e.keyDown ? '+' : '-') + flags(e.flags); }
std::string describe(const TextEvent& e) {
    return format("t%04X", e.units[0]) + (e.unitCount == 2 ? format(",%04X", e.units[1]) : "") +
           format("%c k%u f%llu", e.keyDown ? '+' : '-', e.keyCode, static_cast<unsigned long long>(e.flags));
}

// Hands out `bytes` in pieces of at most `chunk` bytes, then end of input.
ByteSource chunked(const Bytes& bytes, size_t chunk) {
    auto at = std::make_shared<size_t>(0);
    return [bytes, chunk, at](uint8_t* buffer, size_t size) -> ssize_t {
        const size_t n = std::min({size, chunk, bytes.size() - *at});
        std::copy_n(bytes.begin() + long(*at), n, buffer);
        *at += n;
        return ssize_t(n);
    };
}

constexpr const char* kStart = "[ctrl] control loop started, reading stdin...\n";
constexpr const char* kEof = "[ctrl] stdin EOF, control loop exiting\n";
const std::string kNotTrusted =
    "[ctrl] WARNING: Accessibility permission not granted.\n"
    "[ctrl] Mouse/keyboard control will NOT work.\n"
    "[ctrl] Go to: System Settings > Privacy & Security > Accessibility\n"
    "[ctrl] and enable this app. No restart needed after granting.\n";

struct Case {
    const char* name;
    Bytes in;
    std::string events;  // one per line
    std::string log;
    bool trusted = true;
};

const Case kCases[] = {
    {"end of input at once", {}, "", std::string(kStart) + kEof},
    {"untrusted warns first and still posts", {0x01, 0, 1, 0, 2}, "m5 1,2 b0\n", kNotTrusted + kStart + kEof, false},
    {"unknown types are one byte each, no resync",
     {0x00, 0x01, 0x00, 0x0A, 0x00, 0x14, 0x06, 0x02, 0x01, 0x01, 0xFF},
     "m5 10,20 b0\nm1 10,20 b0 c1\nm2 10,20 b0 c1\n",
     std::string(kStart) +
         "[ctrl] unknown message type: 0x00\n[ctrl] unknown message type: 0x06\n"
         "[ctrl] unknown message type: 0xFF\n" + kEof},
    {"a message cut short ends silently", {0x01, 0, 5, 0, 6, 0x01, 0x00, 0x07}, "m5 5,6 b0\n", kStart},
    {"moves, drags, counted clicks, other buttons, scrolls",
     {0x02, 0x01, 0x00, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00,   // release first, then a click at (0, 0)
      0x01, 0x00, 0x64, 0x00, 0xC8,                           // move (100, 200)
      0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x01,  // quick clicks in place: 1, 2, 3 held...
      0x02, 0x02, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0xFE,        // ...right too: a left drag
      0x02, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01,        // right only: a right drag
      0x02, 0x02, 0x00, 0x02, 0x07, 0x01, 0x01, 0, 2, 0, 2, 0x02, 0x00, 0x00,  // another button drags nothing
      0x03, 0xFF, 0xFF, 0x03, 0x00, 0x03},
     "m2 0,0 b0 c0\nm1 0,0 b0 c1\nm2 0,0 b0 c1\nm5 100,200 b0\n"
     "m1 100,200 b0 c1\nm2 100,200 b0 c1\nm1 100,200 b0 c2\nm3 100,200 b1 c1\nm6 65535,65534 b0\n"
     "m2 65535,65534 b0 c2\nm7 1,1 b1\nm4 1,1 b1 c1\nm25 1,1 b2 c1\nm5 2,2 b0\nm26 2,2 b2 c1\n"
     "s-1 u1 w1\ns3 u1 w1\n",
     std::string(kStart) + kEof},
    {"keys through the key map, text as UTF-16",
     {0x04, 0x00, 0x41, 0x01, 0x04, 0x00, 0x41, 0x00,  // A: key code 0
      0x04, 0x00, 0x11, 0x01, 0x04, 0x02, 0x0C, 0x00,  // Control and Windows: Command
      0x04, 0x00, 0x2C, 0x01, 0x04, 0x2C, 0x00, 0x01,  // comma; its bytes swapped are unmapped
      0x04, 0x00, 0x9D, 0x01, 0x04, 0x00, 0x07, 0x01, 0x04, 0x02, 0x0D, 0x00,
      0x05, 0x00, 0x00, 0xE9, 0x01, 0x05, 0x00, 0xD8, 0x00, 0x00,  // é; a lone surrogate passes as it is
      0x05, 0x01, 0xF6, 0x00, 0x01, 0x05, 0x10, 0xFF, 0xFF, 0x00,  // U+1F600, U+10FFFF
      0x05, 0x11, 0x00, 0x00, 0x01},                                // beyond Unicode: dropped
     "k0+\nk0-\nk55+ f100000\nk55-\nk43+\nt00E9+ k0 f0\ntD800- k0 f0\ntD83D,DE00+ k0 f0\ntDBFF,DFFF- k0 f0\n"
     "k43-\nt00E9- k0 f0\ntD83D,DE00- k0 f0\n",
     std::string(kStart) +
         "[keymap] unmapped AWT VK=11264\n[keymap] unmapped AWT VK=157\n[keymap] unmapped AWT VK=7\n"
         "[keymap] unmapped AWT VK=525\n[ctrl] WARNING: text code point 0x110000 is not a character, dropped\n" +
         kEof},
    {"modifiers held ride on key and mouse events, not on text; Caps Lock toggles",
     {0x02, 0x02, 0x01, 0x04, 0x00, 0x10, 0x01, 0x02, 0x02, 0x01, 0x04, 0x00, 0x41, 0x01,  // Shift held, right click
      0x04, 0x00, 0x11, 0x01, 0x04, 0x00, 0x41, 0x00, 0x04, 0x00, 0x10, 0x00,  // Control (Command); Shift let go
      0x04, 0x02, 0x0C, 0x01, 0x04, 0x00, 0x12, 0x01, 0x04, 0x02, 0x0C, 0x00,  // Windows is Command too; Alt
      0x03, 0x00, 0x01, 0x04, 0x00, 0x12, 0x00,                               // a scroll with Option
      0x04, 0x00, 0x14, 0x01, 0x04, 0x00, 0x14, 0x00, 0x04, 0x00, 0x41, 0x01, 0x04, 0x00, 0x10, 0x01,
      0x04, 0x00, 0x14, 0x01, 0x05, 0x00, 0x00, 0x61, 0x01, 0x04, 0x00, 0x10, 0x07},
     "m3 0,0 b1 c1\nk56+ f20000\nm3 0,0 b1 c1 f20000\nk0+ f20000\nk55+ f120000\nk0- f120000\nk56- f100000\n"
     "k55+ f100000\nk58+ f180000\nk55- f80000\ns1 u1 w1 f80000\nk58-\nk57+ f10000\nk57- f10000\nk0+ f10000\n"
     "k56+ f30000\nk57+ f20000\nt0061+ k0 f0\nk56-\nm4 0,0 b1 c1\nk0-\nk57-\nt0061- k0 f0\n",
     std::string(kStart) + kEof},
    {"what is held is let go at the end, once",
     {0x01, 0x00, 0x0A, 0x00, 0x0B, 0x02, 0x01, 0x01, 0x02, 0x02, 0x01, 0x02, 0x09, 0x01,  // three buttons
      0x04, 0x00, 0x10, 0x01, 0x04, 0x00, 0x41, 0x01, 0x04, 0x00, 0x41, 0x00,  // Shift held, A typed
      0x05, 0x00, 0x00, 0xE9, 0x01, 0x05, 0x00, 0x00, 0xE9, 0x01, 0x05, 0x00, 0x00, 0x78, 0x01,  // é twice, x
      0x05, 0x00, 0x00, 0x78, 0x00, 0x01, 0x00},  // x let go; the input ends inside a message
     "m5 10,11 b0\nm1 10,11 b0 c1\nm3 10,11 b1 c1\nm25 10,11 b2 c1\nk56+ f20000\nk0+ f20000\nk0- f20000\n"
     "t00E9+ k0 f0\nt00E9+ k0 f0\nt0078+ k0 f0\nt0078- k0 f0\n"  // text never carries modifiers
     "m2 10,11 b0 c1 f20000\nm4 10,11 b1 c1 f20000\nm26 10,11 b2 c1 f20000\nk56-\nt00E9- k0 f0\n",
     kStart},
};

TEST(ControlSession, BytesInEventsAndLinesOutWhateverTheReadSizes) {
    for (const Case& c : kCases) {
        for (size_t chunk : {1, 3, 64}) {
            SCOPED_TRACE(testing::Message() << c.name << ", read " << chunk << " at a time");
            g_trusted = c.trusted;
            g_events.clear();
            reset_input_state();
            testing::internal::CaptureStderr();
            run_control_session(chunked(c.in, chunk));
            EXPECT_EQ(testing::internal::GetCapturedStderr(), c.log);
            EXPECT_EQ(g_events, c.events);
            g_events.clear();
            release_held_input();  // nothing left to let go
            EXPECT_EQ(g_events, "");
        }
    }
}

}  // namespace

void post_event(const InputEvent& event) {
    g_events += std::visit([](const auto& e) { return describe(e); }, event) + "\n";
}
void settle_posted_events() {}
bool accessibility_trusted() { return g_trusted; }
