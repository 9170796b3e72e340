#!/usr/bin/env python3
"""Whole-process benchmark of the onda programs.

Makes large test pictures with the project's own writer, then times each
program in alternating pairs against a peer and prints the median ratio of
each pairing with the spread of the pairs (the machine's noise), in user
time and beside it in processor time (user and system); targets are checked
on user time. On a machine shared with other work, wall time mostly measures
the wait for a processor, and the system part is mostly the kernel zeroing
fresh pages, the same for every program yet varying tenfold between
identical runs on a virtual machine.

- ondafwd against the numpy script a user might write instead (8-bit only:
  the script transforms the first channel only);
- ondafwd and ondainv against ondasplit, the one-sweep program, on the same
  picture: 8-bit and 24-bit, one level and two;
- every program against the copy floor (read the file, write both
  coefficient buffers once, write the file);
- ondasplit against itself, which shows how far this machine's noise alone
  moves a median.

The default is 21 pairs: with 15 the median of ondasplit against itself
stayed within 0.015 of 1 in six runs on an idle machine; with 9, medians
moved by several hundredths.

Then counts, under valgrind's cache simulator, the instructions and the
first-level data-cache misses per pixel of each program at 2048^2, 8-bit, two
levels, and measures each program's peak memory. Each figure with a target is marked ok or MISSED;
the exit status is 1 when any target is missed.

usage: run.py BUILD_DIR [--pairs N] [--peer PATH] [--quick]
"""
import argparse
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

MIB = 1 << 20

# Per pixel at 2048^2, 8-bit, two levels: instructions no more than the
# transforms took as separate passes, and first-level data-cache misses.
COUNT_TARGETS = {"ondafwd": (53.6, 0.8), "ondainv": (51.5, 0.8), "ondasplit": (None, None)}


def times_and_rss(command):
    """Runs a command; returns its user time and its processor time (user and
    system) in seconds, and its peak RSS in bytes."""
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: " + " ".join(command))
    return (usage.ru_utime, usage.ru_utime + usage.ru_stime), usage.ru_maxrss * 1024


class Paired:
    """Median and range of time(command) / time(peer) over alternating pairs,
    in user time and in processor time."""

    def __init__(self, command, peer, pairs):
        times_and_rss(command)  # warm the file cache and the binaries
        times_and_rss(peer)
        user, cpu = [], []
        for i in range(pairs):
            if i % 2 == 0:
                a, _ = times_and_rss(command)
                b, _ = times_and_rss(peer)
            else:
                b, _ = times_and_rss(peer)
                a, _ = times_and_rss(command)
            # A process shorter than the kernel's tick may be charged no user time.
            user.append(a[0] / b[0] if b[0] > 0 else math.inf)
            cpu.append(a[1] / b[1])
        self.median = statistics.median(user)
        self.note = (f"({min(user):.3f}-{max(user):.3f}; processor time "
                     f"{statistics.median(cpu):.3f}, {min(cpu):.3f}-{max(cpu):.3f})")


class Report:
    def __init__(self):
        self.missed = 0

    def line(self, label, value, target=None, fmt="{:.3f}", note=""):
        text = fmt.format(value)
        if target is None:
            verdict = ""
        elif value <= target:
            verdict = "ok (target <= " + fmt.format(target) + ")"
        else:
            verdict = "MISSED (target <= " + fmt.format(target) + ")"
            self.missed += 1
        print(f"  {label:<46} {text:>10}  {verdict} {note}".rstrip())


