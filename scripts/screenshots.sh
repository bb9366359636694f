#!/usr/bin/env bash
# Builds velor-shots and saves every window as a PNG in docs/, under a virtual X display so
# the real X11 rendering and fonts are used. Needs xvfb and a font with Czech diacritics
# (installed with apt-get when running as root).
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
command -v xvfb-run >/dev/null || missing+=(xvfb xauth)
fc-list 2>/dev/null | grep -qi "DejaVu Sans" || missing+=(fonts-dejavu-core)
command -v pdftoppm >/dev/null || missing+=(poppler-utils)
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]} (install them as root)" >&2
        exit 1
    fi
    apt-get update -qq && apt-get install -y -qq "${missing[@]}"
fi
dir=${VELOR_SHOTS_BUILD:-build-shots}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
    -DVELOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target velor-shots velor-modsim velor-cli
mkdir -p docs
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$dir/tools/shots/velor-shots" docs

# The first page of a service report: velor-cli against the simulator's demo bus, drawn by
# pdftoppm (poppler-utils).
work=$(mktemp -d)
"$dir/tools/modsim/velor-modsim" --tcp 127.0.0.1:0 >"$work/sim.out" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 50); do
    grep -q '^listening tcp' "$work/sim.out" && break
    sleep 0.1
done
port=$(sed -n 's/^listening tcp 127.0.0.1:\([0-9]*\).*/\1/p' "$work/sim.out")
cli=$(pwd)/$dir/tools/velor-cli/velor-cli
(cd "$work" && "$cli" demo . >/dev/null &&
    "$cli" report --address 1 --kind kalu --config KonfigA.cfa --seconds 3 \
        --technician "Jiří Novák" --note "Kontrola vstupů po výměně čidla na vstupu 3." \
        --pdf report.pdf --tcp "127.0.0.1:$port" >/dev/null)
pdftoppm -png -r 70 -f 1 -l 1 -singlefile "$work/report.pdf" docs/report
