#!/bin/sh
# Installs the program into a scratch prefix and checks the layout: bin/ holds
# only the program, its data lies in share/tuvommlc/, its documents in
# share/doc/tuvommlc/ and the sung preview's module (when the build has one)
# in lib/tuvommlc/. Then compiles the example song from another folder, once
# through the installed program and once through a symbolic link to it: both
# must find the dictionary and the include folder in the share folder and write
# the VSQ file the build's program writes, and --help must name the installed
# manual and the installed dictionary; the README is installed beside the
# documents, which point to it. The installed program sings a note through
# its module; without the module it refuses -a as a build without the sung
# preview does, and compiles as before.
# Arguments: the build folder, the source folder, the cmake program and the
# file name of the sung preview's module (empty when the build has none).
set -eu
build=$1
source=$2
cmake=$3
module=$4
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
if [ -n "$module" ]; then
    test -f "$prefix/lib/tuvommlc/$module" || fail "no sung preview module in lib/tuvommlc"
fi

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
# The sung preview through the installed module, then the module taken away.
printf 't120 l4 o4 c "\343\201\202"\n' > note.mml
if [ -n "$module" ]; then
    "$prefix/bin/tuvommlc" -u -a note.wav note.mml >run.txt || { echo "-a failed:"; cat run.txt; exit 1; }
    [ "$(head -c 4 note.wav)" = RIFF ] || fail "the installed program wrote no WAV file"
    rm "$prefix/lib/tuvommlc/$module"
fi
rm -f note.wav
if "$prefix/bin/tuvommlc" -u -a note.wav note.mml >run.txt 2>&1; then fail "-a taken without the module"; fi
grep -qxF "tuvommlc: option '-a': this build has no sung preview: build it again with the libraries of espeak-ng, Rubber Band and libsndfile installed (Debian: libespeak-ng-dev librubberband-dev libsndfile1-dev)" run.txt ||
    { echo "-a without the module not refused as a build without the preview refuses it:"; cat run.txt; exit 1; }
test ! -e note.wav || fail "a WAV file written without the module"
"$prefix/bin/tuvommlc" song.mml >/dev/null || fail "the program without its module cannot compile"
cmp song.vsq "$scratch/reference/song.vsq"

# In the build folder the help names the manual of the source tree.
"$build/tuvommlc" --help | tail -n 1 | grep -q "described in doc/manual.md.$" ||
    fail "the build's program names another manual"
echo "installed program works from $scratch/work"
