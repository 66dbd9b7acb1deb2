// The input side: the control session in one process (bytes in, read in pieces
// of any size; posted events and log lines out) and the rules beneath it.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "input/control_loop.h"
#include "input/event_flags.h"
#include "input/event_poster.h"
#include "input/input_handlers.h"
#include "input/keyboard.h"
#include "input/keymap.h"
#include "input/keysyms.h"
#include "input/pointer.h"
#include "input/spare_key_pool.h"

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

std::string describe(const PointerTo& a) { return format("P%d,%d", a.x, a.y); }
std::string describe(const ButtonChange& a) {
    return format("B%c%c c%d", "LRO"[int(a.button)], a.down ? '+' : '-', a.clickCount);
}
std::string describe(const WheelSteps& a) { return format("W%d", a.steps); }
std::string describe(const KeyChange& a) {
    return format("K%x/%u/%x%c", a.keysym, a.evdevCode, a.windowsVirtualKey, a.down ? '+' : '-');
}
std::string describe(const CharacterChange& a) { return format("C%x%c", a.codePoint, a.down ? '+' : '-'); }

// What the core posts: the Quartz events (one a line) and, apart, their
// lowering (one event's actions a line, empty for what only macOS posts).
std::string g_actions;
class RecordingPoster final : public EventPoster {
public:
    void post(const PostedInput& input) override {
        g_events += std::visit([](const auto& e) { return describe(e); }, input.quartz) + "\n";
        for (uint8_t i = 0; i < input.actions.count; ++i) {
            const InputAction& a = input.actions.items[i];
            g_actions += (i ? " " : "") + std::visit([](const auto& w) { return describe(w); }, a.what) +
                         (a.modifiers ? format(" m%u", a.modifiers) : "");
        }
        g_actions += "\n";
    }
    void settle() override {}
    bool input_permitted(bool) override { return g_trusted; }
};
RecordingPoster g_recorder;
[[maybe_unused]] const bool kRecorderSet = (set_event_poster(&g_recorder), true);

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
    {"a Caps Lock left on is let go, then turned back off",
     {0x04, 0x00, 0x14, 0x01},
     "k57+ f10000\nk57- f10000\nk57+\nk57-\n",
     std::string(kStart) + kEof},
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

// The neutral actions each event becomes, beside the Quartz events above.
TEST(Lowering, EachEventBecomesWhatEveryOtherPlatformPosts) {
    const Bytes in = {
        0x02, 0x01, 0x01, 0x02, 0x01, 0x00,                    // a click before any move: at (0, 0)
        0x01, 0x00, 0x05, 0x00, 0x06, 0x02, 0x02, 0x01, 0x02, 0x02, 0x00, 0x02, 0x09, 0x01,  // move; right, other
        0x03, 0x03, 0xE8, 0x03, 0xFF, 0xFF, 0x03, 0x00, 0x00,  // 1000 lines up, one down, none
        0x04, 0x00, 0x10, 0x01, 0x04, 0x00, 0x41, 0x01, 0x04, 0x00, 0x10, 0x00, 0x04, 0x00, 0x11, 0x01,  // Shift+A, Ctrl
        0x05, 0x00, 0x00, 0xE9, 0x01, 0x05, 0x00, 0x00, 0xE9, 0x01, 0x05, 0x00, 0x00, 0xE9, 0x00,  // é, again, let go
        0x05, 0x00, 0x00, 0xE9, 0x00, 0x05, 0x01, 0xF6, 0x00, 0x01,  // é let go again: only a Mac hears it; 😀 held
    };
    g_actions.clear();
    reset_input_state();
    testing::internal::CaptureStderr();
    run_control_session(chunked(in, 64));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(g_actions,
              "P0,0 BL+ c1\nBL- c1\nP5,6\nBR+ c1\nBR- c1\nBO+ c1\n"
              "W64\nW-1\n\n"
              "Kffe1/42/a0+ m1\nK61/30/41+ m1\nKffe1/42/a0-\nKffe3/29/a2+ m2\n"
              "Ce9+ m2\nCe9+ m2\nCe9- m2\n\nC1f600+ m2\n"
              // The end: the other button, A and Control, then the character.
              "BO- c1 m2\nK61/30/41- m2\nKffe3/29/a2-\nC1f600-\n");
}

