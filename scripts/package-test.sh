#!/usr/bin/env bash
# Builds a Release, makes the .deb with CPack, unpacks it into a temporary root and checks
# its files; as root it also installs it, runs velor-modsim --help and starts velor briefly
# offscreen in an empty directory, then removes the package again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dir=${VELOR_PACKAGE_BUILD:-build-package}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DVELOR_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$dir" -j "$(nproc)" --target velor velor-modsim velor-cli
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/*.deb)
echo "package: $deb"
dpkg-deb -f "$deb" Package Version Depends

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg -x "$deb" "$tmp/root"
fail=0
for f in usr/bin/velor usr/bin/velor-modsim usr/bin/velor-cli \
    usr/share/applications/velor.desktop usr/share/icons/hicolor/scalable/apps/velor.svg \
    usr/lib/udev/rules.d/70-velor-serial.rules usr/share/velor/wireshark/velor.lua; do
    if [ -e "$tmp/root/$f" ]; then echo "ok   /$f"; else echo "MISSING /$f"; fail=1; fi
done
# The rule is the one in the source tree, and udev can read it.
if cmp -s packaging/udev/70-velor-serial.rules "$tmp/root/usr/lib/udev/rules.d/70-velor-serial.rules"; then
    echo "ok   udev rule as in packaging/udev"
else
    echo "WRONG udev rule in the package"; fail=1
fi
if command -v udevadm >/dev/null; then
    udevadm verify "$tmp/root/usr/lib/udev/rules.d/70-velor-serial.rules" >/dev/null 2>&1 \
        && echo "ok   udevadm verify" \
        || echo "udevadm verify not available or failed (systemd < 253): rule not verified"
fi
if command -v tshark >/dev/null; then
    tshark -G protocols -X lua_script:"$tmp/root/usr/share/velor/wireshark/velor.lua" 2>/dev/null \
        | grep -q "velor$" && echo "ok   tshark loads the dissector" \
        || { echo "tshark does not load the packaged dissector"; fail=1; }
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$tmp/root/usr/share/applications/velor.desktop" && echo "ok   desktop entry valid"
else
    echo "desktop-file-validate not installed (package desktop-file-utils): entry not validated"
fi
"$tmp/root/usr/bin/velor-modsim" --help >/dev/null && echo "ok   unpacked velor-modsim --help"

if [ "$(id -u)" -ne 0 ]; then
    echo "not root: dpkg -i skipped"
    exit $fail
fi
dpkg -i "$deb" >/dev/null || { apt-get install -y -f -qq >/dev/null; }
trap 'dpkg -r velor >/dev/null 2>&1 || true; rm -rf "$tmp"' EXIT
velor-modsim --help >/dev/null && echo "ok   installed velor-modsim --help"
mkdir -p "$tmp/run"
# A short start in an empty directory: it must come up and stay up until it is ended.
(cd "$tmp/run" && QT_QPA_PLATFORM=offscreen timeout 3 velor) && rc=0 || rc=$?
if [ "$rc" -eq 124 ]; then
    echo "ok   installed velor started and ran until ended"
else
    echo "velor ended by itself with code $rc"; fail=1
fi
ls "$tmp/run"
dpkg -r velor >/dev/null && echo "ok   package removed"
exit $fail
