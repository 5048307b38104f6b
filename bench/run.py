#!/usr/bin/env python3
"""Benchmarks the compiler on generated songs against the I/O floor.

For each song size it prints the median wall time of several compiles, the
peak resident memory, notes per second, the output size, and the I/O floor:
the median time to read the same input and write an output of the same size
with a plain buffered loop (bench/io_floor.cpp), measured in the same run.
"""
import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def timed(cmd, cwd):
    """Runs cmd; returns (seconds, peak RSS in MiB, exit status)."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    return elapsed, usage.ru_maxrss / 1024.0, os.waitstatus_to_exitcode(status)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"),
                        help="build folder holding tuvommlc and io_floor")
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--tracks", type=int, default=4)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    program = os.path.abspath(os.path.join(args.build, "tuvommlc"))
    floor = os.path.abspath(os.path.join(args.build, "io_floor"))
    print("| notes | tracks | input | output | wall (median) | I/O floor | ratio | peak RSS | notes/s |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory(prefix="tuvo-bench-") as work:
        for size in (int(s) for s in args.sizes.split(",")):
            song = os.path.join(work, "song.mml")
            subprocess.run([sys.executable, os.path.join(HERE, "gen_song.py"), "--notes", str(size),
                            "--tracks", str(args.tracks), "--seed", str(args.seed), "-o", song],
                           check=True)
            walls, peaks = [], []
            for _ in range(args.runs):
                wall, peak, status = timed([program, song], work)
                if status != 0:
                    sys.exit("the compiler failed on the %d-note song" % size)
                walls.append(wall)
                peaks.append(peak)
            out_size = os.path.getsize(os.path.join(work, "song.vsq"))
            floors = [timed([floor, song, os.path.join(work, "floor.out"), str(out_size)], work)[0]
                      for _ in range(args.runs)]
            wall, io = statistics.median(walls), statistics.median(floors)
            print("| %d | %d | %.1f MB | %.1f MB | %.3f s | %.3f s | %.2f | %.0f MB | %.0f |" % (
                size, args.tracks, os.path.getsize(song) / 1e6, out_size / 1e6, wall, io,
                wall / io if io > 0 else float("inf"), max(peaks), size / wall))


if __name__ == "__main__":
    main()
