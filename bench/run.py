#!/usr/bin/env python3
"""Whole-process benchmark of the onda programs.

Makes test pictures with the project's own writer and times every program,
two levels, against the read-and-write floor (bench/copy_floor.cpp: read the
file into one block, copy it once into a second block of the same size, write
that out; no transform of a picture can do less). Each picture is run in
rounds: one run of the floor and one of every program, the order reversed
from one round to the next, and each program's processor time (user + system)
is divided by the floor's of the same round. It prints, as Markdown tables:

- the median of those ratios over the rounds, with their range (min-max), at
  2048^2, 4096^2 and 8192^2 (--sides for others), 8-bit (grey) and 24-bit
  (colour). A set of rounds with a ratio below 1 (faster than a floor that
  only copies: a measurement fault) or whose largest ratio is over 1.5 times
  its smallest is shown as noise, and its goal is not taken as met: rerun it
  on an idle machine;
- the read and write calls of one run of each program and of the floor
  (strace -c, when strace is installed);
- the median processor time in seconds of each program and of the floor;
- peak memory in bytes a pixel beyond 8 MiB (the process's code, libraries and
  stdio buffers; the largest of the runs);
- ondafwd against the numpy script a user might write instead (8-bit, first
  channel only), at the sides up to 4096^2;
- the instructions a pixel of each program at 2048^2, 8-bit, counted by
  valgrind (deterministic), on the project's picture (its palette in index
  order) and on the same picture reduced to 200 greys by ImageMagick, whose
  palette is then in another order (when `convert` is installed);
- with --largest, one run of each program on the largest grey picture the
  image model holds (46,340^2, 2 GiB; about 6 GiB of disk for it and two
  outputs) under a 20 GiB address-space limit: ondafwd transforms it, ondainv
  inverts ondafwd's output, ondasplit splits it.

Then the goals, each marked ok or MISSED; the exit status is 1 when one is
missed. With --baseline DIR (another build folder, e.g. one of the commit
before a change) that build's programs run in the same rounds against the
same floor runs and every figure is shown beside the new one; with --largest
the baseline's programs run on the largest picture under the same limit, to
show whether they are refused.

With --plot [PNG] it also draws the figures in docs/scaling.png (needs
matplotlib: Debian's python3-matplotlib): processor time and peak memory
against picture size, and the ratio to the floor with its range.

Every run goes through onda_measure (bench/measure.cpp), which times it and
takes its peak memory. On a machine shared with other work, one run can be
off by a factor of several (the kernel's zeroing of freshly touched pages and
its clock-tick charging of processor time vary); the medians of the rounds'
ratios are what to compare, and the ranges show how noisy the session was.

usage: run.py [BUILD_DIR] [--baseline DIR] [--pairs N] [--quick] [--largest]
              [--sides S ...] [--plot [PNG]]
BUILD_DIR defaults to build-bench, where bench/run.sh builds. The default run
(11 rounds, the three sides, the counts) takes about ten minutes on two busy
cores, a baseline nearly doubles it; --quick (2048^2, no counts) about a
minute; --largest adds a few minutes.
"""
import argparse
import io
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROGRAMS = ("ondafwd", "ondainv", "ondasplit")
DEPTHS = {8: "grey", 24: "colour"}
MIB = 1 << 20
GIB = 1 << 30

SIDES = (2048, 4096, 8192)
QUICK_SIDES = (2048,)
# The side at which the time and memory goals hold.
TARGET_SIDE = 8192
# Processor time (user + system) against the read-and-write floor, by depth.
FLOOR_TARGETS = {8: 2.0, 24: 2.6}
# Peak memory in bytes a pixel beyond FIXED_BYTES, by depth: the picture in
# and the picture out, and a few rows.
MEMORY_TARGETS = {8: 2.1, 24: 6.1}
FIXED_BYTES = 8 * MIB
# Instructions a pixel at COUNT_SIDE^2, 8-bit, by the picture's writer: the
# project's (the palette in index order) and ImageMagick (another order).
COUNT_SIDE = 2048
PROJECT, IMAGEMAGICK = "the project's writer", "ImageMagick, 200 greys"
COUNT_TARGETS = {PROJECT: {"ondafwd": 12, "ondainv": 11, "ondasplit": 16},
                 IMAGEMAGICK: {"ondafwd": 15, "ondainv": 14, "ondasplit": 20}}
