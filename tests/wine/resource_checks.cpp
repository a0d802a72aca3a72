// The menu bar and the icon, read from the resources of the program file.
#include "resource_checks.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "check.h"

struct MenuItem {
    WORD flags;
    WORD id;
    std::string text;
};

// A menu template of the plain kind: a four-byte header, then for each
// item its flags, its command id and its text in UTF-16, NUL-terminated.
static bool readMenu(const BYTE* p, DWORD size, MenuItem items[], int& count)
{
    const BYTE* end = p + size;
    if (size < 4)
        return false;
    WORD version, offset;
    std::memcpy(&version, p, 2);
    std::memcpy(&offset, p + 2, 2);
    if (version != 0 || offset != 0)
        return false;
    p += 4;
    for (count = 0; count < 8 && p + 4 <= end; ++count) {
        MenuItem& it = items[count];
        std::memcpy(&it.flags, p, 2);
        if (it.flags & MF_POPUP)
            return false;
        std::memcpy(&it.id, p + 2, 2);
        p += 4;
        it.text.clear();
        for (;;) {
            if (p + 2 > end)
                return false;
            WCHAR c;
            std::memcpy(&c, p, 2);
            p += 2;
            if (!c)
                break;
            it.text += c < 128 ? static_cast<char>(c) : '?';
        }
        if (it.flags & MF_END) {
            ++count;
            return true;
        }
    }
    return false;
}

static void checkMenu(HMODULE exe)
{
    HRSRC res = FindResourceA(exe, "quarlen", RT_MENU);
    DWORD size = res ? SizeofResource(exe, res) : 0;
    const BYTE* data = res ? static_cast<const BYTE*>(LockResource(LoadResource(exe, res))) : nullptr;
    MenuItem items[8];
    int count = 0;
    bool ok = data && readMenu(data, size, items, count) && count == 2;
    check(ok, "menu QUARLEN is a bar of two commands, no drop-downs",
          data ? "items: " + std::to_string(count) : "no menu resource");
    if (!ok)
        return;
    check(items[0].id == 257 && items[0].flags == MF_STRING &&
              items[0].text == "&translate a geometry Poser .RSR file ito .OBJ",
          "menu item 1: id 257, \"&translate a geometry Poser .RSR file ito .OBJ\"",
          std::to_string(items[0].id) + " \"" + items[0].text + "\"");
    check(items[1].id == 258 && items[1].flags == (MF_STRING | MF_END) && items[1].text == "&exit",
          "menu item 2: id 258, \"&exit\", last item",
          std::to_string(items[1].id) + " \"" + items[1].text + "\"");
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bits;
    DWORD bytes;
    WORD id;
};
struct GroupHeader {
    WORD reserved, type, count;
    GroupEntry entry[1];
};
#pragma pack(pop)

static void checkIcon(HMODULE exe)
{
    HRSRC res = FindResourceA(exe, "quarlen", RT_GROUP_ICON);
    const auto* group = res ? static_cast<const GroupHeader*>(LockResource(LoadResource(exe, res)))
                            : nullptr;
    bool ok = group && SizeofResource(exe, res) == 6 + 14 && group->type == 1 && group->count == 1;
    check(ok, "icon group QUARLEN holds one image", group ? "" : "no icon group");
    if (!ok)
        return;
    const GroupEntry& e = group->entry[0];
    HRSRC img = FindResourceA(exe, MAKEINTRESOURCEA(e.id), RT_ICON);
    const auto* bmp = img ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(exe, img)))
                          : nullptr;
    ok = e.width == 32 && e.height == 32 && e.colours == 16 && e.bits == 4 && e.bytes == 744 &&
         e.id == 1 && bmp && SizeofResource(exe, img) == 744 && bmp->biWidth == 32 &&
         bmp->biHeight == 64 && bmp->biBitCount == 4;
    check(ok, "icon image 1: 32x32, 16 colours, 4 bits per pixel, 744 bytes",
          std::to_string(e.width) + "x" + std::to_string(e.height) + ", " +
              std::to_string(e.bits) + " bpp, " + std::to_string(e.bytes) + " bytes, id " +
              std::to_string(e.id));
    if (!ok)
        return;

    // Every pixel is either transparent or black, and there are both.
    const auto* palette = reinterpret_cast<const RGBQUAD*>(bmp + 1);
    const BYTE* colours = reinterpret_cast<const BYTE*>(palette + 16);
    const BYTE* mask = colours + 32 * 16;
    int black = 0, clear = 0, coloured = 0;
    for (int i = 0; i < 32 * 32; ++i) {
        bool transparent = mask[i / 8] & (0x80 >> (i % 8));
        int index = (colours[i / 2] >> (i % 2 ? 0 : 4)) & 15;
        const RGBQUAD& c = palette[index];
        if (transparent)
            ++clear;
        else if (!c.rgbRed && !c.rgbGreen && !c.rgbBlue)
            ++black;
        else
            ++coloured;
    }
    check(black > 0 && clear > black && coloured == 0,
          "icon is black lines on a transparent background",
          std::to_string(black) + " black, " + std::to_string(clear) + " transparent, " +
              std::to_string(coloured) + " other");
}

void checkResources(const std::string& exe)
{
    HMODULE m = LoadLibraryExA(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    check(m != NULL, "program file loads as a resource module", exe);
    if (!m)
        return;
    checkMenu(m);
    checkIcon(m);
    FreeLibrary(m);
}
