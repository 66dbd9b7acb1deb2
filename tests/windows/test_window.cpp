// A Win32 window for the tests: it covers the primary monitor with a known
// pattern (test_pattern.h) and writes each input it receives to stdout, one
// line each: "move X Y", "down|up|dblclk left|right|middle", "wheel DELTA",
// "keydown|keyup VK SCAN [extended]", "char UNIT" (numbers in decimal).
// "ready W H" says it is painted and has the focus. A right click inverts
// a band of the pattern (test_pattern.h), the next one puts it back.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <windowsx.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "test_pattern.h"

namespace {

std::vector<uint32_t> g_pattern;
int g_width = 0, g_height = 0;
bool g_bandInverted = false;

void draw_pattern() {
    for (int y = 0; y < g_height; ++y)
        for (int x = 0; x < g_width; ++x) g_pattern[size_t(y) * g_width + x] = test_pattern_pixel(x, y, g_bandInverted);
}
bool g_readySaid = false;

void say(const char* format, long a, long b = 0) {
    printf(format, a, b);
    fflush(stdout);
}

// "keydown|keyup VK SCAN", and " extended" for an extended key. VK_PACKET
// is how a KEYEVENTF_UNICODE character comes before its WM_CHAR: not a key.
void say_key(bool down, WPARAM vk, LPARAM l) {
    if (vk == VK_PACKET) return;
    printf("%s %ld %ld%s\n", down ? "keydown" : "keyup", static_cast<long>(vk), static_cast<long>(l >> 16 & 0xFF),
           l & (1 << 24) ? " extended" : "");
    fflush(stdout);
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    BITMAPINFO info{{.biSize = sizeof(BITMAPINFOHEADER), .biWidth = g_width, .biHeight = -g_height, .biPlanes = 1,
                     .biBitCount = 32, .biCompression = BI_RGB}};  // top-down rows
    SetDIBitsToDevice(dc, 0, 0, g_width, g_height, 0, 0, 0, g_height, g_pattern.data(), &info, DIB_RGB_COLORS);
    EndPaint(window, &ps);
    GdiFlush();
    if (!std::exchange(g_readySaid, true)) say("ready %ld %ld\n", g_width, g_height);
}

// The buttons' messages but a right button's release, which turns the band over too.
constexpr struct {
    UINT message;
    const char* line;
} kButtons[] = {{WM_LBUTTONDOWN, "down left\n"},     {WM_LBUTTONUP, "up left\n"},
                {WM_LBUTTONDBLCLK, "dblclk left\n"}, {WM_RBUTTONDOWN, "down right\n"},
                {WM_RBUTTONDBLCLK, "dblclk right\n"}, {WM_MBUTTONDOWN, "down middle\n"},
                {WM_MBUTTONUP, "up middle\n"},       {WM_MBUTTONDBLCLK, "dblclk middle\n"}};

LRESULT CALLBACK on_message(HWND window, UINT message, WPARAM w, LPARAM l) {
    for (const auto& b : kButtons)
        if (message == b.message) return say(b.line, 0), 0;
    switch (message) {
        case WM_PAINT: paint(window); return 0;
        case WM_MOUSEMOVE: say("move %ld %ld\n", GET_X_LPARAM(l), GET_Y_LPARAM(l)); return 0;
        case WM_RBUTTONUP:
            g_bandInverted = !g_bandInverted;
            draw_pattern();
            InvalidateRect(window, nullptr, FALSE);
            say("up right\n", 0);
            return 0;
        case WM_MOUSEWHEEL: say("wheel %ld\n", GET_WHEEL_DELTA_WPARAM(w)); return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP: say_key(message == WM_KEYDOWN || message == WM_SYSKEYDOWN, w, l); return 0;
        case WM_CHAR: say("char %ld\n", static_cast<long>(w)); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, w, l);
    }
}

}  // namespace

int main() {
    _setmode(1, _O_BINARY);  // lines end in \n alone
    g_width = GetSystemMetrics(SM_CXSCREEN);
    g_height = GetSystemMetrics(SM_CYSCREEN);
    g_pattern.resize(static_cast<size_t>(g_width) * g_height);
    draw_pattern();
    WNDCLASSW type{.style = CS_DBLCLKS, .lpfnWndProc = on_message, .hInstance = GetModuleHandleW(nullptr),
                   .hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)),
                   .lpszClassName = L"screenshare-test-window"};
    RegisterClassW(&type);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, type.lpszClassName, L"test", WS_POPUP | WS_VISIBLE, 0, 0, g_width,
                                  g_height, nullptr, nullptr, type.hInstance, nullptr);
    if (!window) return 1;
    SetForegroundWindow(window);
    SetFocus(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
