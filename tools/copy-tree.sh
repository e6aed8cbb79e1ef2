#!/bin/sh
# Copies this working tree as it is, tracked and new files but nothing that git ignores (so no
# build trees or Wine prefixes), into DEST.
#   copy-tree.sh DEST
set -eu
dest=$1
mkdir -p "$dest"
cd "$(dirname "$0")/.."
git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - | tar -xf - -C "$dest"
