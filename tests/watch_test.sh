#!/bin/sh
# Watch mode from outside: the program runs with -w in a scratch folder; the
# test changes the source, then a file it includes, and each time waits for the
# next run and holds the VSQ file against a one-off compile of the same files.
# Then it sends SIGTERM while a run of a larger song is under way: the program
# must finish that run, leave complete files and no temporaries, and end with
# status 0. Waiting is by the program's own lines, polled a bounded number of
# times, so a slow machine only makes the test slower.
# Argument: the program.
set -eu
program=$1
scratch=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
fail() { echo "$*"; echo "--- stdout"; cat "$scratch/work/out.txt"; echo "--- stderr"; cat "$scratch/work/err.txt"; exit 1; }
mkdir "$scratch/work" "$scratch/reference"
cd "$scratch/work"

# Waits until standard error holds `count` lines that contain `text`, looking
# every `pause` seconds (default 0.1).
wait_for() {
    attempts=0
    while :; do
        lines=$(grep -c "$1" err.txt 2>/dev/null) || true
        [ "${lines:-0}" -lt "$2" ] || break
        attempts=$((attempts + 1))
        [ "$attempts" -le 3000 ] || fail "no line '$1' number $2"
        sleep "${3:-0.1}"
    done
}

# Compiles the watched files once in another folder and compares the VSQ files.
same_as_one_off() {
    cp song.mml part.mml "$scratch/reference/"
    (cd "$scratch/reference" && "$program" song.mml >/dev/null 2>&1) || fail "one-off compile failed"
    cmp song.vsq "$scratch/reference/song.vsq" || fail "$1: the watched run wrote another file"
}

printf 't120 l4 c d "[a][i]"\n.include "part.mml"\n' > song.mml
printf 'e\n' > part.mml
"$program" -w song.mml >out.txt 2>err.txt &
pid=$!
wait_for "watching [0-9]" 1
same_as_one_off "first run"

printf 't96 l8 c d "[a][i]"\n.include "part.mml"\n' > song.mml
wait_for "watching [0-9]" 2
grep -q "song.mml changed" err.txt || fail "the source's change was not named"
same_as_one_off "after the source changed"

printf 'e f g\n' > part.mml
wait_for "watching [0-9]" 3
grep -q "part.mml changed" err.txt || fail "the included file's change was not named"
same_as_one_off "after the included file changed"
[ "$(grep -c '^Successful\.$' out.txt)" -eq 3 ] || fail "three runs, three verdicts expected"

# A song large enough that its run takes a while; the signal comes as soon as
# the program says it compiles again.
printf '/:200 /:100 c d e f g a b > c < :/ :/\n.include "part.mml"\n' > song.mml
wait_for "compiling again" 3 0.01
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "watch mode ended with status $status"
tail -n 1 out.txt | grep -qx 'Successful\.' || fail "the last run did not finish"
tail -n 1 err.txt | grep -qx 'tuvommlc: stopped watching' || fail "no last word"
same_as_one_off "after the stop signal"
# Only timing decides whether the signal came during the run or just after it;
# either way the files must be whole. Say which, for whoever reads the log.
if [ "$(grep -c "watching [0-9]" err.txt)" -eq 3 ]; then echo "the signal came during the run"; fi
leftover=$(ls -A | grep -vx -e song.mml -e part.mml -e song.vsq -e vsqconvert.log -e out.txt -e err.txt || true)
[ -z "$leftover" ] || fail "files left behind: $leftover"
echo "watch mode followed the source and the included file and stopped cleanly"
