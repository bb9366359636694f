#!/usr/bin/env bash
# The Windows installer and the portable zip as a user meets them, under Wine in a fresh prefix
# made here, with qwindows on a virtual X display (Xvfb) and no WINEPATH: every DLL the programs
# load comes from what was shipped.
#   installer-test.sh installer WORK_DIR SETUP_EXE   silent install: the programs, the DLLs, the
#       Start menu entries, the apps list entry and the data folder; the program started as its
#       Start menu entry starts it makes its default files in the data folder; silent uninstall
#       removes all that and keeps the data folder
#   installer-test.sh zip WORK_DIR ZIP                the zip unpacked into a folder: velor.exe
#       starts there and makes its default files beside itself
# WORK_DIR is emptied and holds the prefix, the display and everything the test writes.
set -euo pipefail
mode=$1
work=$2
package=$3

rm -rf "$work" && mkdir -p "$work/home"
export HOME=$work/home  # Wine links the prefix's Documents below HOME: it stays in WORK_DIR
export WINEPREFIX=$work/prefix WINEARCH=win64
export WINEDEBUG=-all,err+module  # a DLL that cannot be loaded is said on stderr
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINEPATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR
PATH=/usr/lib/wine:$PATH

fail() { echo "FAIL: $*" >&2; exit 1; }
ok() { echo "ok - $*"; }
# wait_until SECONDS COMMAND...: polls every 0.1 s.
wait_until() {
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

xvfb_pid=""
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

start_display() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_until 30 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(cat "$work/display")
}

make_prefix() {
    wine64 wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot: $(tail -3 "$work/wineboot.log")"
    wineserver -w
    ok "fresh Wine prefix"
}

# Starts a Windows program (its arguments) in the background with the message log in
# WORK_DIR, and waits until the three default files are in FOLDER and a window of the program
# is on the display.
expect_program_starts() {
    local folder=$1 what=$2
    shift 2
    export VELOR_MESSAGE_LOG
    VELOR_MESSAGE_LOG=$(wine_says winepath -w "$work/messages.log")
    rm -f "$work/messages.log"
    wine64 "$@" >"$work/program.out" 2>"$work/program.err" &
    local files=(COM.CFG KonfigA.cfa KonfigB.cfb)
    all_there() { for f in "${files[@]}"; do [ -f "$folder/$f" ] || return 1; done; }
    wait_until 60 all_there || fail "$what: no default files in $folder ($(cat "$work/program.err"))"
    wait_until 30 xdotool search --name "Výběr zobrazení" >/dev/null ||
        fail "$what: the main window did not appear"
    if grep -i "err:module" "$work/program.err"; then fail "$what: a DLL is missing"; fi
    # The two files the program initialised, and no other message.
    [ "$(grep -c "Soubor bude inicializován" "$work/messages.log")" = 2 ] &&
        [ "$(wc -l <"$work/messages.log")" = 2 ] || fail "$what: messages: $(cat "$work/messages.log")"
    ok "$what: default files in the working folder, the main window shown, no missing DLL"
}

stop_programs() { wineserver -k && wineserver -w; }

check_zip() {
    mkdir -p "$work/usb"
    (cd "$work/usb" && cmake -E tar xf "$package") || fail "cannot unpack $package"
    local dir=$work/usb/Velor
    [ -f "$dir/velor.exe" ] || fail "no Velor/velor.exe in the zip"
    local exe
    for exe in velor velor-cli velor-modsim; do
        # The version resource's texts are UTF-16: the product name and the file's own name.
        x86_64-w64-mingw32-strings -el "$dir/$exe.exe" >"$work/strings"
        grep -qx "Velor Tarnix Line 2" "$work/strings" && grep -qx "$exe.exe" "$work/strings" ||
            fail "$exe.exe has no version resource"
    done
    ok "version resources in the programs"
    (cd "$dir" && expect_program_starts "$dir" "velor.exe from the zip" velor.exe)
    stop_programs
}

# Wine's output goes through a file: its background services would keep a pipe open.
wine_says() { wine64 "$@" >"$work/said" 2>/dev/null; tr -d '\r' <"$work/said"; }
winvar() { wine_says cmd /c echo "%$1%"; }
unix_of() { wine_says winepath -u "$1"; }
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velor'

