# shellcheck shell=sh
# What can be told of a Windows program without running it; sourced by
# tests/release/check.sh and tests/wine/run.sh.

# Windows' own DLLs, as the programs may import them.
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll "

# foreign_imports EXE: the DLLs a 32-bit EXE imports beyond Windows' own,
# each after a blank; nothing when there are none.
foreign_imports() {
    _dump=$(i686-w64-mingw32-objdump -p "$1" 2>&1) || { printf ' (not read: %s)' "$_dump"; return; }
    for _dll in $(printf '%s\n' "$_dump" | awk '/DLL Name:/ {print tolower($3)}'); do
        case $system_dlls in *" $_dll "*) ;; *) printf ' %s' "$_dll" ;; esac
    done
}
