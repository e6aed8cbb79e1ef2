#!/bin/sh
# Checks a built Kelvra.exe against what the machines it is for can load.
#   check-binary.sh OBJDUMP KELVRA.EXE i686|x86_64
# i686, the build that ships to Windows 2000 and XP: imports only from KERNEL32, USER32,
# ADVAPI32, COMCTL32 and msvcrt, and only functions on tools/windows2000-imports.txt; subsystem
# and OS version at most 5.0; GUI subsystem; ASLR and NX flags with relocations to match; stripped,
# and at most 48 KiB with all its resources; no instruction that a Pentium lacks.
# x86_64: the same DLLs and GUI and security checks, with the functions on
# tools/x86_64-imports.txt allowed besides; no version, size or CPU check, which concern the
# Windows 2000 build only.
set -eu
objdump=$1
exe=$2
arch=$3
tools=$(dirname "$0")
failures=0

fail() {
    echo "FAIL: $exe: $*" >&2
    failures=$((failures + 1))
}

headers=$("$objdump" -p "$exe")
field() {
    printf '%s\n' "$headers" | sed -n "s/^$1[[:space:]]*\\([0-9a-fA-F]*\\).*/\\1/p" | head -n 1
}

# Imports: "DLL function" per line.
imports=$(printf '%s\n' "$headers" | awk '
    /^[[:space:]]*DLL Name:/ { dll = $3; next }
    dll != "" && /^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z_]/ { print dll, $3; next }
    /^[[:space:]]*$/ { next }
    /^ *[0-9a-f]+\t/ { next }')
[ -n "$imports" ] || fail "no imports found: is this a PE file?"
allowed=$(grep -v '^#' "$tools/windows2000-imports.txt" | awk 'NF == 2 { print $1, $2 }')
lists="$tools/windows2000-imports.txt"
if [ "$arch" = x86_64 ]; then
    lists="$lists or $tools/x86_64-imports.txt"
    allowed="$allowed
$(grep -v '^#' "$tools/x86_64-imports.txt" | awk 'NF == 2 { print $1, $2 }')"
fi
for dll in $(printf '%s\n' "$imports" | awk '{ print $1 }' | sort -u); do
    case $(printf '%s' "$dll" | tr 'a-z' 'A-Z') in
        KERNEL32.DLL | USER32.DLL | ADVAPI32.DLL | COMCTL32.DLL | MSVCRT.DLL) ;;
        *) fail "imports $dll, which Windows 2000 does not have" ;;
    esac
done
printf '%s\n' "$imports" | while read -r dll function; do
    if ! printf '%s\n' "$allowed" | grep -qixF "$dll $function"; then
        echo "FAIL: $exe: imports $dll $function, which is not on $lists" >&2
        echo x
    fi
done >"$exe.unlisted"
[ ! -s "$exe.unlisted" ] || failures=$((failures + $(wc -l <"$exe.unlisted")))
rm -f "$exe.unlisted"

# Headers.
[ "$(field Subsystem)" = 00000002 ] || fail "not a GUI program (subsystem $(field Subsystem))"
characteristics=$((0x$(field DllCharacteristics)))
[ $((characteristics & 0x40)) -ne 0 ] || fail "no ASLR flag (DllCharacteristics $characteristics)"
[ $((characteristics & 0x100)) -ne 0 ] || fail "no NX flag (DllCharacteristics $characteristics)"
relocations=$(printf '%s\n' "$headers" | sed -n 's/^Entry 5 [0-9a-f]* \([0-9a-f]*\) Base Relocation.*/\1/p')
[ $((0x${relocations:-0})) -gt 0 ] || fail "no relocations, so ASLR cannot move it"

if [ "$arch" = i686 ]; then
    for kind in Subsystem OSystem; do
        major=$((0x$(field "Major${kind}Version")))
        minor=$((0x$(field "Minor${kind}Version")))
        if [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 0 ]; }; then
            fail "$kind version $major.$minor: Windows 2000 loads 5.0 at most"
        fi
    done
    "$objdump" -t "$exe" | grep -q '^no symbols' || fail "not stripped"
    size=$(wc -c <"$exe")
    [ "$size" -le 49152 ] || fail "$size bytes: more than 48 KiB"
    sh "$tools/check-pentium.sh" "$objdump" "$exe" >/dev/null || fail "needs more than a Pentium"
fi

if [ "$failures" -ne 0 ]; then
    echo "$exe: $failures check(s) failed" >&2
    exit 1
fi
echo "$exe ($arch): $(wc -c <"$exe") bytes; imports $(printf '%s\n' "$imports" | wc -l) functions, all listed; checks passed"