check_installed() {
    local f
    for f in velor.exe velor-cli.exe velor-modsim.exe uninstall.exe qt.conf Qt6Core.dll \
        Qt6Widgets.dll Qt6Charts.dll Qt6SerialPort.dll libstdc++-6.dll libwinpthread-1.dll \
        platforms/qwindows.dll styles/qwindowsvistastyle.dll translations/qtbase_cs.qm; do
        [ -f "$inst/$f" ] || fail "not installed: $f"
    done
    for f in "$program_link" "$simulator_link" "$data/ParamIOI.cfw"; do
        [ -f "$f" ] || fail "missing after install: $f"
    done
    # The simulator's entry starts it with the demo bus where the README points the program.
    x86_64-w64-mingw32-strings -el "$simulator_link" | grep -qx -- "--tcp 127.0.0.1:10000" ||
        fail "the simulator's entry does not start the demo bus on 127.0.0.1:10000"
    wine64 reg query "$key" >"$work/uninstall-entry.txt" 2>&1 || fail "no apps list entry"
    for f in "DisplayName.*Velor Tarnix Line 2" "DisplayVersion" "Publisher" "DisplayIcon.*velor.exe" \
        "UninstallString.*uninstall.exe" "EstimatedSize"; do
        grep -q "$f" "$work/uninstall-entry.txt" || fail "apps list entry without $f"
    done
    ok "silent install: programs, DLLs, plugins, Start menu entries, apps list entry, data folder"
}

check_uninstalled() {
    [ ! -e "$inst" ] || fail "program folder left: $(ls -R "$inst")"
    [ ! -e "$program_link" ] && [ ! -e "$simulator_link" ] || fail "Start menu entries left"
    if wine64 reg query "$key" >/dev/null 2>&1; then fail "apps list entry left"; fi
    for f in ParamIOI.cfw COM.CFG KonfigA.cfa KonfigB.cfb; do
        [ -f "$data/$f" ] || fail "the data folder lost $f"
    done
    ok "silent uninstall: program folder, entries and apps list entry gone, data folder kept"
}

check_installer() {
    wine64 "$package" /S >"$work/setup.log" 2>&1 || fail "silent install failed: $(cat "$work/setup.log")"
    wineserver -w
    inst=$(unix_of "$(winvar LOCALAPPDATA)\\Programs\\Velor")
    data=$(unix_of "$(winvar USERPROFILE)\\Documents\\Velor")
    local menu
    menu=$(winvar APPDATA)'\Microsoft\Windows\Start Menu\Programs'
    program_link=$(unix_of "$menu\\Velor Tarnix Line 2.lnk")
    simulator_link=$(unix_of "$menu\\Velor – simulátor modulů.lnk")
    check_installed

    # The Start menu entry, started as Explorer starts it.
    expect_program_starts "$data" "velor.exe from the Start menu entry" \
        start "$menu\\Velor Tarnix Line 2.lnk"
    [ ! -e "$inst/COM.CFG" ] || fail "the program wrote its files into the program folder"
    # While it runs, its files are in use: the uninstaller (in place, to see its exit code)
    # refuses and changes nothing.
    local code=0
    wine64 "$inst/uninstall.exe" /S "_?=$(winvar LOCALAPPDATA)\Programs\Velor" \
        >"$work/uninstall.log" 2>&1 || code=$?
    [ "$code" = 2 ] && [ -f "$inst/velor.exe" ] && [ -f "$program_link" ] ||
        fail "uninstall while the program runs: exit $code"
    ok "the uninstaller refuses while the program runs"
    stop_programs

    wine64 "$inst/uninstall.exe" /S >"$work/uninstall.log" 2>&1 || fail "silent uninstall failed"
    wineserver -w  # the uninstaller runs on from a copy of itself
    check_uninstalled
}

main() {
    start_display
    make_prefix
    case $mode in
        zip) check_zip ;;
        installer) check_installer ;;
        *) fail "unknown mode $mode" ;;
    esac
}

main