def cachegrind(command, pixels):
    out = tempfile.NamedTemporaryFile(suffix=".cg", delete=False).name
    result = subprocess.run(
        ["valgrind", "--tool=cachegrind", "--cache-sim=yes", "--cachegrind-out-file=" + out] + command,
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    os.unlink(out)
    counts = {}
    for line in result.stderr.splitlines():
        parts = line.split()
        if "refs:" in parts and parts[1] == "I":
            counts["I"] = int(parts[3].replace(",", ""))
        if "misses:" in parts and parts[1] == "D1":
            counts["D1"] = int(parts[3].replace(",", ""))
    return counts["I"] / pixels, counts["D1"] / pixels


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--pairs", type=int, default=21)
    parser.add_argument("--peer", default=os.path.join(os.path.dirname(__file__), "haar_numpy.py"))
    parser.add_argument("--python", default="/usr/bin/python3")
    parser.add_argument("--quick", action="store_true", help="2048^2 only, no valgrind")
    args = parser.parse_args()

    tools = os.path.join(args.build, "tools")
    program = {name: os.path.join(tools, name, name) for name in ("ondafwd", "ondainv", "ondasplit")}
    make = os.path.join(args.build, "bench", "onda_make_picture")
    floor = os.path.join(args.build, "bench", "onda_copy_floor")
    work = tempfile.mkdtemp(prefix="onda-bench-")
    report = Report()
    try:
        sides = [2048] if args.quick else [2048, 4096]
        pictures = {}
        for side in sides:
            for depth in (8, 24):
                path = os.path.join(work, f"pic{side}-{depth}.bmp")
                subprocess.run([make, str(side), str(side), str(depth), path], check=True)
                pictures[side, depth] = path
        out = os.path.join(work, "out.bmp")
        peer_out = os.path.join(work, "peer.bmp")

        def run(name, picture, levels=2):
            return [program[name], picture, out, str(levels)]

        have_peer = os.path.exists(args.peer) and subprocess.run(
            [args.python, "-c", "import numpy, PIL"], capture_output=True).returncode == 0
        print(f"Paired whole-process ratios of user time, median of {args.pairs} pairs (min-max;"
              " processor time median, min-max):")
        noise_picture = pictures[sides[-1], 24]
        paired = Paired(run("ondasplit", noise_picture), run("ondasplit", noise_picture), args.pairs)
        report.line(f"ondasplit / itself, {sides[-1]}^2 24-bit (the noise)", paired.median,
                    note=paired.note)
        for side in sides:
            grey = pictures[side, 8]
            if have_peer:
                paired = Paired(run("ondafwd", grey), [args.python, args.peer, grey, peer_out, "2"],
                                args.pairs)
                report.line(f"ondafwd / numpy script, {side}^2 8-bit", paired.median,
                            0.30 if side == 2048 else 0.35, note=paired.note)
            for depth in (8, 24):
                for levels in (1, 2):
                    picture = pictures[side, depth]
                    for name in ("ondafwd", "ondainv"):
                        paired = Paired(run(name, picture, levels), run("ondasplit", picture, levels),
                                        args.pairs)
                        report.line(f"{name} / ondasplit, {side}^2 {depth}-bit, {levels} level(s)",
                                    paired.median, 1.05, note=paired.note)
        print(f"Against the copy floor, 2 levels, user time, median of {args.pairs} pairs:")
        for side in sides:
            for depth in (8, 24):
                picture = pictures[side, depth]
                for name in ("ondafwd", "ondainv", "ondasplit"):
                    paired = Paired(run(name, picture), [floor, picture, out], args.pairs)
                    report.line(f"{name} / copy floor, {side}^2 {depth}-bit", paired.median,
                                note=paired.note)
        if not have_peer:
            print("  (numpy script skipped: needs /usr/bin/python3 with numpy and PIL:"
                  " apt-get install python3-numpy python3-pil)")

        if not args.quick and shutil.which("valgrind"):
            print("Counted under valgrind's cache simulator, per pixel, 2048^2 8-bit, 2 levels:")
            for name, (most_instructions, most_misses) in COUNT_TARGETS.items():
                instructions, misses = cachegrind(run(name, pictures[2048, 8]), 2048 * 2048)
                report.line(f"{name} instructions", instructions, most_instructions, fmt="{:.1f}")
                report.line(f"{name} first-level data-cache misses", misses, most_misses,
                            fmt="{:.2f}")

        print("Peak memory, bytes per pixel beyond 8 MiB:")
        side = sides[-1]
        for depth, budget in ((8, 18), (24, 22)):
            for name in ("ondafwd", "ondainv", "ondasplit"):
                _, rss = times_and_rss(run(name, pictures[side, depth]))
                report.line(f"{name}, {side}^2 {depth}-bit", (rss - 8 * MIB) / (side * side), budget,
                            fmt="{:.2f}", note=f"({rss / MIB:.0f} MiB)")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("All targets met." if report.missed == 0 else f"{report.missed} target(s) missed.")
    return 1 if report.missed else 0


if __name__ == "__main__":
    sys.exit(main())
