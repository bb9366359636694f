#!/usr/bin/env bash
# Checks that the includes of the program's sources point downward:
#   comm <- ui <- config <- modules <- (monitor, traffic, recording, finder, help, report) <- app
# a folder includes its own headers and those of the folders to its left, never those to its
# right. monitor/ (the main window, the polling loop, the unit windows) and the tool folders share
# a rank: a tool may use the logic of monitor/ (velor_core), never its windows (no unit window,
# no main window); monitor/ names no tool and no tool names another. The logic (the sources the folders give to velor_core) includes no window (the
# sources given to velor_widgets) and no Qt Gui or Qt Widgets header; the drawing without
# windows (the sources given to velor_pdf) may use Qt Gui, never a widget. comm/ is logic only, so it
# never includes a widget. The module simulator includes nothing of the program: it is the
# program's test oracle; velor-cli uses the logic below the windows only (comm, ui, config,
# modules) and the logic and drawing of the tool folders, never a window.
# Prints every violation as "file:line: what" and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(comm ui config modules monitor app)
# The tool folders: each a window with its logic, attached to the host windows by app/Program.
# They rank with monitor/.
tools=(traffic recording finder help report)
folders=("${layers[@]}" "${tools[@]}")

# Includes that break the rule for now, one "file -> included header" a line, each with why.
allowed=(
)

rank() {
    local i
    is_tool "$1" && { rank monitor; return; }
    for i in "${!layers[@]}"; do
        [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
    done
    echo -1
}

is_tool() {
    local tool
    for tool in "${tools[@]}"; do [ "$tool" = "$1" ] && return 0; done
    return 1
}

is_allowed() {
    local entry
    for entry in "${allowed[@]}"; do
        [ "$entry" = "$1 -> $2" ] && return 0
    done
    return 1
}

# "kind file" for every source a folder's CMakeLists.txt gives to velor_core (core), to
# velor_widgets (widgets) or to an executable (program, free to include windows).
library_sources() {
    local dir
    for dir in "${folders[@]}"; do
        awk -v dir="$dir" '
            /target_sources\(velor_core/ { target = "core" }
            /target_sources\(velor_widgets/ { target = "widgets" }
            /target_sources\(velor_pdf/ { target = "gui" }
            /add_executable\(/ { target = "program" }
            target != "" {
                line = $0
                sub(/#.*/, "", line)
                n = split(line, words, /[ \t()]+/)
                for (i = 1; i <= n; i++)
                    if (words[i] ~ /\.(cpp|h)$/) print target, dir "/" words[i]
                if (line ~ /\)/) target = ""
            }' "$dir/CMakeLists.txt"
    done
}

declare -A library
while read -r target file; do library[$file]=$target; done < <(library_sources)

# The library of a file: its own entry, else that of its .cpp; a header of neither is logic.
library_of() {
    local file=$1
    if [ -n "${library[$file]:-}" ]; then echo "${library[$file]}"; return; fi
    if [ -n "${library[${file%.h}.cpp]:-}" ]; then echo "${library[${file%.h}.cpp]}"; return; fi
    echo core
}

qt_headers=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
is_widgets_qt_header() {
    [ -e "$qt_headers/QtWidgets/$1" ] || [[ $1 == QtWidgets/* ]]
}
is_window_qt_header() {
    [ -e "$qt_headers/QtWidgets/$1" ] || [ -e "$qt_headers/QtGui/$1" ] || [[ $1 == QtWidgets/* ]] ||
        [[ $1 == QtGui/* ]]
}

failures=0
fail() {
    echo "$1: $2"
    failures=$((failures + 1))
}

# Between monitor/ and the tool folders: a tool includes the logic of monitor/ only; monitor/
# includes no tool; a tool includes no other tool.
same_rank_allowed() {
    local from=$1 to=$2 header=$3
    [ "$from" = "$to" ] && return 0
    [ "$(rank "$from")" = "$(rank "$to")" ] || return 0
    is_tool "$to" && return 1
    if is_tool "$from" && [ "$to" = monitor ]; then
        [ "$(library_of "$header")" = core ]
        return
    fi
    return 0
}

check_file() {
    local file=$1 folder=${1%%/*} kind lineno text header
    kind=$(library_of "$file")
    while IFS=: read -r lineno text; do
        if [[ $text =~ \#include\ *\"([a-z]+)/([^\"]+)\" ]]; then
            header="${BASH_REMATCH[1]}/${BASH_REMATCH[2]}"
            is_allowed "$file" "$header" && continue
            local to
            to=$(rank "${BASH_REMATCH[1]}")
            if [ "$to" -lt 0 ] || [ "$to" -gt "$(rank "$folder")" ]; then
                fail "$file:$lineno" "includes $header from a layer above"
            elif ! same_rank_allowed "$folder" "${BASH_REMATCH[1]}" "$header"; then
                fail "$file:$lineno" "includes $header: a tool uses only the logic of monitor/, monitor/ and the tools name no tool"
            elif [ "$kind" != widgets ] && [ "$kind" != program ] &&
                [ "$(library_of "$header")" = widgets ]; then
                fail "$file:$lineno" "logic includes the window header $header"
            elif [ "$kind" = core ] && [ "$(library_of "$header")" = gui ]; then
                fail "$file:$lineno" "logic includes the drawing header $header"
            fi
        elif [[ $text =~ \#include\ *\<([^\>]+)\> ]] && [ "$kind" = core ]; then
            header=${BASH_REMATCH[1]}
            if is_window_qt_header "$header"; then fail "$file:$lineno" "logic includes <$header>"; fi
        elif [[ $text =~ \#include\ *\<([^\>]+)\> ]] && [ "$kind" = gui ]; then
            header=${BASH_REMATCH[1]}
            if is_widgets_qt_header "$header"; then fail "$file:$lineno" "drawing includes <$header>"; fi
        fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
}

for folder in "${folders[@]}"; do
    for file in "$folder"/*.cpp "$folder"/*.h; do
        if [ -e "$file" ]; then check_file "$file"; fi
    done
done

# The simulator stays apart from the program.
while IFS=: read -r file lineno text; do
    if [[ $text =~ \"(comm|ui|config|modules|monitor|traffic|recording|finder|help|report|app)/ ]]; then
        fail "$file:$lineno" "the simulator includes the program's ${BASH_REMATCH[1]}/"
    fi
done < <(grep -Hn '^[[:space:]]*#[[:space:]]*include' tools/modsim/*.cpp tools/modsim/*.h || true)

# velor-cli is the program without its windows.
while IFS=: read -r file lineno text; do
    if [[ $text =~ \"(monitor|app)/ ]]; then
        fail "$file:$lineno" "velor-cli includes the window folder ${BASH_REMATCH[1]}/"
    elif [[ $text =~ \"((traffic|recording|finder|help|report)/[^\"]+)\" ]] &&
        [ "$(library_of "${BASH_REMATCH[1]}")" = widgets ]; then
        fail "$file:$lineno" "velor-cli includes the window ${BASH_REMATCH[1]}"
    fi
done < <(grep -Hn '^[[:space:]]*#[[:space:]]*include' tools/velor-cli/*.cpp tools/velor-cli/*.h || true)

if [ "$failures" -gt 0 ]; then
    echo "layering: $failures include(s) against the layers"
    exit 1
fi
echo "layering: all includes point downward"
