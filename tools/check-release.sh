#!/bin/sh
# Checks the release that "cmake --workflow --preset release" left in build/i686, then builds
# it again in two fresh copies of this tree at other paths: the zip, and Kelvra.exe of both
# targets, must come out the same, byte for byte.
#   tools/check-release.sh
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# The version as project() in CMakeLists.txt names it, however that call is laid out on lines.
version=$(tr '\n' ' ' <CMakeLists.txt | sed -n 's/.*project([[:space:]]*Kelvra[[:space:]][^)]*VERSION[[:space:]]*\([0-9.]*\).*/\1/p')
[ -n "$version" ] || { echo "FAIL: no version in project() of CMakeLists.txt" >&2; exit 1; }
name=Kelvra-$version-win32.zip
zip=build/i686/$name
folder=Kelvra-$version

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What administrators get.
[ -f "$zip" ] || fail "no $zip: run cmake --workflow --preset release first"
zips=$(find build -name 'Kelvra-*-win32.zip' | wc -l)
[ "$zips" -eq 1 ] || fail "$zips release zips under build/, not one"
expected="$folder/
$folder/Kelvra.exe
$folder/README.txt
$folder/LICENSE
$folder/SHA256SUMS"
[ "$(unzip -Z1 "$zip")" = "$expected" ] || fail "$zip holds: $(unzip -Z1 "$zip" | tr '\n' ' ')"
unzip -q "$zip" -d "$work/unpacked"
unpacked=$work/unpacked/$folder
cmp -s "$unpacked/Kelvra.exe" build/i686/bin/Kelvra.exe || fail "Kelvra.exe is not the i686 build"
for text in README.txt LICENSE; do
    LC_ALL=C grep -q '[^[:print:][:space:]]' "$unpacked/$text" && fail "$text is not plain ASCII"
    [ "$(tr -d '\r' <"$unpacked/$text" | wc -l)" -eq "$(grep -c "$(printf '\r')\$" "$unpacked/$text")" ] ||
        fail "$text has a line that does not end in CR LF"
done
wide=$(tr -d '\r' <"$unpacked/README.txt" | awk 'length > 78 { print NR }' | head -n 1)
[ -z "$wide" ] || fail "README.txt line $wide is wider than 78 columns"
grep -q '^MIT License' "$unpacked/LICENSE" && grep -q 'the Kelvra authors' "$unpacked/LICENSE" ||
    fail "LICENSE is not the MIT licence of the Kelvra authors"
[ "$(awk '{ print $2 }' "$unpacked/SHA256SUMS" | tr '\n' ' ')" = "Kelvra.exe README.txt " ] ||
    fail "SHA256SUMS does not list Kelvra.exe and README.txt"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
echo "$zip: $(wc -c <"$zip") bytes, SHA-256 $(sha256sum "$zip" | cut -d' ' -f1); contents checked"

# The same commit, built again at two other paths: tracked and new files as they are here,
# with the repository, so that the commit's time is the same.
cmake --preset x86_64 >/dev/null
cmake --build --preset x86_64 --target Kelvra >/dev/null
for copy in "$work/a/kelvra" "$work/somewhere/much/deeper/kelvra-again"; do
    tools/copy-tree.sh "$copy"
    cp -a .git "$copy/.git"
    (
        cd "$copy"
        cmake --preset i686 -DKELVRA_TESTS=OFF >/dev/null
        cmake --build --preset release-zip >/dev/null
        cmake --preset x86_64 -DKELVRA_TESTS=OFF >/dev/null
        cmake --build --preset x86_64 --target Kelvra >/dev/null
    )
    for file in "i686/$name" i686/bin/Kelvra.exe x86_64/bin/Kelvra.exe; do
        cmp "build/$file" "$copy/build/$file" || fail "build/$file differs when built in $copy"
    done
    echo "built again in $copy: the zip and both Kelvra.exe are the same, byte for byte"
done
