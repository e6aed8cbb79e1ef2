#!/usr/bin/env python3
"""Packs a Kelvra release: one folder, Kelvra-<version>/, holding Kelvra.exe, README.txt,
LICENSE and SHA256SUMS, in a zip that is the same, byte for byte, wherever and whenever the
same commit is packed.

    make-release.py --exe KELVRA.EXE --version 1.0.0.2 --readme README.txt --license LICENSE
                    --source-dir DIR --output DIR/Kelvra-1.0.0.2-win32.zip

Every entry carries the time of the commit (git log -1 in --source-dir, or SOURCE_DATE_EPOCH
where it is set), in UTC, and fixed modes: nothing of this machine's owners, modes or time
zone, and no extra fields. The entries are stored, not compressed, so that no zlib version
can change the bytes. README.txt and LICENSE get CRLF line ends, so that Notepad shows them;
README.txt must be ASCII and at most 78 columns wide.
"""
import argparse
import glob
import hashlib
import os
import subprocess
import sys
import time
import zipfile

README_COLUMNS = 78


def commit_time(source_dir):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    output = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                            check=True, capture_output=True, text=True).stdout
    return int(output.strip())


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def checked_readme(path):
    text = open(path, encoding="ascii").read()
    for number, line in enumerate(text.split("\n"), 1):
        if len(line) > README_COLUMNS:
            sys.exit(f"{path}:{number}: {len(line)} columns, more than {README_COLUMNS}")
    return crlf(text).encode("ascii")


def entry(name, when, is_folder=False):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(when)[:6])
    # Fixed modes, whatever the files' modes and owners here: rw-r--r--, and rwxr-xr-x with
    # the directory attribute for the folder.
    info.create_system = 3
    info.external_attr = (0o40755 << 16) | 0x10 if is_folder else 0o100644 << 16
    info.compress_type = zipfile.ZIP_STORED
    return info


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--exe", "--version", "--readme", "--license", "--source-dir", "--output"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    when = commit_time(args.source_dir)
    folder = f"Kelvra-{args.version}/"
    exe = open(args.exe, "rb").read()
    readme = checked_readme(args.readme)
    files = [("Kelvra.exe", exe), ("README.txt", readme),
             ("LICENSE", crlf(open(args.license, encoding="ascii").read()).encode("ascii"))]
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n"
                   for name, data in files if name in ("Kelvra.exe", "README.txt"))
    files.append(("SHA256SUMS", sums.encode("ascii")))

    # One release in the folder: an older version's zip would be taken for this one.
    output_dir = os.path.dirname(os.path.abspath(args.output))
    for old in glob.glob(os.path.join(output_dir, "Kelvra-*-win32.zip")):
        os.remove(old)
    with zipfile.ZipFile(args.output, "w") as archive:
        archive.writestr(entry(folder, when, is_folder=True), b"")
        for name, data in files:
            archive.writestr(entry(folder + name, when), data)
    digest = hashlib.sha256(open(args.output, "rb").read()).hexdigest()
    print(f"{args.output}: {os.path.getsize(args.output)} bytes, SHA-256 {digest}")


if __name__ == "__main__":
    main()
