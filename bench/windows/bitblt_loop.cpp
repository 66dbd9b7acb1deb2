// The yardstick of the Windows capture benchmark: the least a GDI capture
// can do. Each tick BitBlts the primary monitor into a DIB section, makes
// alpha opaque and writes the frame to stdout, at the rate of its first
// argument (15 unless given), until stdout is closed.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int fps = argc > 1 ? atoi(argv[1]) : 15;
    using SetContext = BOOL(WINAPI*)(HANDLE);
    if (auto set = reinterpret_cast<SetContext>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")))) {
        set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)));
    }
    _setmode(1, _O_BINARY);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(memory, dib);
    auto* pixels = static_cast<uint8_t*>(bits);
    const size_t bytes = static_cast<size_t>(w) * h * 4;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (long long tick = 0;; ++tick) {
        BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        auto* words = reinterpret_cast<uint32_t*>(pixels);
        for (size_t i = 0; i < bytes / 4; ++i) words[i] |= 0xFF000000u;
        for (size_t at = 0; at < bytes;) {
            DWORD n = 0;
            if (!WriteFile(out, pixels + at, static_cast<DWORD>(bytes - at), &n, nullptr)) return 0;
            at += n;
        }
        // Sleeps to the next tick of an absolute schedule.
        const long long due = start.QuadPart + (tick + 1) * frequency.QuadPart / fps;
        QueryPerformanceCounter(&now);
        if (due > now.QuadPart) Sleep(static_cast<DWORD>((due - now.QuadPart) * 1000 / frequency.QuadPart));
    }
}
