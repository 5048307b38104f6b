#!/usr/bin/env python3
"""Generates a large, realistic MML song for benchmarking the compiler.

The song is deterministic for a seed. Every track is a sequence of bars of
4/4; each bar holds notes with lengths, dots and ties, and rests, followed by
one kana lyric whose syllables match the bar's notes. Bars are grouped into
loops with exits; tempo, velocity, vibrato, curve ramps and envelopes change
now and then. The output is code page 932, like any hand-written song.

With --variety the song uses more of the language, for the importer's round
trip: a second singer and singer changes, tempo changes within the tracks,
time-signature changes in the first track (bars of 3/4 among those of 4/4, so
the other tracks' notes cross bar lines), gates, joins, notes split by "&",
long-vowel marks, small "tsu", note parameters, parameter envelopes and the
other curves.
"""
import argparse
import random
import sys

SYLLABLES = ("あ い う え お か き く け こ さ し す せ そ た ち つ て と な に ぬ ね の "
             "は ひ ふ へ ほ ま み む め も や ゆ よ ら り る れ ろ わ を ん が ぎ ぐ げ ご "
             "ざ じ ず ぜ ぞ だ で ど ば び ぶ べ ぼ ぱ ぴ ぷ ぺ ぽ きゃ しゅ ちょ にゃ りょ "
             "ア イ ウ エ オ カ キ ク ケ コ サ シ ス セ ソ タ チ ツ テ ト ファ ティ ウィ").split()

# The accidentals each letter can take (a sharp or flat must land on a black key).
ACCIDENTALS = {"c": ("+",), "d": ("+", "-"), "e": ("-",), "f": ("+",),
               "g": ("+", "-"), "a": ("+", "-"), "b": ("-",)}

# Bar rhythms in ticks (480 per quarter) spelled as MML lengths; each sums to 1920.
RHYTHMS = [
    ["4", "4", "4", "4"],
    ["8", "8", "4", "4", "4"],
    ["4.", "8", "2"],
    ["2", "4", "8", "8"],
    ["8", "8", "8", "8", "8", "8", "4"],
    ["4^8", "8", "2"],
    ["16", "16", "8", "4", "2"],
]
# Bars of 3/4 for --variety: each sums to 1440.
RHYTHMS_3_4 = [["4", "4", "4"], ["2", "4"], ["4.", "8", "4"], ["8", "8", "8", "8", "4"]]


