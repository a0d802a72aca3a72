// The menu bar, the icon, the manifest and the version resource, read from
// the resources of the program file.
#include "resource_checks.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "remote.h"

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

static std::string resourceBytes(HMODULE exe, LPCWSTR name, LPCWSTR type)
{
    HRSRC res = FindResourceW(exe, name, type);
    const void* data = res ? LockResource(LoadResource(exe, res)) : nullptr;
    return data ? std::string(static_cast<const char*>(data), SizeofResource(exe, res)) : "";
}

static bool has(const std::string& s, const std::string& part)
{
    return s.find(part) != std::string::npos;
}

static size_t count(const std::string& s, const std::string& part)
{
    size_t n = 0;
    for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + 1))
        ++n;
    return n;
}

// A setting of the manifest, in the manifest with its blanks removed:
// <name xmlns="ns">text</name>.
static bool setting(const std::string& flat, const std::string& name, const std::string& ns,
                    const std::string& text)
{
    return has(flat, "<" + name + "xmlns=\"" + ns + "\">" + text + "</" + name + ">");
}

static void checkManifest(HMODULE exe)
{
    // RT_MANIFEST, id 1: the manifest of the process.
    std::string xml = resourceBytes(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    check(has(xml, "<assembly") && has(xml, "</assembly>"), "manifest: resource type 24, id 1",
          xml.empty() ? "none" : xml.substr(0, 60));
    if (xml.empty())
        return;
    std::string flat;  // layout does not matter
    for (char c : xml)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            flat += c;

    check(setting(flat, "activeCodePage", "http://schemas.microsoft.com/SMI/2019/WindowsSettings",
                  "UTF-8"),
          "manifest: active code page UTF-8");
    check(setting(flat, "dpiAwareness", "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                  "PerMonitorV2,PerMonitor") &&
              setting(flat, "dpiAware", "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                      "true/pm"),
          "manifest: per-monitor DPI awareness v2, falling back to v1 (true/pm)");

    size_t at = flat.find("name=\"Microsoft.Windows.Common-Controls\"");
    size_t from = flat.rfind("<assemblyIdentity", at), to = flat.find("/>", at);
    std::string identity = at != std::string::npos && from != std::string::npos
                               ? flat.substr(from, to - from) : "";
    check(has(identity, "version=\"6.0.0.0\"") && has(identity, "publicKeyToken=\"6595b64144ccf1df\"") &&
              has(flat, "<dependency><dependentAssembly>" + identity),
          "manifest: depends on common controls 6.0.0.0", identity);

    // Windows 7, 8, 8.1, and 10 (which 11 shares), and no other.
    const char* const systems[] = {"35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                                   "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                                   "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                                   "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"};
    bool all = count(flat, "<supportedOS") == 4;
    for (const char* id : systems)
        all &= has(flat, std::string("<supportedOSId=\"{") + id + "}\"/>");
    check(all, "manifest: supported systems Windows 7, 8, 8.1, 10 and 11",
          std::to_string(count(flat, "<supportedOS")) + " supportedOS entries");
}

static std::string versionString(const std::vector<char>& block, const char* name)
{
    std::wstring key = L"\\StringFileInfo\\040904B0\\" + wide(name);
    void* value = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(block.data(), key.c_str(), &value, &len) || !value || !len)
        return "<none>";
    return utf8(std::wstring(static_cast<const WCHAR*>(value), len - 1));
}

static void checkVersion(HMODULE exe, const std::string& exeName, const std::string& version)
{
    std::string raw = resourceBytes(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    check(!raw.empty(), "version resource: RT_VERSION, id 1");
    if (raw.empty())
        return;
    // VerQueryValue wants memory it may write to, as GetFileVersionInfo gives.
    std::vector<char> block(raw.begin(), raw.end());
    block.resize(block.size() * 2 + 64);

    unsigned major = 0, minor = 0, patch = 0;
    std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch);
    const DWORD ms = major << 16 | minor, ls = patch << 16;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    bool ok = VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) &&
              fixed && len == sizeof *fixed;
    char got[160] = "no fixed part";
    if (ok)
        std::snprintf(got, sizeof got, "file %lu.%lu.%lu.%lu, product %lu.%lu.%lu.%lu, type %lu, os 0x%lx",
                      fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
                      fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF,
                      fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF,
                      fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF,
                      fixed->dwFileType, fixed->dwFileOS);
    check(ok && fixed->dwSignature == VS_FFI_SIGNATURE && fixed->dwFileVersionMS == ms &&
              fixed->dwFileVersionLS == ls && fixed->dwProductVersionMS == ms &&
              fixed->dwProductVersionLS == ls && fixed->dwFileType == VFT_APP &&
              fixed->dwFileOS == VOS_NT_WINDOWS32,
          "version resource: file and product version " + version + ".0, an application for Windows NT",
          got);

    // The description and the copyright are free text; they must name the
    // program and its authors.
    const struct {
        const char* name;
        std::string value;
        bool exact;
    } strings[] = {
        {"FileVersion", version, true},
        {"ProductVersion", version, true},
        {"ProductName", "quarlen", true},
        {"OriginalFilename", exeName, true},
        {"FileDescription", "quarlen", false},
        {"LegalCopyright", "The quarlen developers", false},
    };
    for (const auto& w : strings) {
        std::string v = versionString(block, w.name);
        bool good = w.exact ? v == w.value : has(v, w.value) && v.size() > w.value.size() + 8;
        check(good, std::string("version resource: ") + w.name + " \"" + v + "\"",
              std::string(w.exact ? "want \"" : "should name \"") + w.value + "\"");
    }
}

void checkResources(const std::string& exe, const std::string& version)
{
    HMODULE m = LoadLibraryExW(wide(exe).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    check(m != NULL, "program file loads as a resource module", exe);
    if (!m)
        return;
    checkMenu(m);
    checkIcon(m);
    checkManifest(m);
    checkVersion(m, "quarlen.exe", version);
    FreeLibrary(m);
}
