#!/usr/bin/env python3
"""Whole-process benchmark of the onda programs.

Makes test pictures with the project's own writer and times every program,
two levels, in alternating pairs against a peer, taking the median of the
pairs' ratios in wall time and in user time:

- every program against the plane floor (bench/copy_floor.cpp: read the file,
  for each plane write the source buffer once from the pixels and the result
  buffer once from the source, write the file), 8-bit and 24-bit;
- ondafwd and ondainv against ondasplit, the one-sweep program, 8-bit;
- ondafwd against the numpy script a user might write instead (8-bit: the
  script transforms the first channel only).

Then counts, under valgrind's cache simulator, the instructions and the
first-level data-cache misses per pixel of each program at 2048^2, 8-bit,
and takes each program's peak memory from the timed runs. It prints one
table (Markdown) of the medians and the counts, each figure with a target
marked ok or MISSED, and under it the spread of the pairs. The exit status
is 1 when any target is missed.

With --plot it measures instead how the programs, the numpy script and the
floor scale: wall time and peak memory at 512^2 to 8192^2, 8-bit, two levels,
the median of a few runs each, and draws them in docs/scaling.png (needs
matplotlib: Debian's python3-matplotlib).

Every run goes through onda_measure (bench/measure.cpp), which times it and
takes its peak memory. On a machine shared with other work, a single run's
wall time includes the wait for a processor, and its user time is charged by
the kernel in clock-tick samples, so one pair can be off by a factor of
several; the medians of alternating pairs are what to compare. The default
of 31 pairs keeps the table to a few minutes.

usage: run.py [BUILD_DIR] [--pairs N] [--quick] [--plot [PNG]] [--runs N]
BUILD_DIR defaults to build-bench, where bench/run.sh builds.
"""
import argparse
import io
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = ("ondafwd", "ondainv", "ondasplit")
MIB = 1 << 20

# The side at which the timing targets hold (the smaller sides are shown
# beside it), and the side of the valgrind counts.
TARGET_SIDE = 4096
COUNT_SIDE = 2048
# Wall time against the plane floor, by depth.
FLOOR_TARGETS = {8: 1.5, 24: 1.8}
# User time against ondasplit, 8-bit.
SPLIT_TARGET = 1.05
# ondafwd's user time against the numpy script, 8-bit, by side.
NUMPY_TARGETS = {2048: 0.30, 4096: 0.35}
# Per pixel: instructions and first-level data-cache misses.
COUNT_TARGETS = {"ondafwd": (20, 0.77), "ondainv": (20, 0.76), "ondasplit": (28, 0.63)}
# Peak memory in bytes per pixel beyond 8 MiB, by depth.
MEMORY_TARGETS = {8: 18, 24: 22}

# The scaling figure: sides, and how each command is drawn.
PLOT_SIDES = (512, 1024, 2048, 4096, 8192)
PLOT_STYLES = {"ondafwd": "o-", "ondainv": "s-", "ondasplit": "^-", "numpy script": "D--",
               "plane floor": "k:"}


class Run:
    """One finished run of a command through onda_measure: wall time and user
    time in seconds, peak memory in bytes."""

    def __init__(self, measure, command):
        result = subprocess.run([measure] + command, stdout=subprocess.PIPE, text=True)
        if result.returncode != 0:
            sys.exit("failed: " + " ".join(command))
        wall, user, kib = result.stdout.split()
        self.wall = float(wall)
        self.user = float(user)
        self.rss = int(kib) * 1024


class Spread:
    def __init__(self, values):
        self.median = statistics.median(values)
        self.low = min(values)
        self.high = max(values)


