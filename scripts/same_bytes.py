#!/usr/bin/env python3
"""Checks that two builds of the programs behave byte for byte alike.

usage: same_bytes.py [--runner CMD] [--work DIR] REFERENCE_BUILD OTHER_BUILD

Runs ondafwd, ondainv and ondasplit of both builds on the sample pictures
and on generated grey, palette and colour pictures (one wider than 4,096
pixels), at the default repeat number and at 0, 1, 2, 3 and 5 levels, and
compares what each pair of runs leaves: the exit status, the output file
(byte for byte, or absent on both sides), the console text and the reason
lines on standard error. The other build's programs are run through
--runner (e.g. "wine64") and named with .exe when its folder holds .exe
files; its console text and reason lines must be the reference's with every
line ended by \\r\\n when it is a Windows build (text mode), the same bytes
otherwise. The line with the buffer addresses is compared up to the
addresses.

Needs nothing beyond Python's standard library.
"""
import argparse
import pathlib
import re
import shlex
import shutil
import struct
import subprocess
import sys

PROGRAMS = ("ondafwd", "ondainv", "ondasplit")
LEVELS = (None, "0", "1", "2", "3", "5")
ADDRESSES = re.compile(rb"The address is [^\r\n]*")
SAMPLES = pathlib.Path(__file__).resolve().parent.parent / "samples"


def shade(x, y, c, noise):
    """A smooth slope plus noise, so that details come out of either sign."""
    return ((x * (3 + c) + y * (5 - c)) * 4 + noise % 40) % 256


def pixels(width, height, channels, seed):
    """Rows top-down, each a list of `channels`-tuples."""
    noise = seed
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            noise = (noise * 1103515245 + 12345) & 0xFFFFFFFF
            row.append(tuple(shade(x, y, c, noise >> 16) for c in range(channels)))
        rows.append(row)
    return rows


def bmp(width, height, bits, palette, rows, core=False):
    """An uncompressed BMP, rows bottom-up; palette entries are (r, g, b)."""
    row_length = (width * bits // 8 + 3) // 4 * 4
    body = b""
    for row in reversed(rows):
        line = b"".join(bytes(p[::-1]) if bits == 24 else bytes(p) for p in row)
        body += line + bytes(row_length - len(line))
    if core:
        header = struct.pack("<IHHHH", 12, width, height, 1, bits)
        colours = b"".join(bytes((b, g, r)) for r, g, b in palette)
    else:
        header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(body), 2835,
                             2835, len(palette), 0)
        colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + len(header) + len(colours)
    return struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset) + header + colours + body


def make_pictures(folder):
    """Grey, palette and colour pictures; one size halves three times, one twice."""
    grey = [(i, i, i) for i in range(256)]
    colours = [((i * 7) % 256, (i * 13 + 50) % 256, (255 - i)) for i in range(256)]
    for width, height in ((64, 48), (36, 20)):
        size = f"{width}x{height}"
        (folder / f"grey-{size}.bmp").write_bytes(
            bmp(width, height, 8, grey, pixels(width, height, 1, 1)))
        (folder / f"palette-{size}.bmp").write_bytes(
            bmp(width, height, 8, colours, pixels(width, height, 1, 2)))
        (folder / f"colour-{size}.bmp").write_bytes(
            bmp(width, height, 24, [], pixels(width, height, 3, 3)))
    (folder / "palette-core-40x24.bmp").write_bytes(
        bmp(40, 24, 8, colours, pixels(40, 24, 1, 4), core=True))
    (folder / "colour-core-24x16.bmp").write_bytes(
        bmp(24, 16, 24, [], pixels(24, 16, 3, 5), core=True))
    # Wider than 4,096 pixels, halving five times; and a size no level halves.
    (folder / "colour-4128x32.bmp").write_bytes(
        bmp(4128, 32, 24, [], pixels(4128, 32, 3, 6)))
    (folder / "grey-37x21.bmp").write_bytes(bmp(37, 21, 8, grey, pixels(37, 21, 1, 7)))


def run(command, folder):
    done = subprocess.run(command, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          check=False)
    return done.returncode, ADDRESSES.sub(b"The address is *", done.stdout), done.stderr


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("reference", type=pathlib.Path)
    parser.add_argument("other", type=pathlib.Path)
    parser.add_argument("--runner", default="", help="command that runs the other build's programs")
    parser.add_argument("--work", type=pathlib.Path, help="scratch folder (default OTHER/same-bytes)")
    options = parser.parse_args()

    work = (options.work or options.other / "same-bytes").resolve()
    shutil.rmtree(work, ignore_errors=True)
    pictures, sides = work / "pictures", {"reference": work / "reference", "other": work / "other"}
    for folder in (pictures, *sides.values()):
        folder.mkdir(parents=True)
    for sample in sorted(SAMPLES.glob("*.bmp")):
        shutil.copy(sample, pictures)
    make_pictures(pictures)

    windows = any((options.other / "tools" / p / f"{p}.exe").exists() for p in PROGRAMS)
    runner = shlex.split(options.runner)
    failures, compared, written = [], 0, 0
    for picture in sorted(pictures.iterdir()):
        for program in PROGRAMS:
            for levels in LEVELS:
                name = f"{program}-{picture.stem}-{levels or 'default'}.bmp"
                args = [f"../pictures/{picture.name}", name] + ([levels] if levels else [])
                reference = options.reference.resolve() / "tools" / program / program
                other = options.other.resolve() / "tools" / program / (
                    program + (".exe" if windows else ""))
                status, text, reasons = run([str(reference)] + args, sides["reference"])
                other_status, other_text, other_reasons = run(runner + [str(other)] + args,
                                                              sides["other"])
                expected_text = text.replace(b"\n", b"\r\n") if windows else text
                expected_reasons = reasons.replace(b"\n", b"\r\n") if windows else reasons
                out, other_out = sides["reference"] / name, sides["other"] / name
                what = f"{program} {' '.join(args)}"
                compared += 1
                if other_status != status:
                    failures.append(f"{what}: exit status {other_status}, expected {status}")
                if other_text != expected_text:
                    failures.append(f"{what}: console text differs:\n  {other_text!r}\n"
                                    f"  expected\n  {expected_text!r}")
                if other_reasons != expected_reasons:
                    failures.append(f"{what}: reason lines differ:\n  {other_reasons!r}\n"
                                    f"  expected\n  {expected_reasons!r}")
                if out.exists() != other_out.exists():
                    failures.append(f"{what}: output written by only one build")
                elif out.exists():
                    written += 1
                    if out.read_bytes() != other_out.read_bytes():
                        failures.append(f"{what}: output files differ")
    for failure in failures:
        print(failure, file=sys.stderr)
    print(f"{compared} runs compared, {written} output files, {len(failures)} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
