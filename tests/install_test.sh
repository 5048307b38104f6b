#!/bin/sh
# Installs the program into a scratch prefix and compiles the example song from
# another folder, once through the installed program and once through a
# symbolic link to it: both must find the dictionary and the include folder
# beside the installed program and write the VSQ file the build's program writes.
# Arguments: the build folder, the source folder and the cmake program.
set -eu
build=$1
source=$2
cmake=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
scratch=$(cd "$scratch" && pwd -P)

"$cmake" --install "$build" --prefix "$scratch/prefix" >/dev/null
mkdir "$scratch/work" "$scratch/links" "$scratch/reference"
cp "$source/examples/song.mml" "$scratch/work/"
cp "$source/examples/song.mml" "$scratch/reference/"
ln -s "$scratch/prefix/bin/tuvommlc" "$scratch/links/tuvommlc"
(cd "$scratch/reference" && "$build/tuvommlc" song.mml >/dev/null)

cd "$scratch/work"
for program in "$scratch/prefix/bin/tuvommlc" "$scratch/links/tuvommlc"; do
    rm -f song.vsq
    if ! "$program" song.mml >run.txt; then
        echo "$program failed:"; cat run.txt; exit 1
    fi
    grep -qx "EXEPATH:  $scratch/prefix/bin" run.txt || { echo "$program: wrong EXEPATH"; cat run.txt; exit 1; }
    grep -qx "PHONETIC: $scratch/prefix/bin/phonetic_symbols.dic" run.txt ||
        { echo "$program: wrong dictionary"; cat run.txt; exit 1; }
    cmp song.vsq "$scratch/reference/song.vsq"
done
test -f "$scratch/prefix/share/doc/tuvommlc/manual.md"
echo "installed program works from $scratch/work"
