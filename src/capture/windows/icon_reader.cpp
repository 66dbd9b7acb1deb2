#include "capture/windows/icon_reader.h"

#include <algorithm>

#include "capture/cursor_backgrounds.h"

namespace {

// A top-down 32-bit DIB section filled with `fill`, selected into `dc`.
HBITMAP filled_dib(HDC dc, uint32_t width, uint32_t height, uint32_t fill, uint32_t** pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib) return nullptr;
    *pixels = static_cast<uint32_t*>(bits);
    std::fill_n(*pixels, size_t{width} * height, fill);
    SelectObject(dc, dib);
    return dib;
}

bool cursor_size(HCURSOR cursor, CursorImage& image) {
    ICONINFO info{};
    if (!GetIconInfo(cursor, &info)) return false;
    BITMAP bitmap{};
    // A monochrome cursor's mask holds its AND and XOR halves one above the other.
    const bool colour = info.hbmColor != nullptr;
    const bool sized = GetObjectW(colour ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap) != 0;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (!sized || bitmap.bmWidth <= 0 || bitmap.bmHeight <= 0) return false;
    image.width = static_cast<uint32_t>(bitmap.bmWidth);
    image.height = static_cast<uint32_t>(colour ? bitmap.bmHeight : bitmap.bmHeight / 2);
    image.hotX = static_cast<int32_t>(info.xHotspot);
    image.hotY = static_cast<int32_t>(info.yHotspot);
    return image.height > 0;
}

}  // namespace

bool read_cursor_image(HCURSOR cursor, CursorImage& image) {
    if (!cursor_size(cursor, image)) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return false;
    const uint32_t w = image.width, h = image.height;
    const auto draw = [&] {
        return DrawIconEx(dc, 0, 0, cursor, static_cast<int>(w), static_cast<int>(h), 0, nullptr, DI_NORMAL) != 0;
    };
    uint32_t* onBlack = nullptr;
    uint32_t* onWhite = nullptr;
    HBITMAP black = filled_dib(dc, w, h, 0x00000000, &onBlack);
    bool ok = black && draw();
    HBITMAP white = ok ? filled_dib(dc, w, h, 0x00FFFFFF, &onWhite) : nullptr;
    ok = ok && white && draw();
    GdiFlush();
    if (ok) {
        image.argb.resize(size_t{w} * h);
        cursor_from_backgrounds(onBlack, onWhite, image.argb.size(), image.argb.data());
    }
    DeleteDC(dc);  // first: a bitmap still selected cannot be deleted
    if (black) DeleteObject(black);
    if (white) DeleteObject(white);
    image.handle = ok ? cursor : nullptr;
    return ok;
}
