#!/bin/sh
# Installs, from Debian's packages, whatever of the build and test tools is not there yet.
# Wine comes in both widths: the i686 build, the one that ships, runs under 32-bit Wine.
# Then it makes sure that this machine starts 32-bit programs, and says how (tools/wine32.sh):
# natively, or, on a kernel built without 32-bit support, under QEMU's user-mode emulation,
# which it installs and registers for i386 programs with binfmt_misc (root only). Where neither
# works it fails: the i686 build's tests cannot run there.
set -eu
packages="wine wine64 wine32:i386 fonts-wine g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
binutils-mingw-w64 cmake ninja-build googletest xvfb xauth x11-utils imagemagick
python3 unzip locales"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
if [ -n "$missing" ]; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding Debian's i386 architecture, for 32-bit Wine" >&2
        $sudo dpkg --add-architecture i386
    fi
    echo "Installing:$missing" >&2
    $sudo apt-get update -qq
    # shellcheck disable=SC2086 # one word per package
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi

# Wine takes a program's ANSI code page from the Linux locale: the tests of the command line
# under a double-byte code page (932) run with this one.
if ! locale -a 2>/dev/null | grep -qx 'ja_JP.utf8'; then
    echo "Making the ja_JP.UTF-8 locale" >&2
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

$sudo "$(dirname "$0")/wine32.sh" setup >/dev/null