# A set of rounds is noise when a ratio is below this (faster than the floor)
# or its largest is over NOISE_SPREAD times its smallest.
NOISE_BELOW = 1.0
NOISE_SPREAD = 1.5
# ondafwd's processor time against the numpy script, 8-bit, by side.
NUMPY_TARGETS = {2048: 0.30, 4096: 0.35}
# The largest square grey picture the image model holds (its pixel count
# fits in a signed 32-bit int), and the address-space limit it runs under.
LARGEST_SIDE = 46340
LARGEST_LIMIT = 20 * GIB
NEW, TODAY = "new", "today"


def limited(limit):
    """A preexec_fn that caps the child's address space at limit bytes."""
    if limit is None:
        return None
    return lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit))


class Run:
    """One finished run of a command through onda_measure: wall time, user
    time, system time in seconds, peak memory in bytes, exit status."""

    def __init__(self, measure, command, limit=None, check=True):
        result = subprocess.run([measure] + command, stdout=subprocess.PIPE, text=True,
                                preexec_fn=limited(limit))
        self.status = result.returncode
        if check and result.returncode != 0:
            sys.exit("failed: " + " ".join(command))
        wall, user, system, kib = result.stdout.split()
        self.wall = float(wall)
        self.user = float(user)
        self.system = float(system)
        self.cpu = self.user + self.system
        self.rss = int(kib) * 1024


class Spread:
    def __init__(self, values):
        self.median = statistics.median(values)
        self.low = min(values)
        self.high = max(values)

    def __str__(self):
        return f"{self.median:.2f} ({self.low:.2f}–{self.high:.2f})"

    def noisy(self):
        """True for ratios to the floor that are no figure: one below the
        floor, or a range wider than NOISE_SPREAD."""
        return self.low < NOISE_BELOW or self.high > NOISE_SPREAD * self.low

    def ratio(self):
        return f"noise: {self}" if self.noisy() else str(self)


class Rounds:
    """Every command against one reference in alternating rounds: per command,
    the spread of its processor time over the reference's of the same round,
    the spread of its own processor time, and its largest peak memory."""

    def __init__(self, measure, reference, commands, rounds):
        every = [("reference", reference)] + list(commands.items())
        for _, command in every:
            Run(measure, command)  # warm the file cache and the binaries
        times = {key: [] for key, _ in every}
        ratios = {key: [] for key in commands}
        self.rss = {key: 0 for key, _ in every}
        for i in range(rounds):
            runs = {}
            for key, command in every if i % 2 == 0 else reversed(every):
                runs[key] = Run(measure, command)
            for key, run in runs.items():
                times[key].append(run.cpu)
                self.rss[key] = max(self.rss[key], run.rss)
                if key != "reference":
                    ratios[key].append(run.cpu / max(runs["reference"].cpu, 1e-3))
        self.time = {key: Spread(values) for key, values in times.items()}
        self.ratio = {key: Spread(values) for key, values in ratios.items()}


def table(head, rows):
    print("| " + " | ".join(head) + " |")
    print("|---" * len(head) + "|")
    for row in rows:
        print("| " + " | ".join(row) + " |")
    print()