class Track:
    def __init__(self, rng, number, variety=False):
        self.rng = rng
        self.number = number
        self.octave = 4
        self.out = []
        self.variety = variety
        self.three_four = False  # the first track's bars of 3/4 (--variety)

    def bar(self, in_loop=False):
        """One bar: notes and maybe a rest, then the lyric. Returns its note count."""
        rng = self.rng
        parts = []
        notes = 0
        # A time signature copied by a loop would fall in mid-bar after the exit.
        if self.variety and self.number == 1 and not in_loop and rng.random() < 0.05:
            self.three_four = not self.three_four
            parts.append("@M3,4 " if self.three_four else "@M4,4 ")
        rhythm = rng.choice(RHYTHMS_3_4 if self.three_four else RHYTHMS)
        rest_at = rng.randrange(len(rhythm)) if rng.random() < 0.2 and len(rhythm) > 2 else -1
        for i, length in enumerate(rhythm):
            if i == rest_at:
                parts.append("r" + length)
                continue
            step = rng.choice((-1, 0, 0, 0, 1))
            if step < 0 and self.octave > 3:
                parts.append("<")
                self.octave -= 1
            elif step > 0 and self.octave < 5:
                parts.append(">")
                self.octave += 1
            letter = rng.choice("cdefgab")
            accidental = rng.choice(("", "", "") + ACCIDENTALS[letter])
            join = "&" if self.variety and notes > 0 and i - 1 != rest_at and rng.random() < 0.1 else ""
            parts.append(join + letter + accidental + length)
            notes += 1
        syllables = [rng.choice(SYLLABLES) for _ in range(notes)]
        if self.variety:
            for i in range(1, notes):
                if rng.random() < 0.08:
                    syllables[i] = "ー"
                elif rng.random() < 0.04:
                    syllables[i] += "っ"
            # The last note is at least a sixteenth, long enough to split.
            if notes > 0 and rng.random() < 0.1:
                syllables[-1] += "&" + rng.choice(SYLLABLES)
        lyric = "".join(syllables)
        self.out.append("".join(parts) + ' "' + lyric + '"\n')
        return notes

    def settings(self):
        rng = self.rng
        choice = rng.randrange(6)
        if choice == 0:
            self.out.append("@VEL%d\n" % rng.randrange(40, 120))
        elif choice == 1:
            self.out.append("@VIB%d,%d\n" % (rng.randrange(0, 17), rng.choice((120, 160, 240))))
        elif choice == 2:
            self.out.append("@DYN%d,0,%d,1,%d,0,-1,0\n"
                            % (rng.randrange(30, 127), rng.choice((240, 480, 960)), rng.randrange(30, 127)))
        elif choice == 3:
            self.out.append("@PIT%d,0,240,1,0,240,240,1\n" % rng.randrange(-2000, 2000))
        elif choice == 4:
            self.out.append("@LE1,1,%d\n" % rng.randrange(0, 3))
        else:
            self.out.append("@BRE%d\n" % rng.randrange(0, 60))
        if self.variety:
            self.more_settings()

    def more_settings(self):
        rng = self.rng
        choice = rng.randrange(9)
        if choice == 0:
            self.out.append("@\"%s\"\n" % rng.choice(("Tuvo", "Mizu")))
        elif choice == 1:
            self.out.append("t%d\n" % rng.randrange(60, 200))
        elif choice == 2:
            self.out.append("q%d\n" % rng.randrange(5, 9))
        elif choice == 3:
            self.out.append("@Z3,%d,%d\n" % (rng.randrange(0, 101), rng.randrange(0, 101)))
        elif choice == 4:
            self.out.append("@EOP1,1,0,%d,240,0,240\n" % rng.randrange(-30, 30))
        elif choice == 5:
            curve = rng.choice(("GEN", "OPE", "CLE", "POR", "BRI"))
            self.out.append("@%s%d,0,%d,1\n" % (curve, rng.randrange(0, 128), rng.choice((120, 480))))
        elif choice == 6:
            self.out.append("@PBS%d\n" % rng.randrange(1, 13))
        elif choice == 7:
            self.out.append("@LE6,1,%d\n" % rng.randrange(0, 3))
        else:
            self.out.append("@Z0,%d\n" % rng.randrange(0, 101))


def generate(notes_wanted, track_count, seed, variety=False):
    rng = random.Random(seed)
    head = ["; Benchmark song: %d notes in %d tracks, seed %d\n" % (notes_wanted, track_count, seed),
            "@DE1,0,0,0,30,20,100,0\n", "@DE2,1,0,-10,120,0\n",
            "@SGR0,0,\"Tuvo\"\n"]
    if variety:
        head.append("@SGR0,1,\"Mizu\"\n")
    body = []
    per_track = notes_wanted // track_count
    for number in range(1, track_count + 1):
        track = Track(rng, number, variety)
        track.out.append("%d\n@\"Tuvo\" o4 l4 t%d @LE1,1,1\n" % (number, rng.randrange(90, 150)))
        made = 0
        while made < per_track:
            if rng.random() < 0.3:
                track.settings()
            if rng.random() < 0.25 and per_track - made > 40:
                # A loop of a few bars with an exit before the last one.
                count = rng.randrange(2, 4)
                bars_before = rng.randrange(1, 3)
                saved_octave = track.octave
                track.out.append("/:%d\n" % count)
                before = sum(track.bar(True) for _ in range(bars_before))
                track.out.append("/\n")
                after = track.bar(True)
                track.out.append(":/\n")
                # Every pass returns to the octave the loop began with.
                shift = track.octave - saved_octave
                track.out.append(("<" * shift if shift > 0 else ">" * -shift) + "\n")
                track.octave = saved_octave
                made += count * before + (count - 1) * after
            else:
                made += track.bar()
        body.append("".join(track.out))
    return "".join(head) + "".join(body)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--notes", type=int, default=10000)
    parser.add_argument("--tracks", type=int, default=4)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--variety", action="store_true",
                        help="use more of the language (singers, metres, splits, joins, ...)")
    parser.add_argument("-o", "--output", default="-")
    args = parser.parse_args()
    if not 1 <= args.tracks <= 32:
        parser.error("--tracks must lie in 1..32")
    data = generate(args.notes, args.tracks, args.seed, args.variety).encode("cp932")
    if args.output == "-":
        sys.stdout.buffer.write(data)
    else:
        with open(args.output, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