TEST(KeyMap, MapsExactlyTheTableOfAwtCodes) {
    std::map<uint16_t, uint16_t> table = {
        {8, 0x33},  {9, 0x30},  {10, 0x24},  {16, 0x38},  {17, 0x37}, {18, 0x3A}, {20, 0x39}, {27, 0x35}, {32, 0x31},
        {33, 0x74}, {34, 0x79}, {35, 0x77},  {36, 0x73},  {37, 0x7B}, {38, 0x7E}, {39, 0x7C}, {40, 0x7D}, {127, 0x75},
        {524, 0x37}, {44, 0x2B}, {45, 0x1B}, {46, 0x2F}, {47, 0x2C}, {59, 0x29}, {61, 0x18}, {91, 0x21}, {92, 0x2A},
        {93, 0x1E}, {192, 0x32}, {222, 0x27}};
    // Digits 0 to 9 from 48, letters A to Z from 65, F1 to F12 from 112.
    const std::pair<uint16_t, std::vector<uint16_t>> runs[] = {
        {48, {0x1D, 0x12, 0x13, 0x14, 0x15, 0x17, 0x16, 0x1A, 0x1C, 0x19}},
        {65, {0x00, 0x0B, 0x08, 0x02, 0x0E, 0x03, 0x05, 0x04, 0x22, 0x26, 0x28, 0x25, 0x2E, 0x2D, 0x1F, 0x23, 0x0C,
              0x0F, 0x01, 0x11, 0x20, 0x09, 0x0D, 0x07, 0x10, 0x06}},
        {112, {0x7A, 0x78, 0x63, 0x76, 0x60, 0x61, 0x62, 0x64, 0x65, 0x6D, 0x67, 0x6F}}};
    for (const auto& [first, codes] : runs)
        for (size_t i = 0; i < codes.size(); ++i) table[uint16_t(first + i)] = codes[i];
    ASSERT_EQ(table.size(), 78u);
    // Every key has its evdev code and Windows virtual key, each its own.
    std::map<uint16_t, uint16_t> evdevOf, vkOf;
    for (const auto& [awt, mac] : table) {
        const auto codes = us_key_codes(mac);
        ASSERT_TRUE(codes) << awt;
        evdevOf[codes->evdev] = mac;
        vkOf[codes->windowsVirtualKey] = mac;
    }
    EXPECT_EQ(evdevOf.size(), 77u);  // Control and Windows are one key
    EXPECT_EQ(vkOf.size(), 77u);
    for (uint32_t vk = 0; vk <= 0xFFFF; ++vk) {
        SCOPED_TRACE(vk);
        const auto it = table.find(uint16_t(vk));
        EXPECT_EQ(awt_to_mac_keycode(uint16_t(vk)), it == table.end() ? std::nullopt : std::optional(it->second));
    }
}

// What an event is posted with: the bits it was made with, save the
// modifiers, which are exactly the remote user's. Caps Lock is the remote
// user's toggle, not the Mac's.
TEST(EventFlags, TheEventsOwnBitsStayTheModifiersAreTheHeldOnes) {
    constexpr uint64_t kNumericPad = 0x00200000, kSecondaryFn = 0x00800000, kHelp = 0x00400000;
    const struct {
        const char* what;
        uint64_t created, held, posted;
    } cases[] = {
        {"an arrow key, nothing held", kNumericPad | kSecondaryFn, 0, kNumericPad | kSecondaryFn},
        {"the Mac's own modifiers are taken off", kFlagShift | kFlagControl | kFlagAlternate | kHelp, kFlagCommand,
         kHelp | kFlagCommand},
        {"the Mac's Caps Lock without the remote one", kFlagAlphaShift | kFlagNonCoalesced, 0, kFlagNonCoalesced},
        {"the remote Caps Lock", 0, kFlagAlphaShift | kFlagShift, kFlagAlphaShift | kFlagShift},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(posted_event_flags(c.created, c.held), c.posted);
    }
}

// Left presses (each with a right press and a left release) at places and
// times; the counts the presses carry.
TEST(ClickCounting, PressesCloseInTimeAndPlaceCountOnStrictly) {
    constexpr uint64_t kMs = 1'000'000, kT = 1'000'000 * kMs;  // an arbitrary monotonic reading
    const struct {
        std::vector<std::tuple<uint16_t, uint16_t, uint64_t>> presses;
        std::vector<int64_t> counts;
    } cases[] = {
        {{{9, 9, kT}, {9, 9, kT + 100 * kMs}, {9, 9, kT + 200 * kMs}, {9, 9, kT + 300 * kMs}}, {1, 2, 3, 4}},
        {{{10, 10, kT}, {14, 12, kT + 499 * kMs}}, {1, 2}},             // d2 = 20
        {{{10, 10, kT}, {13, 14, kT + 499 * kMs}}, {1, 1}},             // d2 = 25
        {{{10, 10, kT}, {10, 10, kT + 500 * kMs}}, {1, 1}},             // 500 ms
        {{{10, 10, kT}, {10, 10, kT + 500 * kMs - 1}}, {1, 2}},         // just under
        {{{0, 0, kT}, {0, 0, kT + 1}, {50, 50, kT + 2}, {51, 50, kT + 3}}, {1, 2, 1, 2}},  // a far press restarts
        {{{0, 0, kT}, {0, 0, kT - 1}}, {1, 1}},  // a clock reading before the last press is no quick click
        {{{0, 0, 1}}, {1}},                      // the first press, at (0, 0) near time zero
    };
    for (const auto& c : cases) {
        PointerState s;
        std::vector<int64_t> counts;
        for (auto [x, y, t] : c.presses) {
            pointer_move(s, x, y);
            const MouseEvent down = pointer_button(s, 1, 1, t);
            pointer_button(s, 2, 1, t);  // right buttons do not interrupt a run
            EXPECT_EQ(pointer_button(s, 1, 0, t + 10 * kMs).clickState, down.clickState);
            counts.push_back(down.clickState.value_or(-1));
        }
        EXPECT_EQ(counts, c.counts);
    }
}