class Paired:
    """command / peer over alternating pairs, in wall time and in user time;
    and the command's peak memory."""

    def __init__(self, measure, command, peer, pairs):
        Run(measure, command)  # warm the file cache and the binaries
        Run(measure, peer)
        wall, user, self.rss = [], [], 0
        for i in range(pairs):
            if i % 2 == 0:
                a, b = Run(measure, command), Run(measure, peer)
            else:
                b = Run(measure, peer)
                a = Run(measure, command)
            wall.append(a.wall / b.wall)
            # A process shorter than the kernel's tick may be charged no user time.
            user.append(a.user / b.user if b.user > 0 else math.inf)
            self.rss = max(self.rss, a.rss)
        self.wall = Spread(wall)
        self.user = Spread(user)


class Table:
    """Rows of figures by program; a figure with a target is marked ok or MISSED."""

    def __init__(self):
        self.rows = []
        self.spreads = []
        self.missed = 0

    def add(self, label, values, targets=None, fmt="{:.2f}"):
        """values: figure by program; targets: the most each may be, or None.
        A figure is judged as printed: the targets are given to its precision."""
        targets = targets or {}
        cells = []
        for name in PROGRAMS:
            if name not in values:
                cells.append("")
                continue
            text = fmt.format(values[name])
            if targets.get(name) is not None:
                met = float(text) <= targets[name]
                self.missed += 0 if met else 1
                text += " ok" if met else " MISSED"
            cells.append(text)
        limits = [f"{targets[name]:g}" for name in PROGRAMS if targets.get(name) is not None]
        if len(set(limits)) == 1:
            limits = limits[:1]
        self.rows.append([label] + cells + ["≤ " + ", ".join(limits) if limits else ""])

    def add_paired(self, label, paired, kind, targets=None):
        """The medians of the pairings (by program) in "wall" or "user" time."""
        spreads = {name: getattr(p, kind) for name, p in paired.items()}
        self.add(label, {name: s.median for name, s in spreads.items()}, targets)
        self.spreads.append((label, spreads))

    def print(self, caption):
        print(caption)
        print()
        print("| 2 levels | " + " | ".join(f"`{name}`" for name in PROGRAMS) + " | target |")
        print("|---" * (len(PROGRAMS) + 2) + "|")
        for row in self.rows:
            print("| " + " | ".join(row) + " |")
        print()
        print("Spread of the pairs (lowest-highest ratio):")
        for label, spreads in self.spreads:
            cells = "  ".join(f"{name} {s.low:.2f}-{s.high:.2f}" for name, s in spreads.items())
            print(f"  {label:<40} {cells}")


def cachegrind(command, pixels):
    """Instructions and first-level data-cache misses per pixel."""
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


def has_modules(python, *modules):
    """True when that Python imports every one of the modules."""
    return subprocess.run([python, "-c", "import " + ", ".join(modules)],
                          capture_output=True).returncode == 0


class Bench:
    """The built programs and helpers, the peer script and a scratch folder."""

    def __init__(self, args, work):
        tools = os.path.join(args.build, "tools")
        self.program = {name: os.path.join(tools, name, name) for name in PROGRAMS}
        self.maker = os.path.join(args.build, "bench", "onda_make_picture")
        self.floor_program = os.path.join(args.build, "bench", "onda_copy_floor")
        self.measure = os.path.join(args.build, "bench", "onda_measure")
        helpers = [self.maker, self.floor_program, self.measure]
        missing = [path for path in list(self.program.values()) + helpers
                   if not os.access(path, os.X_OK)]
        if missing:
            sys.exit("not built: " + ", ".join(missing) + " (bench/run.sh builds them)")
        self.pairs = args.pairs
        self.python = args.python
        self.peer_script = args.peer
        self.have_peer = os.path.exists(args.peer) and has_modules(args.python, "numpy", "PIL")
        self.work = work
        self.out = os.path.join(work, "out.bmp")

    def picture(self, side, depth):
        path = os.path.join(self.work, f"pic{side}-{depth}.bmp")
        if not os.path.exists(path):
            subprocess.run([self.maker, str(side), str(side), str(depth), path], check=True)
        return path

    def paired(self, command, peer):
        return Paired(self.measure, command, peer, self.pairs)

    def run(self, name, picture):
        return [self.program[name], picture, self.out, "2"]

    def floor(self, picture):
        return [self.floor_program, picture, self.out]

    def peer(self, picture):
        return [self.python, self.peer_script, picture, os.path.join(self.work, "peer.bmp"), "2"]

    def note_missing_peer(self):
        if not self.have_peer:
            print(f"(numpy script skipped: needs {self.python} with numpy and PIL:"
                  " apt-get install python3-numpy python3-pil)")


