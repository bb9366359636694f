#!/usr/bin/env bash
# Command three: builds Velor for Windows (x86_64, mingw-w64, Qt 6 for Windows) in
# build-windows/ and runs its tests under Wine, headless.
#   VELOR_QT_MINGW=DIR   the Qt SDK for Windows: a folder holding qt-6.4.2-mingw64.tar.xz (and
#                        mingw64-toolchain.cmake), or the unpacked SDK itself
#                        (default: ../shared/toolchains/ beside the repository)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# The cross compiler, the host Qt tools (moc, rcc, uic of the SDK's version), GoogleTest's
# sources, Wine, and socat and a native simulator (build-essential) for the serial ports the
# tests play; NSIS and zip for the installer and the portable zip, a virtual X display and
# xdotool for the tests that start them as a user would.
bash scripts/deps.sh build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools \
    g++-mingw-w64-x86-64-posix googletest wine64 socat xz-utils fonts-dejavu-core ccache \
    qt6-translations-l10n nsis zip xvfb xdotool

# The SDK: an unpacked one as it is, else the archive unpacked once into build-windows/.
source_dir=${VELOR_QT_MINGW:-$root/../shared/toolchains}
archive=$source_dir/qt-6.4.2-mingw64.tar.xz
build=$root/build-windows
if [ -f "$source_dir/bin/Qt6Core.dll" ]; then
    sdk=$(cd "$source_dir" && pwd)
elif [ -f "$archive" ]; then
    sdk=$build/sdk/qt6-mingw64
    stamp=$build/sdk/unpacked-from
    if [ ! -f "$sdk/bin/Qt6Core.dll" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$(stat -c '%s %Y' "$archive")" ]; then
        echo "== Unpacking the Qt SDK for Windows into $build/sdk/"
        rm -rf "$build/sdk" && mkdir -p "$build/sdk"
        tar -C "$build/sdk" -xJf "$archive"
        stat -c '%s %Y' "$archive" >"$stamp"
    fi
else
    cat >&2 <<MSG
No Qt SDK for Windows found (looked for $archive).
Build one on Debian 12 as root with the script that comes with it:
    bash build-qt-mingw64.sh          (about half an hour on two idle cores)
then run this command again with VELOR_QT_MINGW=<the folder holding qt-6.4.2-mingw64.tar.xz>,
or put that folder at ../shared/toolchains/ beside the repository.
MSG
    exit 2
fi

# Qt's Czech catalogue: the SDK has none, and Debian's files serve Windows as they are. In Qt's
# translations folder the program and its tests find it as an installed Qt would give it.
mkdir -p "$sdk/translations"
cp -u /usr/share/qt6/translations/qtbase_cs.qm "$sdk/translations/"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
echo "== Build for Windows (build-windows/)"
# -O1: optimised, at much less compile time than -O3 on a shared two-core machine.
cmake -S . -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 \
    -DCMAKE_TOOLCHAIN_FILE="$sdk/lib/cmake/Qt6/mingw64-toolchain.cmake" \
    -DCMAKE_PREFIX_PATH="$sdk" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DVELOR_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

echo "== Tests under Wine"
# The Wine prefix is private to the build; the server stays up for the whole run, so a test
# starts in well under a second, and goes when the run ends.
source "$build/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine64 wineboot -i >"$build/wineboot.log" 2>&1
fi
# The serial tests' COM ports; Wine makes them when its server starts.
sh "$build/wine-ports.sh"
wineserver -k || true
wineserver -w
wineserver -p >"$build/wineserver.log" 2>&1
trap 'wineserver -k || true' EXIT
export CTEST_OUTPUT_ON_FAILURE=1
ctest --test-dir "$build" -j "$(nproc)" --timeout 600
