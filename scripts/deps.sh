#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need (or, with arguments,
# the packages named). As root it installs what is missing; otherwise it names what is missing
# and fails.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev
    qt6-charts-dev libqt6opengl6-dev qt6-serialport-dev tshark ccache
    # Qt's own texts in Czech (file dialogs, context menus).
    qt6-translations-l10n
    xvfb xauth fonts-dejavu-core libc-bin
    # Reads the text of the service report PDF back in a test.
    poppler-utils
    # Opens recorded CSV files headless in a test (about 55 packages, 90 s to install).
    libreoffice-calc-nogui
)

[ $# -eq 0 ] || PACKAGES=("$@")

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
