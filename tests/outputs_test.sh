#!/bin/sh
# Outputs among links, devices and named pipes, which the golden cases cannot
# hold: two sequences leading to one file are refused, the log gives way to an
# export at its file, the log is written through a link and into a device and
# never replaces a named pipe, and an output that is a loop of links is
# refused with the links kept. Each run is in a fresh folder; the program runs
# with -u, so its messages can be matched as UTF-8.
# Argument: the program.
set -eu
program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*"; echo "--- stdout"; cat out.txt; echo "--- stderr"; cat err.txt; exit 1; }
two_tracks='1 l4 c d "[a][i]"
2 l4 e f "[u][e]"
'
# A fresh folder for case $1 holding the two-track song; the case runs there.
fresh() {
    mkdir "$scratch/$1"
    cd "$scratch/$1"
    printf '%s' "$two_tracks" > song.mml
}
run() {
    status=0
    "$program" -u "$@" >out.txt 2>err.txt || status=$?
}
collide='出力ファイルが他の出力ファイルと同じです'
log_lost='ログファイルが書けません: vsqconvert.log'

fresh sequences
ln -s s-1.ust s-2.ust
run -t s.ust song.mml
[ "$status" -eq 1 ] || fail "two sequences leading to one file were not refused"
grep -qx "ERROR: $collide: s-2.ust" out.txt || fail "the clash is not named"
[ ! -e s-1.ust ] && [ ! -e song.vsq ] || fail "a refused run wrote files"

fresh midi_is_log
run -m vsqconvert.log song.mml
[ "$status" -eq 0 ] || fail "the run failed"
grep -qx "WARN: $log_lost : File exists" out.txt || fail "the log gave way without a word"
head -c 4 vsqconvert.log | grep -q MThd || fail "vsqconvert.log is not the MIDI file"
mkdir "$scratch/reference"
cp song.mml "$scratch/reference/"
(cd "$scratch/reference" && "$program" -m song.mid song.mml >/dev/null)
cmp vsqconvert.log "$scratch/reference/song.mid" || fail "the MIDI file at the log's place is not whole"

fresh sequence_is_log
ln -s vsqconvert.log s-2.ust
run -t s.ust song.mml
grep -qx "WARN: $log_lost : File exists" out.txt || fail "the log gave way to a sequence without a word"
grep -q 'VERSION' vsqconvert.log || fail "vsqconvert.log is not the second sequence"
[ -L s-2.ust ] || fail "the sequence's link was replaced"

fresh log_through_link
mkdir logs
ln -s logs/run.log vsqconvert.log
run song.mml
[ "$status" -eq 0 ] || fail "the run failed"
[ -L vsqconvert.log ] || fail "the log's link was replaced"
grep -q 'Convert Start' logs/run.log || fail "the log was not written through its link"
run song.mml
grep -q 'Convert Start' logs/run.log && [ -L vsqconvert.log ] || fail "the log was not replaced through its link"

fresh log_into_device
ln -s /dev/null vsqconvert.log
run song.mml
[ "$status" -eq 0 ] && ! grep -q WARN out.txt || fail "a log into /dev/null failed"
[ "$(readlink vsqconvert.log)" = /dev/null ] || fail "the link to /dev/null was replaced"

fresh log_is_a_pipe
mkfifo vsqconvert.log
run song.mml
[ "$status" -eq 0 ] || fail "a log that cannot be written failed the run"
grep -q "WARN: $log_lost" out.txt || fail "the named pipe was not warned of"
[ -p vsqconvert.log ] || fail "the named pipe was replaced"

fresh output_is_a_loop
ln -s b.vsq a.vsq
ln -s a.vsq b.vsq
run -o a.vsq song.mml
[ "$status" -eq 1 ] || fail "an output that is a loop of links was written"
grep -qx "ERROR: ファイルが開けません: a.vsq : Too many levels of symbolic links" out.txt ||
    fail "the loop is not named"
[ -L a.vsq ] && [ -L b.vsq ] || fail "the links were replaced"

echo "links, devices and named pipes among the outputs are handled"
