#!/bin/sh
# Installs what is missing, builds Kelvra for x86_64 and i686, and runs every test.
set -eu
cd "$(dirname "$0")/.."
tools/install-packages.sh
cmake --workflow --preset x86_64 --fresh
cmake --workflow --preset i686 --fresh
