#!/bin/sh
# Installs the program into a scratch prefix and checks the layout: bin/ holds
# only the program, its data lies in share/tuvommlc/ and its documents in
# share/doc/tuvommlc/. Then compiles the example song from another folder, once
# through the installed program and once through a symbolic link to it: both
# must find the dictionary and the include folder in the share folder and write
# the VSQ file the build's program writes, and --help must name the installed
# manual and the installed dictionary; the README is installed beside the
# documents, which point to it.
# Arguments: the build folder, the source folder and the cmake program.
set -eu
build=$1
source=$2
cmake=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
scratch=$(cd "$scratch" && pwd -P)
prefix=$scratch/prefix
fail() { echo "$*"; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
[ "$(ls -A "$prefix/bin")" = tuvommlc ] || fail "bin/ holds more than the program: $(ls -A "$prefix/bin")"
test -f "$prefix/share/tuvommlc/phonetic_symbols.dic" || fail "no dictionary in share/tuvommlc"
test -f "$prefix/share/tuvommlc/include/dynamics.mml" || fail "no include folder in share/tuvommlc"
for document in "$source"/doc/*.md "$source"/README.md; do
    cmp "$document" "$prefix/share/doc/tuvommlc/$(basename "$document")" || fail "$document not installed"
done

mkdir "$scratch/work" "$scratch/links" "$scratch/reference"
# The example song, and a line that needs the built-in include folder.
for folder in work reference; do
    { cat "$source/examples/song.mml"; printf '.include "dynamics.mml"\n\\ff c\n'; } > "$scratch/$folder/song.mml"
done
ln -s "$prefix/bin/tuvommlc" "$scratch/links/tuvommlc"
(cd "$scratch/reference" && "$build/tuvommlc" song.mml >/dev/null) || fail "the build's program failed"

cd "$scratch/work"
for program in "$prefix/bin/tuvommlc" "$scratch/links/tuvommlc"; do
    rm -f song.vsq
    if ! "$program" song.mml >run.txt; then
        echo "$program failed:"; cat run.txt; exit 1
    fi
    grep -qx "EXEPATH:  $prefix/bin" run.txt || { echo "$program: wrong EXEPATH"; cat run.txt; exit 1; }
    grep -qx "PHONETIC: $prefix/share/tuvommlc/phonetic_symbols.dic" run.txt ||
        { echo "$program: wrong dictionary"; cat run.txt; exit 1; }
    cmp song.vsq "$scratch/reference/song.vsq"
    "$program" --help | grep -qxF " -p phonetic-symbol-filename  the phonetic dictionary (default: $prefix/share/tuvommlc/phonetic_symbols.dic)" ||
        fail "$program --help does not name the installed dictionary"
    "$program" --help | tail -n 1 |
        grep -qxF "Options come before the input file. The language is described in $prefix/share/doc/tuvommlc/manual.md." ||
        fail "$program --help does not name the installed manual"
done
# In the build folder the help names the manual of the source tree.
"$build/tuvommlc" --help | tail -n 1 | grep -q "described in doc/manual.md.$" ||
    fail "the build's program names another manual"
echo "installed program works from $scratch/work"
