#!/bin/sh
# Watch mode from outside: the program runs with -w in a scratch folder; the
# test changes the source, then a file it includes, then replaces the included
# file by a named pipe and back, and each time waits for the next run and holds
# the VSQ file against a one-off compile of the same files. Then it sends
# SIGTERM while a run of a larger song is under way: the program must finish
# that run, leave complete files and no temporaries, and end with status 0.
# A second program watches a source in a folder that is swapped for another
# (as a checkout does); its included file is a link into a third folder, and
# the file's time says it changed after the first run began. At the end two
# Ctrl-C during a run stop it at once. Waiting is by the program's own lines, polled
# a bounded number of times, so a slow or busy machine only makes the test
# slower; the program's processor time is bounded, should it spin.
# Argument: the program.
set -eu
program=$1
scratch=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
log=out.txt
errors=err.txt
fail() { echo "$*"; echo "--- stdout"; tail -c 4000 "$log"; echo "--- stderr"; cat "$errors"; exit 1; }
ulimit -t 600
mkdir "$scratch/work" "$scratch/reference"
cd "$scratch/work"

# Waits until standard error holds `count` lines that contain `text`, looking
# every `pause` seconds (default 0.1).
wait_for() {
    attempts=0
    while :; do
        lines=$(grep -c "$1" "$errors" 2>/dev/null) || true
        [ "${lines:-0}" -lt "$2" ] || break
        attempts=$((attempts + 1))
        [ "$attempts" -le 3000 ] || fail "no line '$1' number $2"
        sleep "${3:-0.1}"
    done
}

# Compiles the watched files once in another folder and compares the VSQ
# files; $2, when given, is the folder of the watched source.
same_as_one_off() {
    rm -rf "$scratch/reference"
    mkdir "$scratch/reference"
    cp -L "${2:-.}/song.mml" "${2:-.}/part.mml" "$scratch/reference/"
    (cd "$scratch/reference" && "$program" song.mml >/dev/null 2>&1) || fail "one-off compile failed"
    cmp "${2:-.}/song.vsq" "$scratch/reference/song.vsq" || fail "$1: the watched run wrote another file"
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

# An included file replaced by a named pipe: refused at once, never waited for.
rm part.mml
mkfifo part.mml
wait_for "watching [0-9]" 4
grep -q "part.mml : Illegal seek" out.txt || fail "the named pipe was not refused"
tail -n 1 out.txt | grep -qx 'Failed\.' || fail "the run with a named pipe did not fail"
rm part.mml
printf 'e f g a\n' > part.mml
wait_for "watching [0-9]" 5
same_as_one_off "after the named pipe went"

# A song large enough that its run takes a while; the signal comes as soon as
# the program says it compiles again.
printf '/:200 /:100 c d e f g a b > c < :/ :/\n.include "part.mml"\n' > song.mml
wait_for "compiling again" 5 0.01
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
if [ "$(grep -c "watching [0-9]" err.txt)" -eq 5 ]; then echo "the signal came during the run"; fi
leftover=$(ls -A | grep -vx -e song.mml -e part.mml -e song.vsq -e vsqconvert.log -e out.txt -e err.txt || true)
[ -z "$leftover" ] || fail "files left behind: $leftover"

# The second program: box/song.mml includes box/part.mml, a link into real/.
mkdir "$scratch/second" "$scratch/second/box" "$scratch/second/real"
cd "$scratch/second"
log=out2.txt
errors=err2.txt
printf 't120 l4 c d\n.include "part.mml"\n' > box/song.mml
printf 'e "[a][i][u]"\n' > real/part.mml
ln -s ../real/part.mml box/part.mml
# The included file's time says it was saved after the first run began, as a
# save during the first run would: the first run is followed by a second.
touch -d '+1 hour' real/part.mml
"$program" -w box/song.mml >out2.txt 2>err2.txt &
pid=$!
wait_for "watching [0-9]" 2
grep -q "box/part.mml changed" err2.txt || fail "a save during the first run was lost"

printf 'e f "[a][i][u][e]"\n' > real/part.mml
wait_for "watching [0-9]" 3
grep -q "box/part.mml changed" err2.txt || fail "the change behind the link was not named"
same_as_one_off "after the file behind the link changed" box

# The folder swapped for another, as a checkout or an unpacking does.
mv box box.old
mkdir box
printf 't90 l8 c d\n.include "part.mml"\n' > box/song.mml
ln -s ../real/part.mml box/part.mml
wait_for "watching [0-9]" 4
same_as_one_off "after the folder was swapped" box

# The old source, moved away with its folder, is no longer watched: the next
# change named is the included file's.
printf 'c c c\n' > box.old/song.mml
printf 'g "[o]"\n' > real/part.mml
wait_for "watching [0-9]" 5
grep 'changed; compiling again' err2.txt | tail -n 1 | grep -q "box/part.mml changed" ||
    fail "the moved-away source was still watched"
same_as_one_off "after the moved-away source changed" box

# Two Ctrl-C during a run: the first lets it finish, the second stops at once.
printf '/:1000 /:1000 c :/ :/\n' > box/song.mml
wait_for "compiling again" 5 0.01
kill -INT "$pid"
wait_for "a second Ctrl-C stops at once" 1 0.01
kill -INT "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 130 ] || fail "two Ctrl-C ended watch mode with status $status"
! grep -q "stopped watching" err2.txt || fail "the second Ctrl-C waited for the run"
leftover=$(find . -name 'tuvo-*' | head -n 1)
[ -z "$leftover" ] || fail "files left behind: $leftover"
echo "watch mode followed the source, the included file, a link, a swapped folder and a named pipe, and stopped cleanly"
