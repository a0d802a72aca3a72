#!/bin/sh
# Installs from Debian's packages what building and testing quarlen needs.
#   install-deps.sh          the native build (with stb's PNG writer), its
#                            tests, the OBJ readers, the Debian package
#                            (and the desktop's MIME database and xdg-mime,
#                            with the lookup it uses outside a desktop, to
#                            check its type and thumbnailer) and the Python
#                            wheel (built offline with python3-build, tried
#                            in a venv)
#   install-deps.sh --all    also both Windows cross builds (32-bit, which
#                            ships, and 64-bit), Wine, Xvfb, unzip, Blender
#                            and F3D (for the add-on's and readers' tests), the
#                            tools that read Windows programs, and for the
#                            web page Emscripten, the browsers it is tested
#                            in (Chromium, Firefox ESR, and WebKit through
#                            its WebDriver), and Node.js with npm unless some
#                            node and npm are on the PATH already
set -eu
if [ "$(id -u)" -eq 0 ]; then sudo=; else sudo=sudo; fi
export DEBIAN_FRONTEND=noninteractive

packages="build-essential cmake python3 libgtest-dev clang-14 libclang-rt-14-dev
  libtinyobjloader-dev assimp-utils python3-meshio dpkg-dev groff-base python3-numpy python3-pytest
  python3-build python3-setuptools python3-wheel python3-venv libstb-dev shared-mime-info xdg-utils
  libfile-mimeinfo-perl"
if [ "${1:-}" = --all ]; then
    # Wine's 32-bit half needs the i386 architecture.
    $sudo dpkg --add-architecture i386
    packages="$packages g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xdotool imagemagick
      unzip zip file icoutils emscripten chromium firefox-esr webkit2gtk-driver blender f3d"
    # Any Node.js of 18 or later builds and tests the page; Debian's when
    # there is none.
    command -v node >/dev/null || packages="$packages nodejs"
    command -v npm >/dev/null || packages="$packages npm"
fi
# Whether every package named is installed.
installed() {
    listed=$(dpkg-query -W -f '${Status}\n' "$@" 2>/dev/null) || return 1
    ! printf '%s\n' "$listed" | grep -qv '^install ok installed$'
}
# shellcheck disable=SC2086
if installed $packages; then
    # A machine set up before needs no mirror: its lists are not fetched.
    echo "install-deps: every package is installed"
else
    # A mirror caught in the middle of a sync fails an index now and then:
    # try again, then go on with the lists there are (an install that cannot
    # find a package still fails, and says which).
    for try in 1 2 3; do
        $sudo apt-get update -q && break
        echo "install-deps: apt-get update failed (try $try of 3)" >&2
        if [ "$try" -lt 3 ]; then sleep 30; fi
    done
    # shellcheck disable=SC2086
    $sudo apt-get install -y -q $packages
fi
if [ "${1:-}" = --all ]; then
    # Of use only where the machine can execute 32-bit programs; the Wine
    # suite finds out, and runs on the 64-bit build where it cannot.
    $sudo apt-get install -y -q wine32:i386 ||
        echo "install-deps: wine32:i386 did not install; the Wine suite will run on the 64-bit build" >&2
fi
