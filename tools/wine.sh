#!/bin/sh
# Starts a program under the Wine that fits a build; every script and the tests' emulator start
# Wine through here.
#   wine.sh i686|x86_64 PROGRAM [ARGUMENTS...]
# x86_64 programs, and Wine's own tools (reg, cmd, wineboot: 64-bit programs in every prefix),
# go straight to Wine's 64-bit loader. Debian's `wine` would hand them to the 32-bit loader
# first whenever wine32 is installed, which fails on a kernel that cannot start 32-bit programs
# and costs a slow emulated start where QEMU starts them.
# i686 programs go to the 32-bit loader, natively or under QEMU (tools/wine32.sh). Under QEMU a
# 32-bit Wine start spends most of its time mapping the guest's address space, so the guest is
# given a smaller one: see QEMU_RESERVED_VA below.
set -eu
arch=$1
shift
wine_lib=/usr/lib/wine

mode=$("$(dirname "$0")/wine32.sh" mode 2>/dev/null || echo none)
if [ "$mode" = emulated ]; then
    # The guest's address space, in bytes: the 2 GiB that a program without the large-address
    # flag (Kelvra, the tests) has on 32-bit Windows, and 16 MiB above it for what Wine maps
    # there; at 2 GiB exactly Wine fails ("failed to map the shared user data"). It reaches
    # QEMU through the environment, since binfmt_misc starts QEMU with no options of its own.
    # Set for every start, as 64-bit programs start 32-bit ones too. KELVRA_QEMU_RESERVED_VA
    # overrides it, to measure another size.
    export QEMU_RESERVED_VA="${KELVRA_QEMU_RESERVED_VA:-0x81000000}"
fi

case $arch in
    x86_64)
        export WINELOADER=$wine_lib/wine64
        exec "$wine_lib/wine64" "$@"
        ;;
    i686)
        if [ "$mode" = none ]; then
            "$(dirname "$0")/wine32.sh" mode >/dev/null # says why
            exit 1
        fi
        exec "$wine_lib/wine" "$@"
        ;;
    *)
        echo "usage: wine.sh i686|x86_64 PROGRAM [ARGUMENTS...]" >&2
        exit 2
        ;;
esac