def table(bench, args):
    """Measures and prints the table; returns the exit status."""
    sides = [2048] if args.quick else [2048, TARGET_SIDE]
    report = Table()
    floor = {}
    for side in sides:
        for depth in (8, 24):
            picture = bench.picture(side, depth)
            floor[side, depth] = {name: bench.paired(bench.run(name, picture), bench.floor(picture))
                                  for name in PROGRAMS}
    for kind in ("wall", "user"):
        for (side, depth), paired in floor.items():
            target = FLOOR_TARGETS[depth] if kind == "wall" and side == TARGET_SIDE else None
            report.add_paired(f"{kind} time / plane floor, {side}², {depth}-bit", paired, kind,
                              dict.fromkeys(PROGRAMS, target))

    side = sides[-1]
    grey = bench.picture(side, 8)
    split = {name: bench.paired(bench.run(name, grey), bench.run("ondasplit", grey))
             for name in ("ondafwd", "ondainv")}
    target = SPLIT_TARGET if side == TARGET_SIDE else None
    report.add_paired(f"user time / `ondasplit`, {side}², 8-bit", split, "user",
                      dict.fromkeys(PROGRAMS, target))
    if bench.have_peer:
        for side in sides:
            grey = bench.picture(side, 8)
            paired = {"ondafwd": bench.paired(bench.run("ondafwd", grey), bench.peer(grey))}
            report.add_paired(f"user time / numpy script, {side}², 8-bit", paired, "user",
                              {"ondafwd": NUMPY_TARGETS.get(side)})

    counted = not args.quick and shutil.which("valgrind")
    if counted:
        grey = bench.picture(COUNT_SIDE, 8)
        counts = {name: cachegrind(bench.run(name, grey), COUNT_SIDE * COUNT_SIDE)
                  for name in PROGRAMS}
        report.add(f"instructions a pixel (valgrind), {COUNT_SIDE}², 8-bit",
                   {name: c[0] for name, c in counts.items()},
                   {name: t[0] for name, t in COUNT_TARGETS.items()}, fmt="{:.1f}")
        report.add(f"first-level data-cache misses a pixel, {COUNT_SIDE}², 8-bit",
                   {name: c[1] for name, c in counts.items()},
                   {name: t[1] for name, t in COUNT_TARGETS.items()})

    side = sides[-1]
    for depth in (8, 24):
        beyond = {name: (p.rss - 8 * MIB) / (side * side) for name, p in floor[side, depth].items()}
        target = MEMORY_TARGETS[depth] if side == TARGET_SIDE else None
        report.add(f"peak memory, bytes a pixel beyond 8 MiB, {side}², {depth}-bit", beyond,
                   dict.fromkeys(PROGRAMS, target), fmt="{:.1f}")

    report.print(f"Median ratios of {args.pairs} alternating pairs (wall time, user time);"
                 " counts and peak memory per pixel:")
    bench.note_missing_peer()
    if not args.quick and not counted:
        print("(valgrind counts skipped: apt-get install valgrind)")
    print("All targets met." if report.missed == 0 else f"{report.missed} target(s) missed.")
    return 1 if report.missed else 0


