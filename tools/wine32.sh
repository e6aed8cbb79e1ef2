#!/bin/sh
# How this machine starts 32-bit Linux programs, and with them 32-bit Wine, which runs the
# i686 build, the one that ships.
#   wine32.sh mode    prints "native" or "emulated"; exits 1 when 32-bit programs cannot start
#   wine32.sh time-factor i686|x86_64
#                     how many times longer the tests of that build may wait and take here: 1,
#                     or TIME_FACTOR below where the build's programs run emulated
#   wine32.sh setup   the same as mode, after making them start where the kernel cannot: it
#                     installs qemu-user-static and registers it with binfmt_misc for i386
#                     programs
# Some kernels are built without 32-bit support: every 32-bit program, Wine's 32-bit loader
# among them, then fails with "Exec format error". QEMU's user-mode emulation runs them,
# correctly but slowly. It is registered only on such a kernel: registered, it would take every
# 32-bit program from a kernel that runs them natively.
set -eu
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/kelvra-qemu-i386
qemu=/usr/bin/qemu-i386-static
# The probe is glibc's own 32-bit loader, which Wine's 32-bit loader needs anyway: it must
# answer with its version, since a program that does not run at all may still exit 0.
probe=/lib/ld-linux.so.2
# Emulated, a 32-bit Wine start takes seconds instead of a tenth of one, and more while two run.
TIME_FACTOR=5

answers() {
    "$probe" --version 2>/dev/null | grep -q '^ld\.so '
}

# An enabled binfmt_misc entry for i386 programs, ours or another's, takes them from the
# kernel's own loader.
emulated() {
    [ -d "$binfmt" ] || return 1
    for file in "$binfmt"/*; do
        case ${file##*/} in register | status) continue ;; esac
        [ -f "$file" ] || continue
        grep -qx enabled "$file" &&
            grep -q '^magic 7f454c4601010100000000000000000002000300' "$file" && return 0
    done
    return 1
}

# Cheap enough for every Wine start: where QEMU is registered no probe runs.
mode() {
    if emulated; then
        echo emulated
    elif answers; then
        echo native
    else
        return 1
    fi
}

fail() {
    echo "32-bit programs cannot start on this machine, so the i686 build cannot be tested: $*" >&2
    exit 1
}

case ${1:-} in
    mode)
        mode || fail "$probe does not run (install wine32:i386, or see tools/wine32.sh setup)"
        ;;
    time-factor)
        if [ "${2:-}" = i686 ] && [ "$(mode 2>/dev/null)" = emulated ]; then
            echo "$TIME_FACTOR"
        else
            echo 1
        fi
        ;;
    setup)
        if answers; then
            how=$(mode)
        else
            [ -e "$probe" ] || fail "$probe is missing (install wine32:i386 first)"
            [ "$(id -u)" -eq 0 ] || fail "the kernel cannot start them, and registering QEMU's
emulation for them needs root: run tools/install-packages.sh as root"
            if ! [ -x "$qemu" ]; then
                apt-get update -qq >&2
                DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
                    qemu-user-static >&2
            fi
            if ! [ -f "$binfmt/register" ]; then
                mount -t binfmt_misc binfmt_misc "$binfmt" ||
                    fail "the kernel cannot start them, and binfmt_misc cannot be mounted on $binfmt
to have QEMU start them instead"
            fi
            # A disabled or stale entry of ours is replaced.
            [ -f "$entry" ] && echo -1 >"$entry"
            # i386 ELF executables and shared objects, magic and mask as QEMU's qemu-binfmt-conf.sh
            # has them; F opens QEMU now, so that it is found in any mount namespace.
            magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
            mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
            printf ':%s:M::%s:%s:%s:F\n' "${entry##*/}" "$magic" "$mask" "$qemu" >"$binfmt/register" ||
                fail "registering QEMU with binfmt_misc failed"
            answers || fail "$probe does not answer under QEMU either"
            how=emulated
        fi
        if [ "$how" = emulated ]; then
            echo "32-bit programs run emulated here (QEMU user mode): the i686 tests are slower" >&2
        else
            echo "32-bit programs run natively here" >&2
        fi
        echo "$how"
        ;;
    *)
        echo "usage: wine32.sh mode | time-factor i686|x86_64 | setup" >&2
        exit 2
        ;;
esac
