#!/bin/sh
# Installs what is missing, then builds Kelvra for i686 and x86_64 and runs every test on each,
# the i686 build under 32-bit Wine and the x86_64 build under 64-bit Wine.
set -eu
cd "$(dirname "$0")/.."
tools/install-packages.sh
cmake --workflow --preset i686 --fresh
cmake --workflow --preset x86_64 --fresh