def scaling(bench, args):
    """Medians of wall time and peak memory at every plot side, by command."""
    medians = {name: {} for name in PLOT_STYLES}
    for side in PLOT_SIDES:
        picture = bench.picture(side, 8)
        commands = {name: bench.run(name, picture) for name in PROGRAMS}
        if bench.have_peer:
            commands["numpy script"] = bench.peer(picture)
        commands["plane floor"] = bench.floor(picture)
        runs = {name: [] for name in commands}
        for command in commands.values():
            Run(bench.measure, command)  # warm the file cache and the binaries
        names = list(commands)
        for i in range(args.runs):
            for name in names[i % len(names):] + names[:i % len(names)]:
                runs[name].append(Run(bench.measure, commands[name]))
        for name, taken in runs.items():
            medians[name][side] = (statistics.median(r.wall for r in taken),
                                   statistics.median(r.rss for r in taken) / MIB)
        os.unlink(picture)
    return {name: values for name, values in medians.items() if values}


def plot(bench, args):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.ticker import FuncFormatter, NullLocator
    from PIL import Image

    medians = scaling(bench, args)

    print(f"Median of {args.runs} runs, 8-bit, 2 levels: wall time (s) / peak memory (MiB)")
    print(f"  {'':<14}" + "".join(f"{f'{side}²':>16}" for side in PLOT_SIDES))
    for name, values in medians.items():
        print(f"  {name:<14}" + "".join(f"{f'{wall:.3f} / {rss:.0f}':>16}"
                                         for wall, rss in values.values()))
    bench.note_missing_peer()

    pixels = [side * side for side in PLOT_SIDES]
    figure, (left, right) = plt.subplots(1, 2, figsize=(9, 3.6))
    for axes, index, label in ((left, 0, "wall time (s)"), (right, 1, "peak memory (MiB)")):
        for name, values in medians.items():
            axes.loglog(pixels, [values[side][index] for side in PLOT_SIDES], PLOT_STYLES[name],
                        label=name, markersize=4, linewidth=1.2)
        axes.xaxis.set_minor_locator(NullLocator())
        axes.set_xticks(pixels)
        axes.set_xticklabels([f"{side}²" for side in PLOT_SIDES])
        axes.yaxis.set_major_formatter(FuncFormatter(lambda value, _: f"{value:g}"))
        axes.set_xlabel("picture size (8-bit, two levels)")
        axes.set_ylabel(label)
        axes.grid(True, which="major", linewidth=0.4, alpha=0.5)
    left.legend(fontsize="small")
    figure.suptitle(f"Whole runs against picture size, median of {args.runs} runs each",
                    fontsize="medium")
    figure.tight_layout()
    drawn = io.BytesIO()
    figure.savefig(drawn, format="png", dpi=100)
    # A few dozen colours draw lines and text alike and keep the file small.
    Image.open(drawn).convert("RGB").quantize(colors=48).save(args.plot, optimize=True)
    print(f"wrote {args.plot} ({os.path.getsize(args.plot) // 1024} KiB)")
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build-bench"))
    parser.add_argument("--pairs", type=int, default=31)
    parser.add_argument("--peer", default=os.path.join(ROOT, "bench", "haar_numpy.py"))
    parser.add_argument("--python", default="/usr/bin/python3")
    parser.add_argument("--quick", action="store_true", help="2048^2 only, no valgrind")
    parser.add_argument("--plot", nargs="?", const=os.path.join(ROOT, "docs", "scaling.png"),
                        help="draw the scaling figure instead (default docs/scaling.png)")
    parser.add_argument("--runs", type=int, default=5, help="runs per point of the figure")
    args = parser.parse_args()
    if args.plot and not has_modules(sys.executable, "matplotlib"):
        # Debian's packages go to the system's Python, which may not be the one running.
        if os.path.realpath(args.python) != os.path.realpath(sys.executable) and has_modules(
                args.python, "matplotlib"):
            os.execv(args.python, [args.python, os.path.abspath(__file__)] + sys.argv[1:])
        sys.exit(f"--plot needs matplotlib in {sys.executable} or {args.python}:"
                 " apt-get install python3-matplotlib")

    work = tempfile.mkdtemp(prefix="onda-bench-")
    try:
        bench = Bench(args, work)
        return plot(bench, args) if args.plot else table(bench, args)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
