// The picture of the model converted last: blended over the window's white
// once, when it is kept, then drawn on every paint in the middle of the
// client area at the size it was made, or scaled down when the window has
// become smaller since, with the model's file name on a line under it.
#include "shell/model_picture.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>
#include <vector>

#include "convert/picture/picture.h"
#include "shell/main_window.h"

using namespace quarlen;

namespace {

// A picture made while the window is minimized, its client area empty,
// still shows when it is restored.
constexpr int min_picture_side = 64;

struct KeptPicture {
    int side = 0;               // pixels on each side; 0: none kept
    std::vector<DWORD> pixels;  // 0x00RRGGBB, rows from the top, as a DIB takes them
    std::string name;           // the model's file name, without its folder
};

KeptPicture kept;

// The side of the largest square that fits client above the name's line,
// which is band high: the font's height, with half of it above and below.
int room(HDC dc, const RECT& client, int& band)
{
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    band = 2 * tm.tmHeight;
    return int(std::min(client.right - client.left, client.bottom - client.top - band));
}

// A straight colour value over white, at opacity alpha.
DWORD overWhite(unsigned value, unsigned alpha)
{
    return (value * alpha + 255 * (255 - alpha) + 127) / 255;
}

}  // namespace

int PictureSizeFor(HWND wn)
{
    HDC dc = GetDC(wn);
    HGDIOBJ old = helpfont ? SelectObject(dc, helpfont) : NULL;
    RECT client;
    GetClientRect(wn, &client);
    int band;
    const int side = room(dc, client, band);
    if (old)
        SelectObject(dc, old);
    ReleaseDC(wn, dc);
    return std::clamp(side, min_picture_side, max_picture_size);
}

void ShowPicture(HWND wn, const Image& image, const char* path)
{
    assert(image.width == image.height && image.rgba.size() == size_t(image.width) * size_t(image.height) * 4);
    if (image.width == 0 && kept.side == 0)
        return;  // the help text shows already
    kept = KeptPicture{};
    if (image.width > 0) {
        kept.side = image.width;
        kept.pixels.resize(size_t(image.width) * size_t(image.height));
        for (size_t i = 0; i < kept.pixels.size(); ++i) {
            const unsigned char* p = &image.rgba[4 * i];
            kept.pixels[i] = overWhite(p[0], p[3]) << 16 | overWhite(p[1], p[3]) << 8 | overWhite(p[2], p[3]);
        }
        const char* slash = std::strrchr(path, '\\');
        const char* name = slash ? slash + 1 : path;
        slash = std::strrchr(name, '/');
        kept.name = slash ? slash + 1 : name;
    }
    InvalidateRect(wn, NULL, TRUE);
}

bool PaintPicture(HDC dc, const RECT& client)
{
    if (kept.side == 0)
        return false;
    int band;
    const int side = std::clamp(room(dc, client, band), 1, kept.side);
    const int left = int(client.right - client.left - side) / 2;
    const int top = std::max(0, int(client.bottom - client.top - side - band) / 2);

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kept.side;
    bi.bmiHeader.biHeight = -kept.side;  // rows from the top
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, NULL);
    StretchDIBits(dc, client.left + left, client.top + top, side, side, 0, 0, kept.side, kept.side,
                  kept.pixels.data(), &bi, DIB_RGB_COLORS, SRCCOPY);

    RECT line{client.left, client.top + top + side, client.right, client.top + top + side + band};
    DrawTextA(dc, kept.name.c_str(), -1, &line,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    return true;
}
