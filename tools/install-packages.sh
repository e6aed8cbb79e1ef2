#!/bin/sh
# Installs, from Debian's packages, whatever of the build and test tools is not there yet.
set -eu
packages="wine wine64 fonts-wine g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
binutils-mingw-w64 cmake ninja-build googletest xvfb xauth x11-utils imagemagick hyperfine"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing:$missing" >&2
$sudo apt-get update -qq
# shellcheck disable=SC2086 # one word per package
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
