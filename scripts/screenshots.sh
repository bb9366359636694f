#!/usr/bin/env bash
# Builds velor-shots and saves every window as a PNG in docs/, under a virtual X display so
# the real X11 rendering and fonts are used. Needs xvfb and a font with Czech diacritics
# (installed with apt-get when running as root).
set -euo pipefail
cd "$(dirname "$0")/.."
missing=()
command -v xvfb-run >/dev/null || missing+=(xvfb xauth)
fc-list 2>/dev/null | grep -qi "DejaVu Sans" || missing+=(fonts-dejavu-core)
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
cmake --build "$dir" -j "$(nproc)" --target velor-shots velor-modsim
mkdir -p docs
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$dir/tools/shots/velor-shots" docs
