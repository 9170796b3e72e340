#!/usr/bin/env python3
"""Throughput of many pictures at once: the README's one-liners over a folder.

Fills a folder with copies of the two sample photographs (512 x 512, one grey
and one colour, half of the pictures each), then runs the README's xargs
one-liner over it with one process at a time and with one per core, in
alternating pairs, and prints the median pictures per second of each and
their ratio. GNU parallel's one-liner runs too where parallel is installed.
Each run writes every output afresh into a folder of its own beside the
pictures. Wall time is the measure here: the point is how soon the folder is
done. The load average before and after says how busy the machine was.

usage: many_pictures.py BUILD_DIR [--pictures N] [--pairs N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = [os.path.join(HERE, "..", "samples", name) for name in ("camera.bmp", "astronaut.bmp")]

# The README's one-liners, run in the folder that holds photos/; JOBS is the
# number of processes at once.
XARGS = ("mkdir -p fwd && find photos -maxdepth 1 -name '*.bmp' -print0 |"
         " xargs -0 -n 1 -P JOBS sh -c 'ondafwd \"$1\" \"fwd/${1##*/}\" 2 >/dev/null' sh")
PARALLEL = ("mkdir -p fwd && find photos -maxdepth 1 -name '*.bmp' -print0 |"
            " parallel -0 -j JOBS --will-cite 'ondafwd {} fwd/{/} 2 >/dev/null'")


def timed(command, jobs, work, environment):
    """Seconds the one-liner takes with `jobs` processes, from an empty fwd/."""
    shutil.rmtree(os.path.join(work, "fwd"), ignore_errors=True)
    start = time.perf_counter()
    subprocess.run(["sh", "-c", command.replace("JOBS", str(jobs))], cwd=work, env=environment,
                   check=True)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", help="build folder with tools/ondafwd/ondafwd")
    parser.add_argument("--pictures", type=int, default=200)
    parser.add_argument("--pairs", type=int, default=7)
    args = parser.parse_args()
    program = os.path.join(os.path.abspath(args.build), "tools", "ondafwd")
    if not os.access(os.path.join(program, "ondafwd"), os.X_OK):
        sys.exit(f"no ondafwd in {program}: build it first")
    environment = dict(os.environ, PATH=program + os.pathsep + os.environ["PATH"])
    cores = os.cpu_count() or 1
    work = tempfile.mkdtemp(prefix="onda-many-")
    try:
        os.mkdir(os.path.join(work, "photos"))
        for i in range(args.pictures):
            shutil.copy(SAMPLES[i % 2], os.path.join(work, "photos", f"p{i:04d}.bmp"))
        print(f"{args.pictures} pictures of 512x512, {cores} cores, load average "
              f"{os.getloadavg()[0]:.2f}; {args.pairs} alternating pairs")
        commands = [("xargs", XARGS)]
        if shutil.which("parallel"):
            commands.append(("parallel", PARALLEL))
        for name, command in commands:
            timed(command, cores, work, environment)  # warms the file cache
            times = {1: [], cores: []}
            for pair in range(args.pairs):
                for jobs in ([1, cores] if pair % 2 == 0 else [cores, 1]):
                    times[jobs].append(timed(command, jobs, work, environment))
            written = len(os.listdir(os.path.join(work, "fwd")))
            if written != args.pictures:
                sys.exit(f"{name}: {written} outputs for {args.pictures} pictures")
            rates = {jobs: args.pictures / statistics.median(t) for jobs, t in times.items()}
            ratios = [one / many for one, many in zip(times[1], times[cores])]
            print(f"{name}: 1 process at a time {rates[1]:.0f} pictures/s, {cores} at a time "
                  f"{rates[cores]:.0f} pictures/s; speed-up median {statistics.median(ratios):.2f} "
                  f"(pairs {min(ratios):.2f} to {max(ratios):.2f})")
        print(f"load average after: {os.getloadavg()[0]:.2f}")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
