#!/usr/bin/env python3
"""Benchmarks the compiler on generated songs against the I/O floor.

For each song size it prints the median wall time of several compiles, their
median CPU time, the peak resident memory, notes per second, the size of what
the compiler wrote (the VSQ file and the conversion log), and the I/O floor:
the median time to read the same input and write files of the same sizes with
plain buffered loops (bench/io_floor.cpp). Compiles and floor runs alternate,
so both see the same load on the machine; the files of the previous run are
removed before each timed run, so neither pays for freeing them.

The first compile of every song must print no diagnostic: the generated songs
are meant to be valid, and a song with errors would measure the wrong thing.
After the table, each step between sizes is summed up: how much the time grew,
also above the fixed cost of a run (starting the program and loading the
dictionary, measured on a song of one bar per track), and how much memory each
added note cost.

With --all-outputs, songs of the sizes given are compiled as often again with
every output the program writes (the VSQ file and its log, -m, -x, -s and -t),
compiles of every output alternating with compiles of the VSQ file alone, and
their medians and peak memory are printed side by side; then, once each, the
short sources that expand into the most output (SMALL_SOURCES: a loop of
forty bytes writes some 4.5 GB), the same way. A run writing every output
must stay within MEMORY_BOUND times the peak of the VSQ file alone, and a run
that wrote in two lanes within LANE_ALLOWANCE_MB more; a row beyond its bound
is marked.

With --sung-preview, songs of the sizes given are compiled with the sung
preview (-a) and the seconds of audio made per second of processor time are
printed with the peak memory.

With --long-lines, sources of one long line of the sizes given (a lyric string,
a run of notes) are compiled once each, and their peak memory is printed beside
the budget of four bytes a source byte and 64 MB.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
import wave

HERE = os.path.dirname(os.path.abspath(__file__))


# A child started from Python counts Python's own memory in its peak until it
# executes the program, which would hide the peak of small runs; GNU time starts
# the program from a process of its own and reports the program's peak alone.
GNU_TIME = "/usr/bin/time"


def timed(cmd, cwd, stdout=subprocess.DEVNULL, stderr=None):
    """Runs cmd; returns (wall seconds, CPU seconds, peak RSS in MiB, exit status)."""
    peak_file = os.path.join(cwd, ".peak")
    if os.access(GNU_TIME, os.X_OK):
        cmd = [GNU_TIME, "-q", "-f", "%M", "-o", peak_file] + cmd
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=stdout, stderr=stderr)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    peak = usage.ru_maxrss / 1024.0
    if os.path.exists(peak_file):
        with open(peak_file) as f:
            peak = int(f.read().split()[-1]) / 1024.0
        os.remove(peak_file)
    return elapsed, usage.ru_utime + usage.ru_stime, peak, os.waitstatus_to_exitcode(status)


class OtherLoad:
    """How busy the machine was with other work while the benchmark ran: the processor time
    of every process (from /proc/stat) less this script's and its children's, over the wall
    time, in processors kept busy on average."""

    def __init__(self):
        self.start = (time.perf_counter(), self.busy(), self.own())

    @staticmethod
    def busy():
        with open("/proc/stat") as f:
            fields = [int(v) for v in f.readline().split()[1:]]
        idle = fields[3] + (fields[4] if len(fields) > 4 else 0)
        return (sum(fields[:8]) - idle) / os.sysconf("SC_CLK_TCK")

    @staticmethod
    def own():
        times = os.times()
        return times.user + times.system + times.children_user + times.children_system

    def summary(self):
        wall = time.perf_counter() - self.start[0]
        others = (self.busy() - self.start[1]) - (self.own() - self.start[2])
        return ("Load of other processes during the run: %.2f of %d processors busy on average "
                "(1-minute load average at the end %.2f)" % (
                    max(others, 0.0) / wall, os.cpu_count(), os.getloadavg()[0]))


def remove(*paths):
    for path in paths:
        if os.path.exists(path):
            os.remove(path)


def diagnostics(printed):
    """The diagnostic lines of the compiler's output (code page 932 text)."""
    lines = printed.decode("cp932", errors="replace").splitlines()
    return [line for line in lines if line.startswith(("ERROR", "WARN"))]


