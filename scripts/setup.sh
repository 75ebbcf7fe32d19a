#!/usr/bin/env bash
# Installs with apt-get whatever the build and the tests need and is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
    wine64 locales
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine's i386 PE DLLs, with which wine64 runs the 32-bit tarvel.exe in its
# own process: only that folder of libwine:i386, of exactly the installed
# wine64's version, unpacked from the package; nothing 32-bit is installed.
# The tests set WINEDLLPATH to the folder holding i386-windows/ and find it
# by the same rule (fakeusb/usbstack.py).
wine_version=$(dpkg-query -W -f='${Version}' wine64)
dll_dir=/opt/wine-i386/${wine_version//\~/-}
if [ ! -d "$dll_dir/i386-windows" ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo_cmd dpkg --add-architecture i386
    fi
    if ! apt-cache show "libwine:i386=$wine_version" >/dev/null 2>&1; then
        $sudo_cmd apt-get update -qq
    fi
    work=$(mktemp -d)
    # apt fetches as its own user where it can.
    [ "$(id -u)" -eq 0 ] && chown _apt "$work" 2>/dev/null || true
    trap 'rm -rf "$work"' EXIT
    (cd "$work" && apt-get download -q "libwine:i386=$wine_version")
    wine_dlls=usr/lib/i386-linux-gnu/wine/i386-windows
    dpkg-deb --fsys-tarfile "$work"/libwine_*_i386.deb | tar -x -C "$work" "./$wine_dlls"
    # Moved in under another name first: a half-copied folder is never taken.
    $sudo_cmd mkdir -p "$dll_dir"
    $sudo_cmd rm -rf "$dll_dir/.i386-windows"
    $sudo_cmd mv "$work/$wine_dlls" "$dll_dir/.i386-windows"
    $sudo_cmd mv "$dll_dir/.i386-windows" "$dll_dir/i386-windows"
    echo "Wine's i386 DLLs in $dll_dir/i386-windows"
fi

# Wine takes a program's code pages from its Unix locale: the tests run the
# exes of localized machines in these (fakeusb/usbstack.py, LOCALES).
for name in ja_JP zh_CN ru_RU cs_CZ; do
    if ! locale -a | grep -qx "$name.utf8"; then
        sudo_cmd=""
        [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
        $sudo_cmd localedef -i "$name" -f UTF-8 "$name.UTF-8"
    fi
done