// What X11 types for a character: Latin-1 as itself, control characters as
// their keys, other characters as Unicode keysyms, nothing for no character.
TEST(X11Keysyms, CharactersAndKeysBecomeTheirKeysyms) {
    const std::pair<uint32_t, uint32_t> characters[] = {
        {0x08, 0xFF08}, {0x0A, 0xFF0D},     {0x0D, 0xFF0D},     {0x1B, 0xFF1B}, {0x7F, 0xFFFF},     {0x01, 0},
        {0x1F, 0},      {' ', ' '},         {'~', '~'},         {0x80, 0},      {0x9F, 0},          {0xA0, 0xA0},
        {0xFF, 0xFF},   {0x100, 0x1000100}, {0x10FFFF, 0x110FFFF}, {0x110000, 0}};
    for (auto [cp, keysym] : characters) EXPECT_EQ(code_point_to_keysym(cp), keysym) << std::hex << cp;
    const uint16_t swapped[] = {0xDE00, 0xD83D};
    EXPECT_EQ(utf16_to_code_point(swapped, 2), 0xFFFFFFFFu);
    EXPECT_EQ(mac_keycode_to_keysym(0x3B), kNoSymbol);  // macOS Control: no AWT key gives it
}

// Steps at times t: a press of a symbol, or (symbol 0) the release of `key`.
TEST(SpareKeyPool, ReusesTheLeastRecentlyUsedKeyNotHeldOnlyOnceItIsOldEnough) {
    SpareKeyPool pool({10, 11}, 100);
    const struct {
        uint32_t symbol;
        uint64_t t;
        int key;  // -1: no key
        bool remap;
    } steps[] = {
        {'A', 0, 10, true},   {0, 1, 10, false},    // first use maps
        {'A', 5, 10, false},  {0, 6, 10, false},    // typed again: no remap
        {'B', 10, 11, true},                        // a free key, B held
        {'C', 300, 10, true}, {0, 301, 10, false},  // the least recently used not held
        {'D', 302, -1, false},                      // ...too recent: not before 401
        {'D', 401, 10, true},  {'E', 402, -1, false},  // every key held
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.t);
        if (!s.symbol) {
            pool.release(uint8_t(s.key), s.t);
            continue;
        }
        const auto lease = pool.press(s.symbol, s.t);
        ASSERT_EQ(lease.has_value(), s.key >= 0);
        if (lease) {
            EXPECT_EQ(std::pair(int(lease->key), lease->remap), std::pair(s.key, s.remap));
        }
    }
    EXPECT_EQ(pool.take_mapped(), (std::vector<uint8_t>{10, 11}));
    EXPECT_TRUE(pool.take_mapped().empty());
}

// Characters queued behind are given keys together, as long as keys are free
// or old enough; the key whose character is needed last goes first, and a
// key so given is not taken back before its press.
TEST(SpareKeyPool, GivesReadyKeysToQueuedCharactersKeepingThoseNeededSoonest) {
    SpareKeyPool pool({10, 11, 12}, 100);
    const auto keys = [](const std::vector<SpareKeyPool::Assignment>& given) {
        std::vector<std::pair<int, uint32_t>> out;
        for (const auto& a : given) out.emplace_back(a.key, a.symbol);
        return out;
    };
    using Keys = std::vector<std::pair<int, uint32_t>>;
    const std::map<uint32_t, size_t> queue = {{'C', 0}, {'A', 1}, {'B', 2}, {'D', 3}, {'E', 6}};
    const auto nextUse = [&](uint32_t s) { return queue.count(s) ? queue.at(s) : SIZE_MAX; };
    ASSERT_TRUE(pool.press('A', 0));
    pool.release(10, 1);
    EXPECT_EQ(keys(pool.assign_ready({'A', 'B', 'B', 'X'}, 50, nextUse)), (Keys{{11, 'B'}, {12, 'X'}}));
    EXPECT_EQ(pool.next_ready_ns(50), std::optional<uint64_t>(101));  // every key in use: A's is oldest
    // C, first in line, takes X's key (not needed) though A's is older; D would
    // take B's, needed before it: no gain, D waits.
    EXPECT_EQ(keys(pool.assign_ready({'C', 'D'}, 150, nextUse)), (Keys{{12, 'C'}}));
    EXPECT_EQ(keys(pool.assign_ready({'E'}, 160, nextUse)), (Keys{{11, 'E'}}));  // first in line: B's, needed after A
    EXPECT_FALSE(pool.press('A', 170)->remap);  // A kept its key
    EXPECT_EQ(pool.next_ready_ns(170), std::optional<uint64_t>(250));  // C's, given at 150
}

}  // namespace
