#!/bin/sh
# The .vsix that tools/package_vscode.sh makes: it holds the manifest as it is
# in the source tree, the client, the grammar and the language settings, and
# the packages the client runs on; it leaves out the tests and the development
# packages.
set -eu
root=$(cd "$(dirname "$0")/../../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
sh "$root/tools/package_vscode.sh" "$scratch/tuvo-mml.vsix" >"$scratch/out.txt" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    cat "$scratch/out.txt"
    exit "$status"
fi
exec /usr/bin/python3 - "$scratch/tuvo-mml.vsix" "$root/editors/vscode/package.json" <<'PYEOF'
import sys, zipfile
vsix, manifest = sys.argv[1:]
with zipfile.ZipFile(vsix) as archive:
    names = set(archive.namelist())
    packaged = archive.read("extension/package.json")
with open(manifest, "rb") as f:
    source = f.read()
problems = []
if packaged != source:
    problems.append("the packaged package.json differs from editors/vscode/package.json")
for name in ["extension/extension.js", "extension/lib/serverCommand.js", "extension/lib/compileCommand.js",
             "extension/syntaxes/tuvo-mml.tmLanguage.json", "extension/language-configuration.json",
             "extension/readme.md", "extension/node_modules/vscode-languageclient/package.json",
             "extension/node_modules/vscode-languageclient/node.js"]:
    if name not in names:
        problems.append("missing: " + name)
for prefix in ["extension/tests/", "extension/node_modules/vscode-tmgrammar-test/",
               "extension/node_modules/@vscode/vsce/", "extension/node_modules/vscode-textmate/"]:
    if any(name.startswith(prefix) for name in names):
        problems.append("should be left out: " + prefix)
if problems:
    sys.exit("\n".join(problems))
print("%s: %d files" % (vsix, len(names)))
PYEOF
