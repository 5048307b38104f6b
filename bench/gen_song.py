#!/usr/bin/env python3
"""Generates a large, realistic MML song for benchmarking the compiler.

The song is deterministic for a seed. Every track is a sequence of bars of
4/4; each bar holds notes with lengths, dots and ties, and rests, followed by
one kana lyric whose syllables match the bar's notes. Bars are grouped into
loops with exits; tempo, velocity, vibrato, curve ramps and envelopes change
now and then. The output is code page 932, like any hand-written song.

With --varied the song also changes its metre (inside a bar at times), its
tempo, gate and singer now and then, sets more curves and parameter
envelopes, and its lyrics hold vowels, split notes and shorten them with a
small "tsu": a song for comparing builds on every feature, not for timing.
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


METRES = ("@M3,4", "@M4,4", "@M6,8", "@M5,8", "@M2,4", "@M7,16", "@M12,8", "@M2,2")


class Track:
    def __init__(self, rng, number, varied=False):
        self.rng = rng
        self.number = number
        self.varied = varied
        self.octave = 4
        self.out = []

    def bar(self):
        """One bar: notes and maybe a rest, then the lyric. Returns its note count."""
        rng = self.rng
        parts = []
        notes = 0
        rhythm = rng.choice(RHYTHMS)
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
            parts.append(letter + accidental + length)
            notes += 1
        if self.varied:
            lyric = "".join(self.varied_syllable(i) for i in range(notes))
        else:
            lyric = "".join(rng.choice(SYLLABLES) for _ in range(notes))
        self.out.append("".join(parts) + ' "' + lyric + '"\n')
        return notes

    def varied_syllable(self, index):
        """A syllable, or now and then a held vowel, a split or a small "tsu"."""
        rng = self.rng
        roll = rng.random()
        if roll < 0.12 and index > 0:
            return "ー"
        if roll < 0.18:
            return rng.choice(SYLLABLES) + "&" + rng.choice(SYLLABLES)
        if roll < 0.22 and index > 0:
            return "っ" + rng.choice(SYLLABLES)
        return rng.choice(SYLLABLES)

    def varied_settings(self):
        rng = self.rng
        choice = rng.randrange(8)
        if choice == 0:
            self.out.append(rng.choice(METRES) + "\n")
        elif choice == 1:
            self.out.append("t%d\n" % rng.randrange(60, 220))
        elif choice == 2:
            # Gates that leave a sixteenth long enough to split.
            self.out.append("q%d\n" % rng.randrange(6, 9))
        elif choice == 3:
            self.out.append('@"%s"\n' % rng.choice(("Tuvo", "Mizu")))
        elif choice == 4:
            self.out.append("@PBS%d\n" % rng.randrange(1, 13))
        elif choice == 5:
            self.out.append("@GEN%d,0,%d,1\n" % (rng.randrange(0, 128), rng.choice((240, 960))))
        elif choice == 6:
            self.out.append("@EOP%d,%d,%d,%d,%d,%d,%d\n" % (
                rng.randrange(2), rng.choice((1, 2, 6, 8)), rng.randrange(-100, 200),
                rng.randrange(-20, 20), rng.choice((120, 480)), rng.randrange(-20, 20),
                rng.choice((120, 480))))
        else:
            self.out.append("@PIT%d,0,480,1\n" % rng.randrange(4000, 8192))

    def settings(self):
        rng = self.rng
        if self.varied and rng.random() < 0.5:
            self.varied_settings()
            return
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


def generate(notes_wanted, track_count, seed, varied=False):
    rng = random.Random(seed)
    head = ["; Benchmark song: %d notes in %d tracks, seed %d\n" % (notes_wanted, track_count, seed),
            "@DE1,0,0,0,30,20,100,0\n", "@DE2,1,0,-10,120,0\n",
            "@SGR0,0,\"Tuvo\"\n"]
    if varied:
        head.append("@SGR1,1,\"Mizu\"\n")
    body = []
    per_track = notes_wanted // track_count
    for number in range(1, track_count + 1):
        track = Track(rng, number, varied)
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
                before = sum(track.bar() for _ in range(bars_before))
                track.out.append("/\n")
                after = track.bar()
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
    parser.add_argument("-o", "--output", default="-")
    parser.add_argument("--varied", action="store_true",
                        help="also metre, tempo, gate and singer changes, more curves and lyrics "
                             "with held vowels, splits and small tsu")
    args = parser.parse_args()
    if not 1 <= args.tracks <= 32:
        parser.error("--tracks must lie in 1..32")
    data = generate(args.notes, args.tracks, args.seed, args.varied).encode("cp932")
    if args.output == "-":
        sys.stdout.buffer.write(data)
    else:
        with open(args.output, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
