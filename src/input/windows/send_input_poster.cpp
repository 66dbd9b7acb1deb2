#include "input/windows/send_input_poster.h"

#include <cstdio>

#include "input/keyboard.h"
#include "input/send_input_rules.h"
#include "platform/windows/input_desktop.h"

namespace {

constexpr const char* kDesktopChangedLine = "[ctrl] the input desktop changed: posting input to the new one\n";
constexpr const char* kSendFailedLine = "[ctrl] WARNING: SendInput failed: %s\n";

INPUT mouse_input(DWORD flags, LONG dx = 0, LONG dy = 0, DWORD data = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = dx;
    in.mi.dy = dy;
    in.mi.mouseData = data;
    in.mi.dwFlags = flags;
    return in;
}

INPUT key_input(WORD vk, WORD scan, DWORD flags) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = flags;
    return in;
}

DWORD button_flag(PointerButton button, bool down) {
    switch (button) {
        case PointerButton::Left: return down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        case PointerButton::Right: return down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
        case PointerButton::Other: return down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
    }
    return 0;
}

}  // namespace

bool SendInputPoster::permitted(std::string* why) { return input_desktop_reachable(why); }

void SendInputPoster::post(const InputActions& actions) {
    for (uint8_t i = 0; i < actions.count; ++i) post_one(actions.items[i]);
}

void SendInputPoster::post_one(const InputAction& action) {
    if (const auto* to = std::get_if<PointerTo>(&action.what)) {
        // Normalized over the whole virtual desktop, which may start left of
        // or above the primary monitor.
        const ScreenOrigin origin = origin_();
        const int64_t left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        const int64_t width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        INPUT in = mouse_input(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK,
                               normalized_coordinate(origin.x + to->x - left, width),
                               normalized_coordinate(origin.y + to->y - top, height));
        send(&in, 1);
    } else if (const auto* button = std::get_if<ButtonChange>(&action.what)) {
        // Windows counts double clicks itself, from time and distance.
        INPUT in = mouse_input(button_flag(button->button, button->down));
        send(&in, 1);
    } else if (const auto* wheel = std::get_if<WheelSteps>(&action.what)) {
        INPUT in = mouse_input(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(wheel_data(wheel->steps)));
        send(&in, 1);
    } else if (const auto* key = std::get_if<KeyChange>(&action.what)) {
        if (key->windowsVirtualKey == 0) return;  // no key of Windows's
        const WORD vk = key->windowsVirtualKey;
        DWORD flags = key->down ? 0 : KEYEVENTF_KEYUP;
        if (is_extended_key(vk)) flags |= KEYEVENTF_EXTENDEDKEY;
        INPUT in = key_input(vk, static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)), flags);
        send(&in, 1);
    } else if (const auto* character = std::get_if<CharacterChange>(&action.what)) {
        // One event per UTF-16 unit: a character beyond the BMP is two.
        const auto text = text_event(character->codePoint, character->down);
        if (!text) return;
        INPUT in[2];
        const DWORD flags = KEYEVENTF_UNICODE | (character->down ? 0 : KEYEVENTF_KEYUP);
        for (uint32_t i = 0; i < text->unitCount; ++i) in[i] = key_input(0, text->units[i], flags);
        send(in, text->unitCount);
    }
}

void SendInputPoster::send(INPUT* inputs, UINT count) {
    if (SendInput(count, inputs, sizeof(INPUT)) == count) {
        failing_ = false;
        return;
    }
    // Blocked: most often the input desktop changed (the lock screen, a UAC
    // prompt) and this thread is still on the old one.
    std::string why;
    if (follow_input_desktop(&why)) {
        if (!desktopChangeLogged_) fputs(kDesktopChangedLine, stderr);
        desktopChangeLogged_ = true;
        if (SendInput(count, inputs, sizeof(INPUT)) == count) {
            failing_ = false;
            return;
        }
        why = windows_error_text(GetLastError());
    }
    // Once per spell of failures: the secure desktop refuses every event.
    if (!failing_) fprintf(stderr, kSendFailedLine, why.c_str());
    failing_ = true;
}
