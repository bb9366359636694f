#!/usr/bin/env bash
# velor-cli in a console under Wine: a pseudo-terminal (script) gives the program a real console,
# whose output code page is not UTF-8. A Czech file name in a message must come out as the
# characters it is, on stderr and on stdout alike.
#   console-test.sh WINE_ENV VELOR_CLI_EXE WORK_DIR
set -euo pipefail
env_file=$1 cli=$2 work=$3
rm -rf "$work" && mkdir -p "$work"
export LANG=C.UTF-8  # the terminal's side: Wine's console writes UTF-8 to it

# shows WHAT COMMAND...: the terminal's text holds WHAT (cursor moves between words removed).
shows() {
    local what=$1
    shift
    timeout 120 script -qec "$(printf '%q ' . "$env_file")&& $(printf '%q ' wine64 "$@")" \
        "$work/terminal" >/dev/null 2>&1 || true
    # script's own first and last lines repeat the command: not the program's output.
    if ! sed '/^Script started/d; /^Script done/d; s/\x1b\[[0-9;?]*[a-zA-Z]//g' "$work/terminal" |
        grep -qF "$what"; then
        echo "FAIL: the console does not show $what; it shows:" >&2
        cat -v "$work/terminal" >&2
        exit 1
    fi
}

name=Čidla-žluté.cfa
shows "$name" "$cli" show "$name"  # the error message on stderr
cd "$work"
mkdir Ukázka
shows "Ukázka" "$cli" demo Ukázka  # the files it wrote, on stdout
echo "ok - Czech texts in a console"
