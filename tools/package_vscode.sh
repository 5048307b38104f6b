#!/bin/sh
# Packages the VS Code extension of editors/vscode into a .vsix with the
# packager among its development packages (run `npm ci` there first).
# Argument: the .vsix to write (default: editors/vscode/tuvo-mml-VERSION.vsix).
# Exits with 77, which ctest counts as skipped, when Node.js is older than the
# packager needs.
set -eu
out=
if [ $# -gt 0 ]; then
    case $1 in
        /*) out=$1 ;;
        *) out=$(pwd)/$1 ;;
    esac
fi
cd "$(dirname "$0")/../editors/vscode"

node_major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$node_major" -lt 20 ]; then
    echo "package_vscode: the packager needs Node.js 20 or later; this is $(node --version)"
    exit 77
fi
if [ ! -x node_modules/.bin/vsce ]; then
    echo "package_vscode: the packager is not installed; run 'npm ci' in editors/vscode"
    exit 1
fi
# No licence file or repository is named in the manifest, so the packager is
# told not to ask for them.
exec node_modules/.bin/vsce package --skip-license --allow-missing-repository ${out:+--out "$out"}
