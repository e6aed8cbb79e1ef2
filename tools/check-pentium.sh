#!/bin/sh
# Fails when a Windows program or object holds an instruction that a Pentium (P5), the least
# CPU that Windows 2000 runs on, does not have; such an instruction stops the program there
# with an illegal-instruction fault.
#   check-pentium.sh OBJDUMP FILE
# Caught: CMOVcc, FCMOVcc and FCOMI/FUCOMI (Pentium Pro); the multi-byte NOP, UD2, RDPMC,
# SYSENTER and the hint NOPs such as ENDBR32 (Pentium Pro and later); any MMX, SSE or AVX
# register or instruction; and later additions such as POPCNT, LZCNT, MOVBE and CRC32.
set -eu
objdump=$1
file=$2

# Each line of the disassembly that holds an instruction: "address: bytes <TAB> instruction".
found=$("$objdump" -d --no-show-raw-insn "$file" | awk -F'\t' '
    NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ {
        insn = $2
        for (i = 3; i <= NF; i++) insn = insn " " $i
        if (insn ~ /(^|[ ])(cmov[a-z]+|fcmov[a-z]+|f(u)?comip?|nop[lwq]|ud[012]|rdpmc|sysenter|sysexit|endbr(32|64)|emms|fxsave|fxrstor|[lms]fence|clflush|movnti|prefetch[a-z0-9]*|ldmxcsr|stmxcsr|fisttp[a-z]*|popcnt|lzcnt|tzcnt|movbe|crc32[a-z]*)([ ]|$)/ ||
            insn ~ /%[xyz]?mm[0-9]/)
            print $1 " " insn
    }')

if [ -n "$found" ]; then
    printf '%s\n' "$found" | sed "s|^|FAIL: $file: not on a Pentium: |" >&2
    echo "$file: $(printf '%s\n' "$found" | wc -l) instruction(s) that a Pentium lacks" >&2
    exit 1
fi
echo "$file: every instruction runs on a Pentium"
