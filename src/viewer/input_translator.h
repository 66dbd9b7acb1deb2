#pragma once

#include <SDL_keycode.h>
#include <SDL_scancode.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "controller/bytes.h"
#include "viewer/frame_view.h"
#include "viewer/key_codes.h"

// The control messages for what the local user does in the window, from SDL's
// events as plain values.
//
// One keystroke is sent either as a key or as text, never both. SDL reports a
// key press (SDL_KEYDOWN) and then, at once and next in the queue, the text it
// typed (SDL_TEXTINPUT), if any. The rule, per keystroke:
// - A key with no AWT code (é on a French keyboard, a dead key, AltGr) sends
//   nothing; whatever text follows goes as text.
// - A key with an AWT code that types nothing (Shift, Ctrl, arrows, Enter)
//   goes as a key at once.
// - A key with an AWT code that types waits for its text. Text that the key
//   types on a US keyboard, with or without Shift ('a', 'A'), means the remote
//   types the same with the key: it goes as a key and the text is dropped.
//   Other text (é from a dead key then e, € from AltGr+e, '/' from Shift+7 on
//   a German keyboard) goes as text and the key is dropped, its release too.
//   No text (Ctrl+C, or the next event comes first) means a key.
// - Text with no key waiting (an input method's commit, a character typed on
//   a key that SDL does not know) goes as text.
// Text goes as a press and a release of each character.
class InputTranslator {
public:
    controller::Bytes key_down(SDL_Keycode key, SDL_Scancode scancode);
    controller::Bytes text_input(std::string_view utf8);
    controller::Bytes key_up(SDL_Scancode scancode);
    // The events at hand are all handled: a key still waiting for its text typed none.
    controller::Bytes end_of_events() { return settle(); }

    controller::Bytes move(FramePixel at);
    // SDL's button numbers; middle goes as "other", the rest are not sent.
    controller::Bytes button(uint8_t sdlButton, bool pressed, FramePixel at);
    // Fractions of a line (touchpads) add up until they make one.
    controller::Bytes wheel(float lines);

private:
    controller::Bytes settle();

    struct Waiting {
        SDL_Scancode scancode;
        AwtKey key;
    };
    std::optional<Waiting> waiting_;
    std::map<SDL_Scancode, uint16_t> pressed_;  // keys sent as pressed, to release them with the same code
    std::optional<FramePixel> lastMove_;
    float wheelRest_ = 0;
};