def system_calls(command):
    """The read and write calls of one run of the command, counted by strace."""
    out = tempfile.NamedTemporaryFile(suffix=".strace", delete=False).name
    subprocess.run(["strace", "-c", "-e", "trace=read,write", "-o", out] + command,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    calls = {"read": 0, "write": 0}
    with open(out) as report:
        for line in report:
            parts = line.split()
            if len(parts) >= 5 and parts[-1] in calls:
                calls[parts[-1]] = int(parts[3])
    os.unlink(out)
    return calls


def cachegrind(command):
    """The instructions a run of the command executes, counted by valgrind."""
    out = tempfile.NamedTemporaryFile(suffix=".cg", delete=False).name
    result = subprocess.run(
        ["valgrind", "--tool=cachegrind", "--cache-sim=no", "--cachegrind-out-file=" + out] + command,
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    os.unlink(out)
    for line in result.stderr.splitlines():
        parts = line.split()
        if "refs:" in parts and parts[1] == "I":
            return int(parts[3].replace(",", ""))
    sys.exit("valgrind gave no instruction count: " + " ".join(command))


def has_modules(python, *modules):
    """True when that Python imports every one of the modules."""
    return subprocess.run([python, "-c", "import " + ", ".join(modules)],
                          capture_output=True).returncode == 0


class Bench:
    """The built programs (new and, with a baseline, today's), the helpers, the
    peer script and a scratch folder."""

    def __init__(self, args, work):
        self.builds = {NEW: args.build}
        if args.baseline:
            self.builds[TODAY] = args.baseline
        self.program = {(build, name): os.path.join(folder, "tools", name, name)
                        for build, folder in self.builds.items() for name in PROGRAMS}
        helpers = os.path.join(args.build, "bench")
        self.maker = os.path.join(helpers, "onda_make_picture")
        self.floor_program = os.path.join(helpers, "onda_copy_floor")
        self.measure = os.path.join(helpers, "onda_measure")
        missing = [path for path in list(self.program.values())
                   + [self.maker, self.floor_program, self.measure]
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

    def run(self, key, picture, out=None):
        return [self.program[key], picture, out or self.out, "2"]

    def floor(self, picture, out=None):
        return [self.floor_program, picture, out or self.out]

    def peer(self, picture):
        return [self.python, self.peer_script, picture, os.path.join(self.work, "peer.bmp"), "2"]

    def keys(self):
        return [(build, name) for build in self.builds for name in PROGRAMS]


class Goals:
    """Goal lines, each marked ok or MISSED."""

    def __init__(self):
        self.lines = []
        self.missed = 0

    def check(self, text, value, limit, fmt="{:.2f}", noise=False):
        shown = fmt.format(value)
        met = float(shown) <= limit and not noise
        self.missed += 0 if met else 1
        verdict = "NOISE, rerun on an idle machine" if noise else "ok" if met else "MISSED"
        self.lines.append(f"- {text}: {shown} ≤ {limit:g} {verdict}")

    def fact(self, text, met):
        self.missed += 0 if met else 1
        self.lines.append(f"- {text}: {'ok' if met else 'MISSED'}")


def cells(bench, values):
    """One cell per program and build, new first: the figure for that key."""
    return [values.get((build, name), "") for name in PROGRAMS for build in bench.builds]


def heads(bench):
    return [f"`{name}`" + ("" if build == NEW else " today") for name in PROGRAMS
            for build in bench.builds]


def bytes_a_pixel(rss, side):
    return (rss - FIXED_BYTES) / (side * side)


def measure_sides(bench, sides, goals):
    """The rounds against the floor at every side and depth; prints the tables
    and returns the rounds by (side, depth) for the figure."""
    measured = {}
    calls = {}
    for side in sides:
        for depth in DEPTHS:
            picture = bench.picture(side, depth)
            commands = {key: bench.run(key, picture) for key in bench.keys()}
            measured[side, depth] = Rounds(bench.measure, bench.floor(picture), commands,
                                           bench.pairs)
            if shutil.which("strace"):
                counted = {key: system_calls(command) for key, command in commands.items()}
                counted["reference"] = system_calls(bench.floor(picture))
                calls[side, depth] = counted
            print(f"  measured {side}², {DEPTHS[depth]}", file=sys.stderr, flush=True)
        for depth in DEPTHS:
            os.unlink(bench.picture(side, depth))

    print(f"Processor time (user + system) against the read-and-write floor: median of"
          f" {bench.pairs} rounds (min–max), 2 levels; \"noise\": a ratio below"
          f" {NOISE_BELOW:g} or a maximum over {NOISE_SPREAD:g} times the minimum")
    print()
    table(["picture"] + heads(bench),
          [[f"{side}², {DEPTHS[depth]}"]
           + cells(bench, {k: s.ratio() for k, s in r.ratio.items()})
           for (side, depth), r in measured.items()])
    if calls:
        print("Read and write calls of one run (strace -c)")
        print()
        table(["picture", "floor"] + heads(bench),
              [[f"{side}², {DEPTHS[depth]}", "{read} + {write}".format(**c["reference"])]
               + cells(bench, {k: "{read} + {write}".format(**v) for k, v in c.items()})
               for (side, depth), c in calls.items()])
    else:
        print("(read and write calls not counted: apt-get install strace)\n")
    print("Median processor time in seconds (user + system)")
    print()
    table(["picture", "floor"] + heads(bench),
          [[f"{side}², {DEPTHS[depth]}", f"{r.time['reference'].median:.3f}"]
           + cells(bench, {k: f"{s.median:.3f}" for k, s in r.time.items()})
           for (side, depth), r in measured.items()])
    print(f"Peak memory in bytes a pixel beyond {FIXED_BYTES // MIB} MiB (largest of the runs)")
    print()
    table(["picture", "floor"] + heads(bench),
          [[f"{side}², {DEPTHS[depth]}", f"{bytes_a_pixel(r.rss['reference'], side):.2f}"]
           + cells(bench, {k: f"{bytes_a_pixel(v, side):.2f}" for k, v in r.rss.items()})
           for (side, depth), r in measured.items()])

    for depth in DEPTHS:
        if (TARGET_SIDE, depth) not in measured:
            continue
        r = measured[TARGET_SIDE, depth]
        for name in PROGRAMS:
            goals.check(f"`{name}` processor time / floor, {TARGET_SIDE}², {DEPTHS[depth]}",
                        r.ratio[NEW, name].median, FLOOR_TARGETS[depth],
                        noise=r.ratio[NEW, name].noisy())
        for name in PROGRAMS:
            goals.check(f"`{name}` peak memory, bytes a pixel beyond 8 MiB, {TARGET_SIDE}²,"
                        f" {DEPTHS[depth]}", bytes_a_pixel(r.rss[NEW, name], TARGET_SIDE),
                        MEMORY_TARGETS[depth])
    return measured


def against_numpy(bench, sides, goals):
    sides = [side for side in sides if side in NUMPY_TARGETS]
    if not bench.have_peer or not sides:
        if not bench.have_peer:
            print(f"(numpy script skipped: needs {bench.python} with numpy and PIL:"
                  " apt-get install python3-numpy python3-pil)\n")
        return
    rows = []
    for side in sides:
        picture = bench.picture(side, 8)
        commands = {(build, "ondafwd"): bench.run((build, "ondafwd"), picture)
                    for build in bench.builds}
        r = Rounds(bench.measure, bench.peer(picture), commands, bench.pairs)
        rows.append([f"{side}², grey", f"{r.time['reference'].median:.3f}"]
                    + [str(r.ratio[build, "ondafwd"]) for build in bench.builds])
        goals.check(f"`ondafwd` processor time / numpy script, {side}², grey",
                    r.ratio[NEW, "ondafwd"].median, NUMPY_TARGETS[side])
        os.unlink(picture)
    print(f"`ondafwd` against the numpy script (first channel), processor time: median of"
          f" {bench.pairs} rounds (min–max)")
    print()
    table(["picture", "script s"] + ["`ondafwd`" + ("" if b == NEW else " today")
                                     for b in bench.builds], rows)


def counts(bench, goals):
    if not shutil.which("valgrind"):
        print("(valgrind counts skipped: apt-get install valgrind)\n")
        return
    pixels = COUNT_SIDE * COUNT_SIDE
    pictures = {PROJECT: bench.picture(COUNT_SIDE, 8)}
    if shutil.which("convert"):
        # Its palette of a picture with every grey is in index order; with
        # fewer greys it is in another, which the reader looks up pixel by pixel.
        written = os.path.join(bench.work, "imagemagick.bmp")
        subprocess.run(["convert", pictures[PROJECT], "-colors", "200", "-type", "Palette",
                        "-compress", "None", "BMP3:" + written], check=True)
        pictures[IMAGEMAGICK] = written
    rows = []
    for writer, picture in pictures.items():
        per_pixel = {key: cachegrind(bench.run(key, picture)) / pixels for key in bench.keys()}
        rows.append([f"{COUNT_SIDE}², grey, written by {writer}"]
                    + cells(bench, {k: f"{v:.1f}" for k, v in per_pixel.items()}))
        for name in PROGRAMS:
            goals.check(f"`{name}` instructions a pixel, {COUNT_SIDE}², grey, written by {writer}",
                        per_pixel[NEW, name], COUNT_TARGETS[writer][name], fmt="{:.1f}")
    if IMAGEMAGICK not in pictures:
        rows.append(["(ImageMagick's `convert` is not installed)"] + [""] * len(bench.keys()))
    print("Instructions a pixel (valgrind), 2 levels")
    print()
    table(["picture"] + heads(bench), rows)


def largest(bench, goals):
    """Each program once on the largest grey picture, under the address-space
    limit; the baseline's programs too, to show they are refused."""
    side = LARGEST_SIDE
    picture = bench.picture(side, 8)
    forward = os.path.join(bench.work, "largest-forward.bmp")
    inputs = {"ondafwd": (picture, forward), "ondainv": (forward, bench.out),
              "ondasplit": (picture, bench.out)}
    rows = []
    floor = Run(bench.measure, bench.floor(picture), LARGEST_LIMIT)
    for name in PROGRAMS:
        source, out = inputs[name]
        run = Run(bench.measure, bench.run((NEW, name), source, out), LARGEST_LIMIT, check=False)
        goals.fact(f"`{name}` runs on {side}², grey, under {LARGEST_LIMIT // GIB} GiB of address"
                   " space", run.status == 0)
        rows.append([f"`{name}`", "done" if run.status == 0 else f"failed ({run.status})",
                     f"{run.wall:.1f}", f"{run.cpu:.1f}", f"{run.cpu / floor.cpu:.2f}",
                     f"{run.rss / GIB:.2f}", f"{bytes_a_pixel(run.rss, side):.2f}"])
    rows.append(["floor", "done", f"{floor.wall:.1f}", f"{floor.cpu:.1f}", "1",
                 f"{floor.rss / GIB:.2f}", f"{bytes_a_pixel(floor.rss, side):.2f}"])
    print(f"The largest grey picture, {side}² ({side * side / GIB:.2f} GiB), 2 levels, one run"
          f" each under a {LARGEST_LIMIT // GIB} GiB address-space limit (`ondainv` inverts"
          " `ondafwd`'s output)")
    print()
    table(["program", "", "wall s", "user + system s", "/ floor", "peak GiB",
           "bytes a pixel beyond 8 MiB"], rows)
    if TODAY in bench.builds:
        print("Today's build on the same picture, under the same limit:")
        print()
        for name in PROGRAMS:
            source = picture if name != "ondainv" else forward
            result = subprocess.run(bench.run((TODAY, name), source), capture_output=True,
                                    text=True, errors="replace",
                                    preexec_fn=limited(LARGEST_LIMIT))
            # What it says of memory, but for the line that gives the size it wants.
            said = [line.strip() for text in (result.stdout, result.stderr)
                    for line in text.splitlines() if "emory" in line and "size" not in line
                    or "no memory" in line]
            print(f"- `{name}`: exit status {result.returncode}"
                  + "".join(f"; “{line}”" for line in said))
        print()
    for path in (picture, forward, bench.out):
        if os.path.exists(path):
            os.unlink(path)


def plot(bench, measured, png):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.lines import Line2D
    from matplotlib.ticker import FuncFormatter, NullLocator

    sides = sorted({side for side, _ in measured})
    pixels = [side * side for side in sides]
    markers = {"ondafwd": "o", "ondainv": "s", "ondasplit": "^"}
    colours = {8: "tab:blue", 24: "tab:red"}
    styles = {NEW: "-", TODAY: "--"}
    figure, panels = plt.subplots(1, 3, figsize=(13, 4.2))
    time_axes, memory_axes, ratio_axes = panels
    for depth in DEPTHS:
        rounds = [measured[side, depth] for side in sides]
        for axes, values in ((time_axes, [r.time["reference"].median for r in rounds]),
                             (memory_axes, [r.rss["reference"] / MIB for r in rounds])):
            axes.plot(pixels, values, ":", color=colours[depth], linewidth=2)
        for build, name in bench.keys():
            key = (build, name)
            style = dict(marker=markers[name], linestyle=styles[build], color=colours[depth],
                         markersize=5, linewidth=1.2,
                         markerfacecolor="none" if build == TODAY else colours[depth])
            time_axes.plot(pixels, [r.time[key].median for r in rounds], **style)
            memory_axes.plot(pixels, [r.rss[key] / MIB for r in rounds], **style)
            medians = [r.ratio[key].median for r in rounds]
            # Side by side, so that the ranges of one side do not hide each other.
            shift = 1.1 ** (PROGRAMS.index(name) - 1 + (3 if build == TODAY else 0))
            ratio_axes.errorbar([p * shift for p in pixels], medians,
                                yerr=[[m - r.ratio[key].low for m, r in zip(medians, rounds)],
                                      [r.ratio[key].high - m for m, r in zip(medians, rounds)]],
                                capsize=2, elinewidth=0.7, **style)
    for depth, colour in colours.items():
        ratio_axes.axhline(FLOOR_TARGETS[depth], color=colour, linewidth=0.8, alpha=0.6)
    ratio_axes.axhline(1, color="black", linestyle=":", linewidth=2)
    for axes, label in ((time_axes, "processor time, user + system (s)"),
                        (memory_axes, "peak memory (MiB)"),
                        (ratio_axes, "processor time / floor (median, range)")):
        axes.set_xscale("log")
        axes.set_yscale("log")
        axes.xaxis.set_minor_locator(NullLocator())
        axes.set_xticks(pixels)
        axes.set_xticklabels([f"{side}²" for side in sides])
        axes.yaxis.set_major_formatter(FuncFormatter(lambda value, _: f"{value:g}"))
        axes.set_xlabel("picture size (two levels)")
        axes.set_ylabel(label)
        axes.grid(True, which="major", linewidth=0.4, alpha=0.5)
    ratio_axes.yaxis.set_minor_locator(NullLocator())
    ratio_axes.set_yticks([0.5, 1, 1.5, 2, 3, 5, 10, 20, 30])
    handles = [Line2D([], [], marker=markers[name], linestyle="", color="dimgray", label=name)
               for name in PROGRAMS]
    handles.append(Line2D([], [], linestyle=":", linewidth=2, color="dimgray",
                          label="read-and-write floor"))
    handles += [Line2D([], [], color=colours[depth], label=f"{bits}-bit {DEPTHS[depth]}")
                for depth, bits in ((8, 8), (24, 24))]
    if TODAY in bench.builds:
        handles += [Line2D([], [], linestyle=styles[b], color="dimgray", label=label)
                    for b, label in ((NEW, "this build"), (TODAY, "the baseline"))]
    handles.append(Line2D([], [], color="gray", linewidth=0.8, label="goal (ratio panel)"))
    figure.legend(handles=handles, loc="lower center", ncol=len(handles), fontsize="small",
                  frameon=False)
    figure.suptitle(f"Whole runs against picture size: medians of {bench.pairs} rounds",
                    fontsize="medium")
    figure.tight_layout(rect=(0, 0.07, 1, 1))
    drawn = io.BytesIO()
    figure.savefig(drawn, format="png", dpi=100)
    try:
        from PIL import Image
        # A few dozen colours draw lines and text alike and keep the file small.
        drawn.seek(0)
        Image.open(drawn).convert("RGB").quantize(colors=64).save(png, optimize=True)
    except ImportError:
        with open(png, "wb") as file:
            file.write(drawn.getvalue())
    print(f"wrote {png} ({os.path.getsize(png) // 1024} KiB)")


def load():
    """The system's load averages: how idle the machine was."""
    if not hasattr(os, "getloadavg"):
        return "unknown"
    one, five, fifteen = os.getloadavg()
    return f"load average {one:.2f} (1 min), {five:.2f} (5 min), {fifteen:.2f} (15 min)"


def machine():
    """The processor, its count, and the load before the runs."""
    model = "unknown processor"
    try:
        with open("/proc/cpuinfo") as info:
            model = next(line.split(":", 1)[1].strip() for line in info
                         if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    return f"{model}, {os.cpu_count()} processors; {load()}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build-bench"))
    parser.add_argument("--baseline", metavar="DIR",
                        help="another build folder, measured beside BUILD_DIR")
    parser.add_argument("--pairs", type=int, default=11, help="rounds per picture (at least 11)")
    parser.add_argument("--peer", default=os.path.join(ROOT, "bench", "haar_numpy.py"))
    parser.add_argument("--python", default="/usr/bin/python3")
    parser.add_argument("--quick", action="store_true", help="2048^2 only, no valgrind counts")
    parser.add_argument("--sides", type=int, nargs="+", help="the sides to time instead")
    parser.add_argument("--largest", action="store_true",
                        help=f"also run the {LARGEST_SIDE}^2 grey picture")
    parser.add_argument("--plot", nargs="?", const=os.path.join(ROOT, "docs", "scaling.png"),
                        help="also draw the figure (default docs/scaling.png)")
    args = parser.parse_args()
    if args.plot and not has_modules(sys.executable, "matplotlib"):
        # Debian's packages go to the system's Python, which may not be the one running.
        if os.path.realpath(args.python) != os.path.realpath(sys.executable) and has_modules(
                args.python, "matplotlib"):
            os.execv(args.python, [args.python, os.path.abspath(__file__)] + sys.argv[1:])
        sys.exit(f"--plot needs matplotlib in {sys.executable} or {args.python}:"
                 " apt-get install python3-matplotlib")
    if args.plot:
        args.plot = os.path.abspath(args.plot)
    sides = args.sides or (QUICK_SIDES if args.quick else SIDES)

    work = tempfile.mkdtemp(prefix="onda-bench-")
    try:
        bench = Bench(args, work)
        goals = Goals()
        builds = " and ".join(f"{b} ({f})" for b, f in bench.builds.items())
        print(f"Builds: {builds}\n")
        print(f"Machine: {machine()}\n")
        measured = measure_sides(bench, sides, goals)
        against_numpy(bench, sides, goals)
        if not args.quick:
            counts(bench, goals)
        if args.plot:
            plot(bench, measured, args.plot)
        if args.largest:
            largest(bench, goals)
        print(f"Load at the end: {load()}\n")
        print("Goals:")
        print("\n".join(goals.lines))
        print("All goals met." if goals.missed == 0 else f"{goals.missed} goal(s) missed.")
        return 1 if goals.missed else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