def measure(args, program, floor, work, size):
    song = os.path.join(work, "song.mml")
    vsq = os.path.join(work, "song.vsq")
    log = os.path.join(work, "vsqconvert.log")
    floor_vsq = os.path.join(work, "floor.vsq")
    floor_log = os.path.join(work, "floor.log")
    subprocess.run([sys.executable, os.path.join(HERE, "gen_song.py"), "--notes", str(size),
                    "--tracks", str(args.tracks), "--seed", str(args.seed), "-o", song],
                   check=True)

    # The same song ending in a line the compiler rejects: the whole front end runs (dictionary,
    # source, compile) and nothing is written, as in the language server's check of a buffer.
    checked = os.path.join(work, "checked.mml")
    with open(song, "rb") as f, open(checked, "wb") as out:
        out.write(f.read() + CHECK_ONLY_TAIL)

    walls, cpus, peaks, floors, checks = [], [], [], [], []
    for run in range(args.runs):
        remove(vsq, log)
        printed = os.path.join(work, "printed.txt")
        with open(printed, "wb") as out:
            wall, cpu, peak, status = timed([program, song], work, stdout=out)
        with open(printed, "rb") as f:
            text = f.read()
        if status != 0 or (run == 0 and diagnostics(text)):
            sys.stdout.write(text.decode("cp932", errors="replace"))
            sys.exit("the %d-note song did not compile cleanly" % size)
        walls.append(wall)
        cpus.append(cpu)
        peaks.append(peak)

        sizes = (os.path.getsize(vsq), os.path.getsize(log))
        remove(floor_vsq, floor_log)
        io, _, _, status = timed([floor, song, floor_vsq, str(sizes[0]), floor_log, str(sizes[1])],
                                 work)
        if status != 0:
            sys.exit("the I/O floor program failed")
        floors.append(io)

        check, _, _, status = timed([program, checked], work, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        if status != 1:
            sys.exit("the check-only compile of the %d-note song did not fail as meant" % size)
        checks.append(check)
    remove(vsq, log, floor_vsq, floor_log, checked)
    return {
        "size": size, "input": os.path.getsize(song), "vsq": sizes[0], "log": sizes[1],
        "wall": statistics.median(walls), "cpu": statistics.median(cpus),
        "floor": statistics.median(floors), "peak": max(peaks),
        "check": statistics.median(checks),
    }


# One source line of a single kind, as hostile input brings it: a lyric string
# as long as the line (after one note), or nothing but notes. Both end in errors
# (more syllables than notes; more notes than a song may hold), after the whole
# line has been read: what is measured is the memory a line of that size costs.
LONG_LINES = {
    "lyric": lambda size: b'c"' + b"a" * (size - 4) + b'"\n',
    "notes": lambda size: b"c" * (size - 1) + b"\n",
}


# The line that ends a check-only compile: '#' starts no command.
CHECK_ONLY_TAIL = b"\n#\n"

ALL_OUTPUTS = ["-m", "song.mid", "-x", "song.musicxml", "-s", "song.ustx", "-t", "song.ust"]

# Short sources whose loops or ramps make far more events or points than their
# bytes: four million one-tick notes from one loop, and a pitch curve of
# 250 ramps across the whole bend range under one long note.
SMALL_SOURCES = {
    "40-byte loop": b"1 @VIB0 l*1 /:1000 /:999 /:4 c :/ :/ :/\n",
    "250 @PIT ramps": b"1 @PIT" + b",".join(
        b"%d,0,20000,1" % (8191 if i % 2 else -8192) for i in range(250)) + b" l*5000000 c\n",
}

# The most memory a run writing every output may take, as a multiple of the
# peak of the same song written as the VSQ file alone; a run that wrote in two
# lanes (its processor time a tenth or more above its wall time) may take
# LANE_ALLOWANCE_MB more, what the program allows its second lane.
MEMORY_BOUND = 1.2
LANE_ALLOWANCE_MB = 32


def all_outputs(program, floor, work, runs_each):
    """Medians of compiles of work/song.mml writing every output against compiles of the VSQ
    file alone, each followed by the I/O floor of the bytes it wrote."""
    song = os.path.join(work, "song.mml")
    floor_out = os.path.join(work, "floor.out")
    runs = {"vsq": [], "all": []}
    for _ in range(runs_each):
        for kind, extra in (("vsq", []), ("all", ALL_OUTPUTS)):
            for name in os.listdir(work):
                if name != "song.mml":
                    os.remove(os.path.join(work, name))
            wall, cpu, peak, status = timed([program] + extra + [song], work)
            if status != 0:
                sys.exit("%s did not compile with every output" % song)
            written = sum(os.path.getsize(os.path.join(work, name))
                          for name in os.listdir(work) if name != "song.mml")
            io, _, _, status = timed([floor, song, floor_out, str(written)], work)
            if status != 0:
                sys.exit("the I/O floor program failed")
            remove(floor_out)
            runs[kind].append((wall, cpu, peak, io, written))
    result = {}
    for kind, values in runs.items():
        result[kind] = {
            "wall": statistics.median(v[0] for v in values),
            "cpu": statistics.median(v[1] for v in values),
            "peak": max(v[2] for v in values),
            "floor": statistics.median(v[3] for v in values),
            "written": values[0][4],
        }
    for name in os.listdir(work):
        os.remove(os.path.join(work, name))
    return result


def print_all_outputs(label, r):
    alone = r["vsq"]
    for kind, outputs in (("vsq", "VSQ file and log"), ("all", "all six (-m -x -s -t)")):
        row = r[kind]
        memory = row["peak"] / alone["peak"]
        two_lanes = row["cpu"] > 1.1 * row["wall"]
        bound = MEMORY_BOUND * alone["peak"] + (LANE_ALLOWANCE_MB if two_lanes else 0)
        print("| %s | %s | %.1f MB | %.3f s | %.3f s | %.3f s | %.2f | %.0f MB | %.2f "
              "| %.2f%s |" % (
                  label, outputs, row["written"] / 1e6, row["wall"], row["cpu"], row["floor"],
                  row["wall"] / row["floor"] if row["floor"] > 0 else float("inf"), row["peak"],
                  row["cpu"] / alone["cpu"] if alone["cpu"] > 0 else 1.0, memory,
                  (" (two lanes)" if two_lanes else "") +
                  (" (beyond the bound)" if row["peak"] > bound else "")), flush=True)


def sung_preview(args, program, sizes):
    """Prints, for songs of the sizes given, the seconds of audio the sung
    preview (-a) makes per second of processor time and its peak memory."""
    print("| notes | tracks | audio | CPU (median) | audio s / CPU s | peak RSS |")
    print("|---:|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory(prefix="tuvo-bench-sung-") as work:
        song, wav = os.path.join(work, "song.mml"), os.path.join(work, "song.wav")
        for size in sizes:
            subprocess.run([sys.executable, os.path.join(HERE, "gen_song.py"), "--notes", str(size),
                            "--tracks", str(args.tracks), "--seed", str(args.seed), "-o", song],
                           check=True)
            runs = []
            for _ in range(args.runs):
                remove(wav)
                _, cpu, peak, status = timed([program, "-a", wav, song], work)
                if status != 0:
                    sys.exit("the %d-note song did not compile with -a" % size)
                runs.append((cpu, peak))
            with wave.open(wav) as w:
                audio = w.getnframes() / w.getframerate()
            cpu = statistics.median(r[0] for r in runs)
            print("| %d | %d | %.1f s | %.2f s | %.1f | %.0f MB |" % (
                size, args.tracks, audio, cpu, audio / cpu, max(r[1] for r in runs)), flush=True)


def long_lines(program, sizes_mb):
    """Prints the peak memory of sources of one long line against 4 bytes a source byte + 64 MB."""
    print("| source line | input | wall | peak RSS | 4 x input + 64 MB |")
    print("|---|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory(prefix="tuvo-bench-line-") as work:
        song = os.path.join(work, "song.mml")
        for kind, make in LONG_LINES.items():
            for size_mb in sizes_mb:
                size = size_mb * 1000 * 1000
                with open(song, "wb") as f:
                    f.write(make(size))
                wall, _, peak, _ = timed([program, song], work)
                print("| %s | %d MB | %.2f s | %.0f MB | %.0f MB |" % (
                    kind, size_mb, wall, peak, (4 * size) / 1048576 + 64), flush=True)
                remove(song, os.path.join(work, "song.vsq"), os.path.join(work, "vsqconvert.log"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build"),
                        help="build folder holding tuvommlc and io_floor")
    parser.add_argument("--sizes", default="10000,100000,1000000",
                        help="song sizes in notes, comma-separated")
    parser.add_argument("--tracks", type=int, default=4)
    parser.add_argument("--runs", type=int, default=5, help="timed runs per size")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--all-outputs", default="",
                        help="also compile songs of these sizes (comma-separated) with every "
                             "output, e.g. 100000")
    parser.add_argument("--long-lines", default="",
                        help="also sources of one long line (a lyric, notes) of these sizes "
                             "in MB, comma-separated, e.g. 50,100")
    parser.add_argument("--sung-preview", default="",
                        help="also write the sung preview (-a) of songs of these sizes "
                             "(comma-separated), e.g. 1000,4000")
    args = parser.parse_args()
    if args.runs < 1:
        parser.error("--runs must be at least 1")

    program = os.path.abspath(os.path.join(args.build, "tuvommlc"))
    floor = os.path.abspath(os.path.join(args.build, "io_floor"))
    for path in (program, floor):
        if not os.access(path, os.X_OK):
            sys.exit("%s is missing: build the targets tuvommlc and io_floor first" % path)

    load = OtherLoad()
    print("| notes | tracks | input | output (vsq + log) | wall (median) | CPU (median) "
          "| I/O floor | wall / floor | peak RSS | notes/s | check-only (median) "
          "| check-only notes/s |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    results = []
    with tempfile.TemporaryDirectory(prefix="tuvo-bench-") as work:
        base = measure(args, program, floor, work, args.tracks)
        for size in (int(s) for s in args.sizes.split(",")):
            r = measure(args, program, floor, work, size)
            results.append(r)
            print("| %d | %d | %.1f MB | %.1f + %.1f MB | %.3f s | %.3f s | %.3f s | %.2f "
                  "| %.0f MB | %.0f | %.3f s | %.0f |" % (
                      size, args.tracks, r["input"] / 1e6, r["vsq"] / 1e6, r["log"] / 1e6,
                      r["wall"], r["cpu"], r["floor"],
                      r["wall"] / r["floor"] if r["floor"] > 0 else float("inf"), r["peak"],
                      size / r["wall"], r["check"], size / r["check"]), flush=True)

    if args.all_outputs:
        print()
        print("| song | outputs | written | wall (median) | CPU (median) | I/O floor "
              "| wall / floor | peak RSS | CPU / VSQ alone | memory / VSQ alone (bound %.1f, "
              "two lanes %d MB more) |" % (MEMORY_BOUND, LANE_ALLOWANCE_MB))
        print("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|")
        with tempfile.TemporaryDirectory(prefix="tuvo-bench-all-") as work:
            song = os.path.join(work, "song.mml")
            for size in (int(s) for s in args.all_outputs.split(",")):
                subprocess.run([sys.executable, os.path.join(HERE, "gen_song.py"), "--notes",
                                str(size), "--tracks", str(args.tracks), "--seed", str(args.seed),
                                "-o", song], check=True)
                print_all_outputs("%d notes" % size, all_outputs(program, floor, work, args.runs))
            for label, text in SMALL_SOURCES.items():
                with open(song, "wb") as f:
                    f.write(text)
                print_all_outputs(label, all_outputs(program, floor, work, 1))

    if args.sung_preview:
        print()
        sung_preview(args, program, [int(n) for n in args.sung_preview.split(",")])

    if args.long_lines:
        print()
        long_lines(program, [int(s) for s in args.long_lines.split(",")])

    print()
    print(load.summary())
    print("Fixed cost of a run (one bar per track): wall %.3f s, CPU %.3f s, peak RSS %.0f MB" % (
        base["wall"], base["cpu"], base["peak"]))
    for a, b in zip(results, results[1:]):
        above = (b["wall"] - base["wall"]) / (a["wall"] - base["wall"])
        print("%d -> %d notes (x%g): wall x%.2f (x%.2f above the fixed cost), CPU x%.2f, "
              "memory %+.0f MB (%.0f bytes per added note)" % (
                  a["size"], b["size"], b["size"] / a["size"], b["wall"] / a["wall"], above,
                  b["cpu"] / a["cpu"], b["peak"] - a["peak"],
                  (b["peak"] - a["peak"]) * 1048576 / (b["size"] - a["size"])))


if __name__ == "__main__":
    main()
