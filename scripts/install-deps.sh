#!/usr/bin/env bash
# Installs every Debian package the build, the demo, the tests, the fuzzer and the benchmarks
# need, and registers the FreeTDS and SQLite ODBC drivers. Safe to run again: it installs only
# what is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ ccache pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-odbc libgl-dev
    qt6-translations-l10n
    # lupdate and lrelease, and their CMake package (Qt6LinguistTools) for the tool's translation
    qt6-l10n-tools qt6-tools-dev
    unixodbc unixodbc-dev odbcinst tdsodbc freetds-bin libsqliteodbc
    fonts-wqy-microhei
    googletest libgtest-dev
    sqlite3 libsqlite3-dev python3 python3-xlwt python3-xlrd libfreexl-dev time
    zlib1g-dev python3-openpyxl python3-odf
    clang-14 libclang-rt-14-dev
    # the window's tests and its benchmark under a window manager, clicked with the mouse
    xvfb xauth openbox xdotool python3-xlib
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

# Debian's tdsodbc ships the driver's odbcinst.ini template but does not register it.
if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
    "${sudo_cmd[@]}" odbcinst -i -d -f /usr/share/tdsodbc/odbcinst.ini >/dev/null
fi

# Debian's libsqliteodbc registers "SQLite" and "SQLite3" when installed; register them again if
# that registration was lost (the tests reach the driver as "SQLite3").
if ! odbcinst -q -d -n SQLite3 >/dev/null 2>&1; then
    "${sudo_cmd[@]}" odbcinst -i -d -f /usr/share/sqliteodbc/unixodbc.ini >/dev/null
fi
