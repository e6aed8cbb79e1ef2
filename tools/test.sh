#!/bin/sh
# Installs what is missing, then builds Kelvra for x86_64 and i686 and runs every test on each,
# the x86_64 build under 64-bit Wine and the i686 build, the one that ships, under 32-bit
# Wine, emulated by QEMU where the kernel cannot start 32-bit programs (tools/wine32.sh). The
# i686 build is then packed as the release, whose contents are checked and which is built again
# at two other paths to show that it comes out the same, byte for byte.
set -eu
cd "$(dirname "$0")/.."
tools/install-packages.sh
cmake --workflow --preset x86_64 --fresh
cmake --workflow --preset release --fresh
tools/check-release.sh
