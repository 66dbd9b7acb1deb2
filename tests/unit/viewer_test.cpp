// The viewer's rules: each keystroke goes as a key or as text, never both;
// pointer buttons and the wheel; where the frame goes and which frame pixel a
// window point names.

#include <SDL_mouse.h>
#include <gtest/gtest.h>

#include <variant>

#include "controller/messages.h"
#include "viewer/input_translator.h"
#include "viewer/key_codes.h"

namespace {

using controller::Bytes, controller::kPress, controller::kRelease;

// SDL's events for one keystroke or more, in the order SDL queues them.
struct Down { SDL_Keycode key; SDL_Scancode scancode; };
struct Up { SDL_Scancode scancode; };
struct Text { const char* utf8; };
struct End {};  // no more events at hand
using Event = std::variant<Down, Up, Text, End>;
template <typename... Handlers> struct Overloaded : Handlers... { using Handlers::operator()...; };

Bytes keys(std::initializer_list<std::pair<uint16_t, uint8_t>> presses) {
    Bytes out;
    for (auto [vk, action] : presses) controller::append(out, controller::key(vk, action));
    return out;
}
Bytes typed(std::initializer_list<uint32_t> codePoints) {
    Bytes out;
    for (uint32_t cp : codePoints) {
        controller::append(out, controller::text(cp, kPress)), controller::append(out, controller::text(cp, kRelease));
    }
    return out;
}
Bytes operator+(Bytes a, const Bytes& b) { return controller::append(a, b), a; }

TEST(ViewerKeystrokes, EachGoesAsAKeyOrAsTextNeverBoth) {
    constexpr SDL_Keycode kDeadKey = SDLK_SCANCODE_MASK;  // what SDL reports for a dead key: no symbol
    const struct {
        const char* what;
        std::vector<Event> events;
        Bytes sent;
    } cases[] = {
        {"Shift+1 types !: both keys",
         {Down{SDLK_LSHIFT, SDL_SCANCODE_LSHIFT}, Down{SDLK_1, SDL_SCANCODE_1}, Text{"!"}, Up{SDL_SCANCODE_1},
          Up{SDL_SCANCODE_LSHIFT}},
         keys({{16, kPress}, {49, kPress}, {49, kRelease}, {16, kRelease}})},
        {"Ctrl+C types nothing: the key goes once the events run out",
         {Down{SDLK_RCTRL, SDL_SCANCODE_RCTRL}, Down{SDLK_c, SDL_SCANCODE_C}, End{}, Up{SDL_SCANCODE_C},
          Up{SDL_SCANCODE_RCTRL}},
         keys({{17, kPress}, {67, kPress}, {67, kRelease}, {17, kRelease}})},
        {"keys that type nothing go at once",
         {Down{SDLK_RETURN, SDL_SCANCODE_RETURN}, Down{SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER}, Up{SDL_SCANCODE_RETURN},
          Down{SDLK_F12, SDL_SCANCODE_F12}, Down{SDLK_RGUI, SDL_SCANCODE_RGUI}},
         keys({{10, kPress}, {10, kPress}, {10, kRelease}, {123, kPress}, {524, kPress}})},
        {"a dead key, then e, types é: text only",
         {Down{kDeadKey, SDL_SCANCODE_LEFTBRACKET}, Up{SDL_SCANCODE_LEFTBRACKET}, Down{SDLK_e, SDL_SCANCODE_E},
          Text{"\u00e9"}, Up{SDL_SCANCODE_E}},
         typed({0xE9})},
        {"AltGr+e types €: text only",
         {Down{SDLK_RALT, SDL_SCANCODE_RALT}, Down{SDLK_e, SDL_SCANCODE_E}, Text{"\u20ac"}, Up{SDL_SCANCODE_E},
          Up{SDL_SCANCODE_RALT}},
         typed({0x20AC})},
        {"Shift+7 types / on a German keyboard: Shift as a key, / as text",
         {Down{SDLK_LSHIFT, SDL_SCANCODE_LSHIFT}, Down{SDLK_7, SDL_SCANCODE_7}, Text{"/"}, Up{SDL_SCANCODE_7},
          Up{SDL_SCANCODE_LSHIFT}},
         keys({{16, kPress}}) + typed({'/'}) + keys({{16, kRelease}})},
        {"a key with no US symbol (ö): its text",
         {Down{0xF6, SDL_SCANCODE_SEMICOLON}, Text{"\u00f6"}, Up{SDL_SCANCODE_SEMICOLON}},
         typed({0xF6})},
        {"text with no key (an input method, a key SDL does not know), malformed bytes skipped",
         {Text{"\u00e9\xff\U0001F600"}},
         typed({0xE9, 0x1F600})},
        {"a US letter: its key, its text dropped; held, it repeats as presses",
         {Down{SDLK_b, SDL_SCANCODE_B}, Text{"b"}, Down{SDLK_b, SDL_SCANCODE_B}, Text{"B"}, Up{SDL_SCANCODE_B}},
         keys({{66, kPress}, {66, kPress}, {66, kRelease}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        InputTranslator input;
        Bytes sent;
        const auto feed = Overloaded{[&](const Down& d) { return input.key_down(d.key, d.scancode); },
                                     [&](const Up& u) { return input.key_up(u.scancode); },
                                     [&](const Text& t) { return input.text_input(t.utf8); },
                                     [&](End) { return input.end_of_events(); }};
        for (const Event& e : c.events) controller::append(sent, std::visit(feed, e));
        controller::append(sent, input.end_of_events());
        EXPECT_EQ(sent, c.sent);
    }
}

// A printable key types its own symbol, and a key that types nothing (Backspace,
// arrows, F-keys, keypad keys by their SDL codes) types nothing with Shift either.
TEST(ViewerKeyCodes, WhatEachKeyTypesFollowsFromItsSymbol) {
    int printable = 0, silent = 0;
    for (SDL_Keycode k = 0; k < 0x40000200; k = k == 0x7F ? SDLK_SCANCODE_MASK : k + 1) {
        const auto awt = awt_key(k);
        if (!awt) continue;
        SCOPED_TRACE(k);
        if (k > 0x20 && k < 0x7F) {
            ++printable;
            EXPECT_EQ(awt->plain, char(k));
        } else if (k != SDLK_SPACE) {
            ++silent;
            EXPECT_EQ(std::pair(awt->plain, awt->shifted), std::pair('\0', '\0'));
        }
    }
    EXPECT_GT(printable, 40);
    EXPECT_GT(silent, 30);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(awt_key(SDLK_F1 + i)->vk, 112 + i);  // AWT numbers F1 to F12 in a row
}

TEST(ViewerPointer, ButtonsLandWhereClickedAndTheWheelGoesInWholeLines) {
    using controller::button, controller::move_to, controller::scroll;
    InputTranslator input;
    EXPECT_EQ(input.button(SDL_BUTTON_LEFT, true, {5, 6}), move_to(5, 6) + button(1, kPress));
    EXPECT_EQ(input.button(SDL_BUTTON_RIGHT, false, {5, 6}), button(2, kRelease));
    EXPECT_EQ(input.button(SDL_BUTTON_MIDDLE, true, {7, 6}), move_to(7, 6) + button(3, kPress));
    EXPECT_EQ(input.button(SDL_BUTTON_X1, true, {7, 6}), Bytes{});
    EXPECT_EQ(input.move({7, 6}), Bytes{});
    EXPECT_EQ(input.wheel(-0.5f), Bytes{});
    EXPECT_EQ(input.wheel(-0.75f), scroll(-1));
    EXPECT_EQ(input.wheel(3.25f), scroll(3));
}

TEST(ViewerFrameView, OneToOneWhenItFitsElseScaledDownWithItsAspect) {
    const struct {
        Size frame, window;
        Rect shown;
        std::pair<int, int> point;
        FramePixel pixel;
    } cases[] = {
        {{640, 480}, {800, 600}, {80, 60, 640, 480}, {80, 60}, {0, 0}},
        {{640, 480}, {800, 600}, {80, 60, 640, 480}, {719, 539}, {639, 479}},
        {{640, 480}, {800, 600}, {80, 60, 640, 480}, {900, -5}, {639, 0}},  // a drag that left the window
        {{1920, 1080}, {1280, 1000}, {0, 140, 1280, 720}, {640, 500}, {960, 540}},
        {{1080, 1920}, {1280, 1000}, {359, 0, 562, 1000}, {359, 999}, {0, 1918}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frame.width << "x" << c.frame.height << " at " << c.point.first << ","
                                        << c.point.second);
        const Rect r = frame_rect(c.frame, c.window);
        EXPECT_EQ(std::tuple(r.x, r.y, r.width, r.height),
                  std::tuple(c.shown.x, c.shown.y, c.shown.width, c.shown.height));
        EXPECT_EQ(frame_pixel(c.frame, r, c.point.first, c.point.second), c.pixel);
    }
}

}  // namespace
