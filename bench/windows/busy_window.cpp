// The busy screen of the Windows capture benchmark: a window over the whole
// primary monitor that paints all of it anew, in another colour, at the rate
// of its first argument (60 unless given).

#include <windows.h>

#include <cstdlib>

namespace {

int g_frame = 0;

LRESULT CALLBACK on_message(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_TIMER) {
        ++g_frame;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        HBRUSH brush = CreateSolidBrush(RGB(g_frame * 7, g_frame * 13, g_frame * 29));
        FillRect(dc, &ps.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(window, &ps);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace

int main(int argc, char** argv) {
    const int fps = argc > 1 ? atoi(argv[1]) : 60;
    WNDCLASSW type{};
    type.lpfnWndProc = on_message;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"screenshare-bench-busy";
    RegisterClassW(&type);
    HWND window = CreateWindowExW(0, type.lpszClassName, L"busy", WS_POPUP | WS_VISIBLE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  type.hInstance, nullptr);
    SetTimer(window, 1, static_cast<UINT>(1000 / fps), nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
