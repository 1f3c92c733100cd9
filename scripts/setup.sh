#!/usr/bin/env bash
# Installs every Debian package the build, the benchmarks and the demo need; with --tests also what only the tests
# need (window managers and desktops to place the window under, large installs the demo can do without).
# Idempotent: packages already present are left alone, and apt is only asked when something is missing.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config clang-format ccache
    clang-14 libclang-rt-14-dev
    qt6-base-dev libqt6sql6-sqlite qt6-translations-l10n qt6-multimedia-dev
    libsqlite3-dev sqlite3 libfontconfig-dev
    libpq-dev postgresql-15 postgresql-client-15 pgbouncer
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xdotool x11-utils libx11-dev libxcb1-dev
    xfwm4 openbox
    mutter sway weston xwayland qt6-wayland wtype x11-xserver-utils
    fonts-liberation fonts-dejavu-core
    time
    valgrind e2fsprogs
    dbus at-spi2-core python3-pyatspi
    dpkg-dev man-db lintian
)
test_packages=(
    kwin-x11 kwin-wayland kwin-style-breeze
    systemd desktop-file-utils
)
if [ "${1:-}" = --tests ]; then
    packages+=("${test_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        exec sudo "$0" "$@"
    fi
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
