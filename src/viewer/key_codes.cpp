#include "viewer/key_codes.h"

#include <algorithm>
#include <array>

namespace {

struct Entry {
    SDL_Keycode sdl;
    AwtKey awt;
};

// Sorted by SDL key code. Typing keys are looked up by the symbol they carry
// on the local layout, not by position: a key whose symbol is no US one (ä, é
// on a French or German keyboard) has no entry, and its character goes as
// text. Right Alt has none either: on most layouts it is AltGr, which only
// picks characters, and those arrive as text.
constexpr auto kKeys = std::to_array<Entry>({
    {SDLK_BACKSPACE, {8, 0, 0}},
    {SDLK_TAB, {9, 0, 0}},
    {SDLK_RETURN, {10, 0, 0}},
    {SDLK_ESCAPE, {27, 0, 0}},
    {SDLK_SPACE, {32, ' ', ' '}},
    {SDLK_QUOTE, {222, '\'', '"'}},
    {SDLK_COMMA, {44, ',', '<'}},
    {SDLK_MINUS, {45, '-', '_'}},
    {SDLK_PERIOD, {46, '.', '>'}},
    {SDLK_SLASH, {47, '/', '?'}},
    {SDLK_0, {48, '0', ')'}},
    {SDLK_1, {49, '1', '!'}},
    {SDLK_2, {50, '2', '@'}},
    {SDLK_3, {51, '3', '#'}},
    {SDLK_4, {52, '4', '$'}},
    {SDLK_5, {53, '5', '%'}},
    {SDLK_6, {54, '6', '^'}},
    {SDLK_7, {55, '7', '&'}},
    {SDLK_8, {56, '8', '*'}},
    {SDLK_9, {57, '9', '('}},
    {SDLK_SEMICOLON, {59, ';', ':'}},
    {SDLK_EQUALS, {61, '=', '+'}},
    {SDLK_LEFTBRACKET, {91, '[', '{'}},
    {SDLK_BACKSLASH, {92, '\\', '|'}},
    {SDLK_RIGHTBRACKET, {93, ']', '}'}},
    {SDLK_BACKQUOTE, {192, '`', '~'}},
    {SDLK_a, {65, 'a', 'A'}},
    {SDLK_b, {66, 'b', 'B'}},
    {SDLK_c, {67, 'c', 'C'}},
    {SDLK_d, {68, 'd', 'D'}},
    {SDLK_e, {69, 'e', 'E'}},
    {SDLK_f, {70, 'f', 'F'}},
    {SDLK_g, {71, 'g', 'G'}},
    {SDLK_h, {72, 'h', 'H'}},
    {SDLK_i, {73, 'i', 'I'}},
    {SDLK_j, {74, 'j', 'J'}},
    {SDLK_k, {75, 'k', 'K'}},
    {SDLK_l, {76, 'l', 'L'}},
    {SDLK_m, {77, 'm', 'M'}},
    {SDLK_n, {78, 'n', 'N'}},
    {SDLK_o, {79, 'o', 'O'}},
    {SDLK_p, {80, 'p', 'P'}},
    {SDLK_q, {81, 'q', 'Q'}},
    {SDLK_r, {82, 'r', 'R'}},
    {SDLK_s, {83, 's', 'S'}},
    {SDLK_t, {84, 't', 'T'}},
    {SDLK_u, {85, 'u', 'U'}},
    {SDLK_v, {86, 'v', 'V'}},
    {SDLK_w, {87, 'w', 'W'}},
    {SDLK_x, {88, 'x', 'X'}},
    {SDLK_y, {89, 'y', 'Y'}},
    {SDLK_z, {90, 'z', 'Z'}},
    {SDLK_DELETE, {127, 0, 0}},
    {SDLK_CAPSLOCK, {20, 0, 0}},
    {SDLK_F1, {112, 0, 0}},
    {SDLK_F2, {113, 0, 0}},
    {SDLK_F3, {114, 0, 0}},
    {SDLK_F4, {115, 0, 0}},
    {SDLK_F5, {116, 0, 0}},
    {SDLK_F6, {117, 0, 0}},
    {SDLK_F7, {118, 0, 0}},
    {SDLK_F8, {119, 0, 0}},
    {SDLK_F9, {120, 0, 0}},
    {SDLK_F10, {121, 0, 0}},
    {SDLK_F11, {122, 0, 0}},
    {SDLK_F12, {123, 0, 0}},
    {SDLK_HOME, {36, 0, 0}},
    {SDLK_PAGEUP, {33, 0, 0}},
    {SDLK_END, {35, 0, 0}},
    {SDLK_PAGEDOWN, {34, 0, 0}},
    {SDLK_RIGHT, {39, 0, 0}},
    {SDLK_LEFT, {37, 0, 0}},
    {SDLK_DOWN, {40, 0, 0}},
    {SDLK_UP, {38, 0, 0}},
    {SDLK_KP_ENTER, {10, 0, 0}},
    {SDLK_LCTRL, {17, 0, 0}},
    {SDLK_LSHIFT, {16, 0, 0}},
    {SDLK_LALT, {18, 0, 0}},
    {SDLK_LGUI, {524, 0, 0}},
    {SDLK_RCTRL, {17, 0, 0}},
    {SDLK_RSHIFT, {16, 0, 0}},
    {SDLK_RGUI, {524, 0, 0}},
});
static_assert(std::ranges::is_sorted(kKeys, {}, &Entry::sdl));

}  // namespace

std::optional<AwtKey> awt_key(SDL_Keycode key) {
    const auto at = std::ranges::lower_bound(kKeys, key, {}, &Entry::sdl);
    if (at == kKeys.end() || at->sdl != key) return std::nullopt;
    return at->awt;
}
