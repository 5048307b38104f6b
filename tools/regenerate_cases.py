#!/usr/bin/env python3
"""Shows how the expected outputs of golden cases would change, and rewrites
them only when asked.

    tools/regenerate_cases.py PROGRAM [CASE ...] [--write] [--add FILE ...]

Each case (all of tests/cases/ when none is named) is run as the golden test
runs it: its files copied into a scratch folder, its args given to PROGRAM.
What the run prints and writes is held against expected/: the standard output,
the standard error where the case checks it, the exit status, every file under
expected/files/ and the folder listing where the case has one. Every
difference is shown, texts as a unified diff and other files by their sizes
and first differing byte; nothing is written unless --write is given. --add
names files of the run's folder to keep under expected/files/ as well, for a
new case. The program's folder and version are written back as {EXEDIR} and
{VERSION}, as the cases hold them.

The tests never run this: an expected file is changed only by someone who has
read the difference it makes.
"""
import argparse
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CASES = os.path.join(REPO, "tests", "cases")


def version():
    with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(tuvommlc VERSION ([0-9.]+)", f.read()).group(1).encode()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def case_args(folder, exe_dir):
    path = os.path.join(folder, "args")
    if not os.path.exists(path):
        return ["song.mml"]
    lines = read(path).decode("latin-1").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    # The bytes as written, whatever their encoding.
    return [line.rstrip("\r").replace("{EXEDIR}", exe_dir).encode("latin-1") for line in lines]


def run_case(program, folder, work):
    for name in os.listdir(folder):
        if name in ("expected", "args"):
            continue
        source = os.path.join(folder, name)
        if os.path.isdir(source):
            shutil.copytree(source, os.path.join(work, name), symlinks=True)
        else:
            shutil.copy(source, work)
    exe_dir = os.path.dirname(program)
    done = subprocess.run([program.encode()] + case_args(folder, exe_dir), cwd=work,
                          capture_output=True, timeout=600)
    return done


def placeholders(data, program):
    return data.replace(os.path.dirname(program).encode(), b"{EXEDIR}").replace(version(), b"{VERSION}")


def is_text(data):
    return b"\0" not in data[:4096]


def show(name, old, new):
    if old is None:
        print("+++ %s (new, %d bytes)" % (name, len(new)))
    elif is_text(old) and is_text(new):
        lines = difflib.unified_diff(old.decode("latin-1").splitlines(True),
                                     new.decode("latin-1").splitlines(True),
                                     "expected/" + name, "now/" + name)
        sys.stdout.write("".join(lines))
    else:
        first = next((i for i, (a, b) in enumerate(zip(old, new)) if a != b), min(len(old), len(new)))
        print("*** %s: %d bytes, now %d; first difference at byte %d" % (name, len(old), len(new), first))


def regenerate(program, name, write, added):
    folder = os.path.join(CASES, name)
    expected = os.path.join(folder, "expected")
    with tempfile.TemporaryDirectory(prefix="tuvo-regenerate-") as work:
        done = run_case(program, folder, work)
        # A case that prints what another prints holds no text of its own; a
        # difference from that one is shown, and left for that case to take.
        wanted = {}
        shared = os.path.join(expected, "stdout_as")
        if os.path.exists(shared):
            other = read(shared).decode().split("\n")[0]
            same = read(os.path.join(CASES, other, "expected", "stdout"))
            if placeholders(done.stdout, program) != same:
                print("=== case %s prints other than case %s" % (name, other))
                show("stdout", same, placeholders(done.stdout, program))
        else:
            wanted["stdout"] = placeholders(done.stdout, program)
        if os.path.exists(os.path.join(expected, "stderr")):
            wanted["stderr"] = placeholders(done.stderr, program)
        if done.returncode != 0 or os.path.exists(os.path.join(expected, "status")):
            wanted["status"] = b"%d\n" % done.returncode
        files = os.path.join(expected, "files")
        kept = []
        if os.path.isdir(files):
            for root, _, names in os.walk(files):
                kept += [os.path.relpath(os.path.join(root, n), files) for n in names]
        for relative in sorted(set(kept) | set(added)):
            path = os.path.join(work, relative)
            wanted[os.path.join("files", relative)] = read(path) if os.path.exists(path) else None
        if os.path.exists(os.path.join(expected, "folder")):
            wanted["folder"] = "".join(n + "\n" for n in sorted(os.listdir(work))).encode()

    changed = False
    for relative, data in wanted.items():
        path = os.path.join(expected, relative)
        old = read(path) if os.path.exists(path) else None
        if data is None:
            print("!!! %s: %s was not written" % (name, relative))
            changed = True
            continue
        if old == data:
            continue
        changed = True
        print("=== case %s" % name)
        show(relative, old, data)
        if write:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    return changed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program")
    parser.add_argument("cases", nargs="*")
    parser.add_argument("--write", action="store_true", help="rewrite the expected files")
    parser.add_argument("--add", nargs="*", default=[], help="files of the run to keep as expected")
    options = parser.parse_args()
    program = os.path.abspath(options.program)
    names = options.cases or sorted(n for n in os.listdir(CASES) if os.path.isdir(os.path.join(CASES, n)))
    changed = [name for name in names if regenerate(program, name, options.write, options.add)]
    verb = "rewritten" if options.write else "would change"
    print("%d of %d cases %s%s" % (len(changed), len(names), verb, (": " + " ".join(changed)) if changed else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
