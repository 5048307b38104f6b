#!/usr/bin/env python3
"""Runs two builds of the compiler on the same inputs and compares every byte
they print and write: standard output and error, exit status, and every file
left in the working folder (VSQ file, conversion log, MIDI file, score,
project, sequences). For changes meant to change no output, such as moving
code around.

Inputs: every golden case with its own arguments, and again with -m, -x, -s
and -t added; every fuzz corpus file, plain and with -u; every "mml song" block of
the manual, as code page 932 and as UTF-8 with -u; examples/song.mml; and the
songs given with --songs (bench/gen_song.py makes large ones).

    tools/compare_builds.py OLD/tuvommlc NEW/tuvommlc [--songs big.mml ...]

Each program runs beside its own dictionary and include folder; its folder is
written as {EXEDIR} in what it prints before the comparison.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXPORTS = ["-m", "out.mid", "-x", "out.musicxml", "-s", "out.ustx", "-t", "out.ust"]


def run(program, setup, args):
    """Exit status, output, errors and the files written, of one run."""
    exe_dir = os.path.dirname(program)
    with tempfile.TemporaryDirectory(prefix="tuvo-compare-") as work:
        setup(work)
        args = [arg.replace("{EXEDIR}", exe_dir) for arg in args]
        done = subprocess.run([program] + args, cwd=work, capture_output=True, timeout=600)
        files = {}
        for root, _, names in os.walk(work):
            for name in names:
                path = os.path.join(root, name)
                with open(path, "rb") as f:
                    files[os.path.relpath(path, work)] = f.read()
    hide = exe_dir.encode()
    return done.returncode, done.stdout.replace(hide, b"{EXEDIR}"), \
        done.stderr.replace(hide, b"{EXEDIR}"), files


def differences(old, new):
    names = ["status", "stdout", "stderr"]
    found = [name for name, a, b in zip(names, old, new) if a != b]
    for path in sorted(set(old[3]) | set(new[3])):
        if old[3].get(path) != new[3].get(path):
            found.append(path)
    return found


def copy_case(folder):
    def setup(work):
        for name in os.listdir(folder):
            if name in ("expected", "args"):
                continue
            source = os.path.join(folder, name)
            if os.path.isdir(source):
                shutil.copytree(source, os.path.join(work, name))
            else:
                shutil.copy(source, work)
    return setup


def song_file(data):
    def setup(work):
        with open(os.path.join(work, "song.mml"), "wb") as f:
            f.write(data)
    return setup


def manual_songs():
    """The text of every block fenced as "mml song" in the manual."""
    songs, block = [], None
    with open(os.path.join(REPO, "doc", "manual.md"), encoding="utf-8") as f:
        for line in f.read().split("\n"):
            if line.startswith("```"):
                if block is None and line[3:].strip() == "mml song":
                    block = []
                elif block is not None:
                    songs.append("\n".join(block) + "\n")
                    block = None
            elif block is not None:
                block.append(line)
    return songs


def inputs(songs):
    """(label, setup, arguments) of every run."""
    cases = os.path.join(REPO, "tests", "cases")
    for name in sorted(os.listdir(cases)):
        folder = os.path.join(cases, name)
        args = ["song.mml"]
        if os.path.exists(os.path.join(folder, "args")):
            with open(os.path.join(folder, "args"), encoding="latin-1") as f:
                args = [line.rstrip("\r") for line in f.read().split("\n")]
            if args and args[-1] == "":
                args.pop()
        yield "case " + name, copy_case(folder), args
        yield "case with exports " + name, copy_case(folder), EXPORTS + args
    corpus = os.path.join(REPO, "fuzz", "corpus")
    data = os.path.join(REPO, "fuzz", "data")
    for name in sorted(os.listdir(corpus)):
        with open(os.path.join(corpus, name), "rb") as f:
            setup = song_file(f.read())
        yield "corpus " + name, setup, EXPORTS + ["-I" + data + "/include", "song.mml"]
        yield "corpus -u " + name, setup, EXPORTS + ["-u", "-I" + data + "/include-utf8", "song.mml"]
    for number, text in enumerate(manual_songs(), 1):
        yield "manual song %d" % number, song_file(text.encode("cp932", "replace")), EXPORTS + ["song.mml"]
        yield "manual song %d -u" % number, song_file(text.encode()), EXPORTS + ["-u", "song.mml"]
    for path in [os.path.join(REPO, "examples", "song.mml")] + songs:
        with open(path, "rb") as f:
            yield "song " + path, song_file(f.read()), EXPORTS + ["song.mml"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--songs", nargs="*", default=[])
    options = parser.parse_args()
    old, new = os.path.abspath(options.old), os.path.abspath(options.new)
    runs = same = 0
    compared = 0
    for label, setup, args in inputs(options.songs):
        before, after = run(old, setup, args), run(new, setup, args)
        runs += 1
        found = differences(before, after)
        if found:
            print("DIFFERS %s %s: %s" % (label, " ".join(args), ", ".join(found)), flush=True)
        else:
            same += 1
        compared += len(before[1]) + sum(len(data) for data in before[3].values())
    print("%d runs, %d alike, %d bytes compared of each" % (runs, same, compared))
    return 0 if runs == same else 1


if __name__ == "__main__":
    sys.exit(main())
