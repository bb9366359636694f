#!/usr/bin/env bash
# Command one: builds the program and starts it against the bundled module simulator.
# The program runs in demo/ (its own COM.CFG points channel 1 at the simulator over TCP on
# 127.0.0.1), so the user's own files are never touched.
#   VELOR_SIM_ARGS="--drop 0.1"   extra switches for the simulator (see velor-modsim --help)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j "$(nproc)" --target velor velor-modsim velor-cli

root=$(pwd)
mkdir -p demo
cd demo
[ -f ParamIOI.cfw ] || cp "$root/config/data/ParamIOI.cfw" .
"$root/build/tools/velor-cli/velor-cli" comcfg COM.CFG --tcp 127.0.0.1
# A new demo folder gets configurations that address the simulator's KALU (1) and TEV (2).
"$root/build/tools/velor-cli/velor-cli" demo .

# shellcheck disable=SC2086
"$root/build/tools/modsim/velor-modsim" --tcp 127.0.0.1:10000 --log modsim.log ${VELOR_SIM_ARGS:-} &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
sleep 0.5

echo "Velor runs in $(pwd); the simulator's frame log is demo/modsim.log."
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under a virtual X display (xvfb-run); close with Ctrl+C."
    xvfb-run -a "$root/build/app/velor"
else
    "$root/build/app/velor"
fi
