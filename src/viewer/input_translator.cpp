#include "viewer/input_translator.h"

#include <SDL_mouse.h>

#include <algorithm>
#include <cmath>

#include "controller/messages.h"

using controller::append, controller::Bytes, controller::kPress, controller::kRelease;

namespace {

// The code points of UTF-8 text; a malformed sequence is skipped.
template <typename Each>
void for_each_code_point(std::string_view utf8, Each each) {
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = uint8_t(utf8[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        bool whole = length > 0 && i + length <= utf8.size();
        for (size_t k = 1; whole && k < length; ++k) {
            whole = (uint8_t(utf8[i + k]) & 0xC0) == 0x80;
            cp = cp << 6 | (uint8_t(utf8[i + k]) & 0x3F);
        }
        if (whole) each(cp);
        i += whole ? length : 1;
    }
}

}  // namespace

Bytes InputTranslator::settle() {
    Bytes out;
    if (waiting_) {
        pressed_[waiting_->scancode] = waiting_->key.vk;
        out = controller::key(waiting_->key.vk, kPress);
        waiting_.reset();
    }
    return out;
}

Bytes InputTranslator::key_down(SDL_Keycode key, SDL_Scancode scancode) {
    Bytes out = settle();
    const auto awt = awt_key(key);
    if (!awt) return out;
    if (awt->plain) {
        waiting_ = Waiting{scancode, *awt};
    } else {
        pressed_[scancode] = awt->vk;
        append(out, controller::key(awt->vk, kPress));
    }
    return out;
}

Bytes InputTranslator::text_input(std::string_view utf8) {
    if (waiting_ && utf8.size() == 1 && (utf8[0] == waiting_->key.plain || utf8[0] == waiting_->key.shifted)) {
        return settle();
    }
    waiting_.reset();
    Bytes out;
    for_each_code_point(utf8, [&](uint32_t cp) {
        append(out, controller::text(cp, kPress)), append(out, controller::text(cp, kRelease));
    });
    return out;
}

Bytes InputTranslator::key_up(SDL_Scancode scancode) {
    Bytes out = settle();
    if (const auto at = pressed_.find(scancode); at != pressed_.end()) {
        append(out, controller::key(at->second, kRelease));
        pressed_.erase(at);
    }
    return out;
}

Bytes InputTranslator::move(FramePixel at) {
    Bytes out = settle();
    if (lastMove_ != at) append(out, controller::move_to(at.x, at.y)), lastMove_ = at;
    return out;
}

Bytes InputTranslator::button(uint8_t sdlButton, bool pressed, FramePixel at) {
    const uint8_t sent = sdlButton == SDL_BUTTON_LEFT     ? controller::kLeftButton
                         : sdlButton == SDL_BUTTON_RIGHT  ? controller::kRightButton
                         : sdlButton == SDL_BUTTON_MIDDLE ? uint8_t{3}
                                                          : uint8_t{0};
    Bytes out = move(at);  // lands where it was clicked, even with no motion before
    if (sent) append(out, controller::button(sent, pressed ? kPress : kRelease));
    return out;
}

Bytes InputTranslator::wheel(float lines) {
    Bytes out = settle();
    wheelRest_ += lines;
    const float whole = std::trunc(wheelRest_);
    wheelRest_ -= whole;
    if (whole != 0) append(out, controller::scroll(int16_t(std::clamp(whole, -32768.f, 32767.f))));
    return out;
}
