#!/usr/bin/env python3
"""Checks that the modules of src/ are layered as CMakeLists.txt declares.

Every folder of src/ is a module; TUVO_DEPS_<module> lists the modules it may
build on. This fails when a file includes a header of a module its own does
not build on, when the declared dependencies form a loop, or when headers
include each other in a loop (a file's include chain leading back to it).

The writers (TUVO_WRITERS: one module per file format) are leaves: none may
build on another, and none but the driver may build on a writer, so every
writer reads the rendered song and nothing of another writer.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+/[A-Za-z0-9_]+\.h)"', re.M)


def declared_dependencies():
    text = open(os.path.join(ROOT, "CMakeLists.txt")).read()
    modules = re.search(r"set\(TUVO_MODULES ([^)]*)\)", text).group(1).split()
    deps = {}
    for module in modules:
        found = re.search(r"set\(TUVO_DEPS_%s ([^)]*)\)" % module, text)
        deps[module] = set(found.group(1).split()) if found else {module}
    writers = re.search(r"set\(TUVO_WRITERS ([^)]*)\)", text)
    return modules, deps, set(writers.group(1).split()) if writers else set()


def includes_of_sources():
    result = {}
    src = os.path.join(ROOT, "src")
    for module in sorted(os.listdir(src)):
        for name in sorted(os.listdir(os.path.join(src, module))):
            if name.endswith((".h", ".cpp")):
                with open(os.path.join(src, module, name), encoding="utf-8") as f:
                    result[module + "/" + name] = INCLUDE.findall(f.read())
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
    modules, deps, writers = declared_dependencies()
    files = includes_of_sources()
    problems = []
    for module in modules:
        if module not in deps[module]:
            problems.append("TUVO_DEPS_%s does not list the module itself" % module)
        loop = loop_from(module, {m: deps[m] - {m} for m in modules})
        if loop:
            problems.append("modules depend on each other in a loop: " + " -> ".join(loop))
    for module in modules:
        if module == "driver":
            continue
        for writer in sorted((deps[module] - {module}) & writers):
            problems.append("TUVO_DEPS_%s lists the writer %s: writers are leaves, read by the driver alone"
                            % (module, writer))
    for writer in sorted(writers - set(modules)):
        problems.append("TUVO_WRITERS names %s, which is no module" % writer)
    for path, included in files.items():
        module = path.split("/")[0]
        for header in included:
            target = header.split("/")[0]
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
