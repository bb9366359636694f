#!/usr/bin/env bash
# Gathers the Windows programs with exactly what they need into one folder, then makes of it
# the installer and the portable zip. Called by the build (cmake/WindowsPackage.cmake):
#   package.sh OUT_DIR VERSION QT_SDK OBJDUMP STRIP RUNTIME_DIRS EXE...
# RUNTIME_DIRS is a ':'-separated list of folders that hold the compiler's runtime DLLs.
# The DLLs are followed through their import tables (objdump -p), since windeployqt is a
# Windows program; an import found in none of the folders is the system's own.
set -euo pipefail
out=$1 version=$2 sdk=$3 objdump=$4 strip=$5 runtime=$6
shift 6
here=$(cd "$(dirname "$0")" && pwd)
stage=$out/package/Velor
rm -rf "$out/package" && mkdir -p "$stage"

IFS=':' read -r -a search <<<"$sdk/bin:$runtime"
# The plugins a Qt widgets program loads on Windows: the platform, the native look and the
# image formats (PNG and BMP are built into Qt Gui).
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qgif.dll
    imageformats/qico.dll imageformats/qjpeg.dll)

declare -A shipped=()
queue=()
ship() {  # ship FILE DEST_FOLDER: copy, strip, and follow its imports
    install -m 0644 "$1" "$2/"
    "$strip" --strip-unneeded "$2/$(basename "$1")"
    queue+=("$2/$(basename "$1")")
}
find_dll() {
    local dir
    for dir in "${search[@]}"; do
        [ -f "$dir/$1" ] && { echo "$dir/$1"; return 0; }
    done
    return 1
}

for exe in "$@"; do ship "$exe" "$stage"; done
for plugin in "${plugins[@]}"; do
    mkdir -p "$stage/$(dirname "$plugin")"
    ship "$sdk/plugins/$plugin" "$stage/$(dirname "$plugin")"
done
while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    for dll in $("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
        key=${dll,,}
        [ -n "${shipped[$key]:-}" ] && continue
        shipped[$key]=1
        if path=$(find_dll "$dll"); then ship "$path" "$stage"; fi
    done
done

# Qt's own Czech texts (Debian's catalogue serves Windows as it is), the paths Qt reads from
# beside the program, and the example sensor table for the data folder.
mkdir -p "$stage/translations"
install -m 0644 /usr/share/qt6/translations/qtbase_cs.qm "$stage/translations/"
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$stage/qt.conf"
install -m 0644 "$here/../../config/data/ParamIOI.cfw" "$stage/"

# The uninstaller removes what was installed, file by file, and nothing else.
list=$out/package/files.nsh
(
    cd "$stage"
    find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
) >"$list"

setup=$out/Velor-$version-setup.exe
zip=$out/Velor-$version-win64.zip
rm -f "$setup" "$zip"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$list" \
    -DICON="$here/velor.ico" -DOUTFILE="$setup" "$here/installer.nsi"
(cd "$out/package" && zip -q -9 -r -X "$zip" Velor)
echo "$(basename "$setup"): $(stat -c %s "$setup") B, $(basename "$zip"): $(stat -c %s "$zip") B," \
    "$(find "$stage" -name '*.dll' | wc -l) DLLs"
