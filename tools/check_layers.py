#!/usr/bin/env python3
"""Checks that the modules of src/ are layered as CMakeLists.txt declares.

Every folder of src/ is a module; TUVO_DEPS_<module> lists the modules it may
build on. This fails when a file includes a header of a module its own does
not build on, when the declared dependencies form a loop, or when headers
include each other in a loop (a file's include chain leading back to it).

The writers are the folders of src/writers/, one module per file format,
each named after its folder and built on the modules TUVO_DEPS_writers lists.
They are leaves: none may build on another, and none but the driver may build
on a writer, so every writer reads the rendered song and nothing of another.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s+"((?:writers/)?[a-z]+/[A-Za-z0-9_]+\.h)"', re.M)
WRITERS = os.path.join(ROOT, "src", "writers")


def writer_folders():
    return sorted(n for n in os.listdir(WRITERS) if os.path.isdir(os.path.join(WRITERS, n)))


def module_of(path):
    """The module of a file or header path under src/: its folder, or for a writer
    the folder under writers/."""
    parts = path.split("/")
    return parts[1] if parts[0] == "writers" else parts[0]


def declared_dependencies():
    text = open(os.path.join(ROOT, "CMakeLists.txt")).read()
    writers = writer_folders()
    listed = re.search(r"set\(TUVO_MODULES ([^)]*)\)", text).group(1).split()
    modules = []
    for module in listed:
        modules += writers if module == "writers" else [module]

    def listed_deps(module):
        found = re.search(r"set\(TUVO_DEPS_%s ([^)]*)\)" % module, text)
        names = found.group(1).split() if found else []
        expanded = set()
        for name in names:
            expanded |= set(writers) if name == "${TUVO_WRITERS}" else {name}
        return expanded

    writer_deps = listed_deps("writers")
    deps = {}
    for module in modules:
        deps[module] = ({module} | writer_deps) if module in writers else (listed_deps(module) or {module})
    return modules, deps, set(writers), writer_deps


def includes_of_sources():
    result = {}
    src = os.path.join(ROOT, "src")
    folders = [m for m in sorted(os.listdir(src)) if m != "writers"]
    folders += ["writers/" + w for w in writer_folders()]
    for folder in folders:
        for name in sorted(os.listdir(os.path.join(src, folder))):
            if name.endswith((".h", ".cpp")):
                with open(os.path.join(src, folder, name), encoding="utf-8") as f:
                    result[folder + "/" + name] = INCLUDE.findall(f.read())
    return result


def loop_from(start, edges):
    """A path start -> ... -> start through `edges`, or None."""
    stack, seen = [(start, [start])], set()
    while stack:
        node, path = stack.pop()
        for nxt in edges.get(node, ()):
            if nxt == start:
                return path + [start]
            if nxt not in seen:
                seen.add(nxt)
                stack.append((nxt, path + [nxt]))
    return None


def main():
    modules, deps, writers, writer_deps = declared_dependencies()
    files = includes_of_sources()
    problems = []
    for module in modules:
        if module not in deps[module]:
            problems.append("TUVO_DEPS_%s does not list the module itself" % module)
        loop = loop_from(module, {m: deps[m] - {m} for m in modules})
        if loop:
            problems.append("modules depend on each other in a loop: " + " -> ".join(loop))
    for writer in sorted(writer_deps & (writers | {"writers"})):
        problems.append("TUVO_DEPS_writers lists %s: a writer builds on no writer" % writer)
    for module in modules:
        if module == "driver" or module in writers:
            continue
        for writer in sorted((deps[module] - {module}) & writers):
            problems.append("TUVO_DEPS_%s lists the writer %s: writers are leaves, read by the driver alone"
                            % (module, writer))
    for path, included in files.items():
        module = module_of(path)
        for header in included:
            target = module_of(header)
            if header not in files:
                problems.append("%s includes %s, which does not exist" % (path, header))
            elif target not in deps.get(module, ()):
                problems.append("%s includes %s: %s does not build on %s" % (path, header, module, target))
    # Include loops between files: a header leads back to itself, or a .cpp
    # and a header of another module include each other's module both ways.
    headers = {p: i for p, i in files.items() if p.endswith(".h")}
    for header in headers:
        loop = loop_from(header, headers)
        if loop:
            problems.append("headers include each other in a loop: " + " -> ".join(loop))
    for problem in problems:
        print(problem)
    print("%d files, %d modules checked: %s" % (len(files), len(modules), "FAILED" if problems else "ok"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
