#!/bin/sh
# Outputs written in two lanes against the same run bound to one processor
# (taskset), where they are written one after another: the same messages, the
# same exit status and the same files, for a run that succeeds with every
# export and for runs whose exports fail in the one lane or the other. Skipped
# where taskset is missing or the process may not run on two processors.
# Argument: the program.
set -eu
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
if ! command -v taskset >/dev/null 2>&1 || ! taskset -c 0,1 true 2>/dev/null; then
    echo "skipped: no taskset, or fewer than two processors"
    exit 0
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*"; exit 1; }
ulimit -t 600
song='1 t120 l16 /:300 c d e f "[a][i][u][e]" :/
2 l16 /:300 g a b a "[o][a][i][u]" :/
'
# Runs the program with the arguments given in $scratch/$1, bound to the
# processors $2, after a fresh copy of the song; records status and output.
run_in() {
    folder=$scratch/$1
    cpus=$2
    shift 2
    mkdir -p "$folder"
    cd "$folder"
    printf '%s' "$song" > song.mml
    status=0
    taskset -c "$cpus" "$program" "$@" >out.txt 2>err.txt || status=$?
    echo "$status" > status.txt
}
# Case $1: the program with the arguments after it, in two lanes and in one.
both() {
    name=$1
    shift
    run_in "$name-two" 0,1 "$@"
    run_in "$name-one" 0 "$@"
    cd "$scratch"
    diff -r "$name-two" "$name-one" || fail "$name: two lanes and one differ"
}

both exports -m s.mid -x s.xml -s s.ustx -t s.ust song.mml
[ "$(cat "$scratch/exports-two/status.txt")" = 0 ] || fail "the run with every export failed"
[ -s "$scratch/exports-two/s.mid" ] && [ -s "$scratch/exports-two/s-2.ust" ] || fail "exports missing"
# The MIDI file (second lane) and the project (second lane) cannot be made.
both second_lane_fails -m nodir/s.mid -x s.xml -s nodir/s.ustx -t s.ust song.mml
# The score (first lane, after the MIDI file of the second) cannot be made.
both first_lane_fails -m s.mid -x nodir/s.xml -s s.ustx -t s.ust song.mml
# The VSQ file cannot be made: no export is written.
both vsq_fails -o nodir/song.vsq -m s.mid -x s.xml song.mml
[ "$(cat "$scratch/vsq_fails-two/status.txt")" = 1 ] || fail "a run without its VSQ file succeeded"
[ ! -e "$scratch/vsq_fails-two/s.mid" ] || fail "an export of a failed run was kept"
echo "two lanes and one wrote the same files and printed the same messages"
