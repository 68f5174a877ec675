#!/usr/bin/env bash
# Installs the Debian packages the program needs to build, run and test.
# Skips everything when they are all present already.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-serialport-dev libgl-dev qt6-translations-l10n
    libsqlite3-dev sqlite3
    postgresql postgresql-contrib libpq-dev libicu-dev
    mdbtools-dev mdbtools
    libxml2-dev libbenchmark-dev
    clang libfuzzer-14-dev clang-format
    libicu-dev
    libreoffice-calc libreoffice-dev
    fonts-dejavu-core
    librsvg2-bin desktop-file-utils appstream dpkg-dev file
    libglib2.0-dev xdg-utils
    libqt6dbus6 libqt6network6 dbus dbus-daemon
    libsecret-1-dev gnome-keyring zlib1g-dev
    libphonenumber-dev
    radicale xandikos vdirsyncer openssl
    slapd ldap-utils
    libsofia-sip-ua-glib-dev kamailio baresip sip-tester
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
