#!/usr/bin/env python3
"""The sung preview measured from outside: each song is compiled with -a (the
WAV file) and -m (the MIDI file, read with mido for the notes' times and the
pitch each should sound: note, bend and vibrato), and the WAV file is measured
with an autocorrelation pitch tracker of its own (numpy).

Checks: the file lasts as long as the song; every sung note's median pitch
within 25 cents of the pitch the MIDI file plays; a vowel's sound starting
within 30 ms of its note and over by its end; silence in rests; a vibrato's
depth and rate within 20% of the MIDI file's; the peak between -6 and -1
dBFS; two tracks sung with voices that sound apart.

Portamento, which the MIDI file does not carry, is measured against the
manual's mapping: a note gliding in starts near the note before and is at its
own pitch once the glide's length is over; one gliding out has moved most of
the way to the next note by its end; the rest of each note, and every note
without portamento, is steady at its pitch. Breathiness: the breath noise's
share (the voice's aperiodic part) grows with @BRE, and a breathy note is
still sung at its pitch.

With the example song given too, its WAV file is read for distinct
syllables: the sound dips to half its level or less between most notes of
its first track.

usage: check_sung_preview.py PROGRAM [EXAMPLE_SONG]
"""
import os
import resource
import subprocess
import sys
import tempfile
import wave

import mido
import numpy as np

FRAME = 0.03   # seconds of a pitch frame
HOP = 0.005
LOWEST_HZ, HIGHEST_HZ = 55.0, 1400.0
CPU_SECONDS = 120

SONGS = {
    # Held notes, a rest, a wide leap up and down, without vibrato.
    "held": 't120 @VIB0 l2 o4 c e g r o5 c o3 c "あいうえお"',
    # Fast notes and a tempo change.
    "fast": 't150 @VIB0 l16 o4 cdefgfed t75 l8 cege l4 c "あいうえおえいうあえいえあ"',
    # A held vowel (the long-vowel mark) and a pitch-bend curve two
    # semitones up, and a bend ramp.
    "bends": 't120 @VIB0 @PBS2 l2 o4 c c @PIT8191 d @PIT0 e "あーいう"',
    # Vibrato from a quarter note into each half note.
    "vibrato": 't100 @VIB1,480 l1 o4 c r4 @VIB5,480 a "あい"',
    # Two tracks, one after the other on the same syllable, then together.
    "tracks": '1 t120 @VIB0 l2 o4 c r r c "ああ"\n2 @VIB0 l2 o4 r c r g "ああ"',
}

# Portamento: each song, the bend length it sings with, and for each note the
# share of the step to the note before it glides in from and of the step to
# the note after it glides out to (0 for none).
GLIDES = {
    "glide-in": ('t120 @VIB0 @Z1,50,1 l2 o4 c g c "あいう"', 50, [(0, 0), (1, 0), (1, 0)]),
    "glide-out": ('t120 @VIB0 @Z1,50,2 l2 o4 c g c "あいう"', 50, [(0, 1), (0, 1), (0, 0)]),
    # Gliding on both sides of a meeting, each half the step.
    "glide-both": ('t120 @VIB0 @Z1,30,3 l2 o4 c o3 a "あい"', 30, [(0, 0.5), (0.5, 0)]),
    # A join glides in, over the shortest glide (bend length 0).
    "joined": ('t120 @VIB0 l2 o4 c&g "あい"', 0, [(0, 0), (1, 0)]),
    # No portamento use, or a rest between: no glide.
    "no-glide": ('t120 @VIB0 @Z1,50,0 l2 o4 c @Z2,2 g r4 @Z2,3 c "あいう"', 50, [(0, 0)] * 3),
}
# The manual's glide length, in seconds, and the stretcher's lag behind it.
GLIDE_SHORTEST, GLIDE_PER_STEP, GLIDE_LAG = 0.060, 0.0034, 0.03

# Breathiness: one note at each level, in rising order.
BREATH = [0, 64, 127]

# Hostile songs: each must finish within the processor time and give a file
# that does not clip.
HOSTILE = {
    "singers": "\n".join([f'@SGR0,{k},"S{k}"' for k in range(32)] +
                         [f'{k + 1} @"S{k}" t120 l8 o4 cdefgab "あいうえおかき"' for k in range(32)]),
    "ticks": "t120 o4 " + "c*1d*1 " * 20000 + ' c4 "あ"',
    "extreme-pit": 't120 @PBS24 l4 o4 @PIT8191 cc @PIT-8192 cc o1 c o8 c "ああああああ"',
}


def run(program, folder, name, text):
    source = os.path.join(folder, name + ".mml")
    with open(source, "wb") as out:
        out.write((text + "\n").encode("cp932"))
    return run_source(program, folder, name, source)


def run_source(program, folder, name, source):
    wav, mid = source[:-4] + ".wav", source[:-4] + ".mid"
    limit = lambda: resource.setrlimit(resource.RLIMIT_CPU, (CPU_SECONDS, CPU_SECONDS))
    result = subprocess.run([program, "-a", wav, "-m", mid, source], cwd=folder,
                            capture_output=True, preexec_fn=limit)
    if result.returncode != 0:
        raise SystemExit(f"{name}: exit {result.returncode}\n{result.stdout.decode(errors='replace')}"
                         f"{result.stderr.decode(errors='replace')}")
    with wave.open(wav) as w:
        rate = w.getframerate()
        assert w.getnchannels() == 1 and w.getsampwidth() == 2
        samples = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(float) / 32768
    return rate, samples, read_notes(mid)


def read_notes(path):
    """The notes of each channel: start and end in seconds, note number, and
    the bend timeline in cents [(seconds, cents)] of their channel."""
    notes, bends, ranges, rpn, sounding = [], {}, {}, {}, {}
    now = 0.0
    for message in mido.MidiFile(path):
        now += message.time
        if not hasattr(message, "channel"):
            continue
        ch = message.channel
        bends.setdefault(ch, [(0.0, 0.0)])
        if message.type == "control_change":
            if message.control in (100, 101):
                rpn[(ch, message.control)] = message.value
            elif message.control == 6 and rpn.get((ch, 100)) == 0 and rpn.get((ch, 101)) == 0:
                ranges[ch] = message.value
        elif message.type == "pitchwheel":
            bends[ch].append((now, message.pitch * ranges.get(ch, 2) * 100 / 8192))
        elif message.type == "note_on" and message.velocity > 0:
            sounding[ch] = (now, message.note)
        elif message.type in ("note_off", "note_on") and ch in sounding:
            start, note = sounding.pop(ch)
            notes.append({"channel": ch, "start": start, "end": now, "note": note})
    for note in notes:
        note["bends"] = bends[note["channel"]]
    return sorted(notes, key=lambda n: n["start"])


def expected_cents(note, t):
    bend = 0.0
    for at, cents in note["bends"]:
        if at > t + 1e-9:
            break
        bend = cents
    return note["note"] * 100 + bend


def pitch(frame, rate):
    """The frame's pitch in cents (69 · 100 at 440 Hz), or None when unvoiced."""
    x = frame - frame.mean()
    n = len(x)
    c = np.fft.irfft(np.abs(np.fft.rfft(x, 2 * n)) ** 2)[:n]
    if c[0] <= 0:
        return None
    # Unbiased: each lag over the samples it overlaps.
    c = c / c[0] * n / (n - np.arange(n))
    lo, hi = int(rate / HIGHEST_HZ), int(rate / LOWEST_HZ)
    seg = c[lo:hi]
    top = seg.max()
    if top < 0.6:
        return None
    for i in range(1, len(seg) - 1):
        if seg[i] >= 0.9 * top and seg[i] >= seg[i - 1] and seg[i] >= seg[i + 1]:
            lag = i + lo
            y0, y1, y2 = c[lag - 1], c[lag], c[lag + 1]
            curve = y0 - 2 * y1 + y2
            lag += 0.5 * (y0 - y2) / curve if curve < 0 else 0
            return 6900 + 1200 * np.log2(rate / lag / 440)
    return None


def frames(samples, rate, start, end):
    """(centre time, rms, cents or None) of frames centred within start..end."""
    size, out = int(FRAME * rate), []
    t = start
    while t <= end:
        a = int((t - FRAME / 2) * rate)
        frame = samples[max(a, 0):max(a, 0) + size]
        if len(frame) == size:
            rms = float(np.sqrt((frame ** 2).mean()))
            out.append((t, rms, pitch(frame, rate) if rms > 1e-3 else None))
        t += HOP
    return out


def zero_crossings(values):
    centred = np.asarray(values) - np.median(values)
    return int(np.sum(np.abs(np.diff(np.sign(centred))) > 0))


def check_song(name, rate, samples, notes, failures):
    def fail(text):
        failures.append(f"{name}: {text}")

    last_end = max(n["end"] for n in notes)
    length = len(samples) / rate
    if abs(length - (last_end + 0.2)) > 0.05:
        fail(f"lasts {length:.3f} s for a song ending at {last_end:.3f} s")
    peak = 20 * np.log10(np.abs(samples).max())
    if not -6 <= peak <= -1:
        fail(f"peak {peak:.2f} dBFS")
    alone = [n for n in notes if not any(o is not n and o["start"] < n["end"] and n["start"] < o["end"]
                                         for o in notes)]
    for n in alone:
        where = f"note {n['note']} at {n['start']:.3f} s"
        body = [f for f in frames(samples, rate, n["start"] + 0.04, n["end"] - 0.02) if f[2] is not None]
        if len(body) < 3:
            fail(f"{where}: not sung")
            continue
        # A frame an octave or more away is the tracker's octave error; a few
        # are allowed (two in a short note, where frames reach the next), not many.
        kept = [f for f in body if abs(f[2] - expected_cents(n, f[0])) < 600]
        if len(body) - len(kept) > max(2, 0.1 * len(body)):
            fail(f"{where}: {len(body) - len(kept)} of {len(body)} frames an octave or more off")
        body = kept or body
        diffs = [f[2] - expected_cents(n, f[0]) for f in body]
        if abs(np.median(diffs)) > 25:
            fail(f"{where}: median pitch {np.median(diffs):+.1f} cents off")
        # Its start and end where silence is on that side (a legato note
        # begins where the one before ends).
        before = max([o["end"] for o in notes if o["end"] <= n["start"]], default=-1.0)
        after = min([o["start"] for o in notes if o["start"] >= n["end"]], default=length)
        around = frames(samples, rate, max(n["start"] - 0.05, FRAME / 2), n["end"] + 0.05)
        loudest = max(f[1] for f in around)
        loud = [f[0] for f in around if f[1] > 0.1 * loudest]
        if n["start"] - before >= 0.05 and abs(loud[0] - FRAME / 2 - n["start"]) > 0.03:
            fail(f"{where}: sound starts at {loud[0] - FRAME / 2:.3f} s")
        if after - n["end"] >= 0.05 and loud[-1] + FRAME / 2 > n["end"] + 0.03:
            fail(f"{where}: sound lasts to {loud[-1] + FRAME / 2:.3f} s, past {n['end']:.3f} s")
        wanted = [expected_cents(n, f[0]) for f in body]
        if np.std(wanted) > 10:
            # From the vibrato's start on, the sung curve lightly smoothed.
            moving = [i for i, w in enumerate(wanted) if abs(w - wanted[0]) > 1]
            wanted = wanted[moving[0]:]
            sung = np.convolve([f[2] for f in body[moving[0]:]], np.ones(3) / 3, mode="same")[1:-1]
            wanted = wanted[1:-1]
            depth = np.std(sung) / np.std(wanted)
            rate_ratio = zero_crossings(sung) / max(zero_crossings(wanted), 1)
            if not 0.8 <= depth <= 1.2:
                fail(f"{where}: vibrato depth {depth:.2f} of the MIDI file's")
            if not 0.8 <= rate_ratio <= 1.2:
                fail(f"{where}: vibrato rate {rate_ratio:.2f} of the MIDI file's")
    # Rests: where no note sounds for 100 ms or more.
    times = sorted((n["start"], n["end"]) for n in notes)
    reach = 0.0
    for start, end in times:
        if start - reach >= 0.1:
            quiet = samples[int((reach + 0.03) * rate):int((start - 0.005) * rate)]
            if len(quiet) and np.abs(quiet).max() > 1e-3:
                fail(f"rest {reach:.3f}..{start:.3f} s is not silent")
        reach = max(reach, end)


def check_glides(name, text, bend_length, shares, rate, samples, notes, failures):
    def fail(text):
        failures.append(f"{name}: {text}")

    glide = GLIDE_SHORTEST + GLIDE_PER_STEP * bend_length
    if len(notes) != len(shares):
        fail(f"{len(notes)} notes")
        return
    for i, (n, (into, out)) in enumerate(zip(notes, shares)):
        where = f"note {n['note']} at {n['start']:.3f} s"
        own = n["note"] * 100
        if into:
            step = (notes[i - 1]["note"] - n["note"]) * 100 * into
            first = [f for f in frames(samples, rate, n["start"] + FRAME / 2, n["start"] + FRAME / 2 + 0.02)
                     if f[2] is not None]
            moved = (first[0][2] - own) / step if first else 0
            if not 0.5 <= moved <= 1.25:
                fail(f"{where}: starts {moved:.2f} of the glide from its pitch")
        if out:
            step = (notes[i + 1]["note"] - n["note"]) * 100 * out
            last = [f for f in frames(samples, rate, n["end"] - FRAME, n["end"] - FRAME) if f[2] is not None]
            moved = (last[0][2] - own) / step if last else 0
            if not 0.5 <= moved <= 1.25:
                fail(f"{where}: ends {moved:.2f} of the way to the next note")
        # Steady at its pitch between its glides (frames an octave off are
        # the tracker's, and a few are allowed).
        steady = [f for f in frames(samples, rate, n["start"] + (glide + GLIDE_LAG if into else 0.02),
                                    n["end"] - (glide + FRAME / 2 if out else 0.05)) if f[2] is not None]
        off = [f for f in steady if 40 < abs(f[2] - own) < 600]
        if len(steady) < 10 or len(off) > 2:
            fail(f"{where}: {len(off)} of {len(steady)} frames off its pitch between its glides")


def aperiodic_share(samples, rate, start, end):
    """The median share of a frame's power that does not repeat at its period:
    1 less the unbiased autocorrelation's peak."""
    size, shares = int(FRAME * rate), []
    for t in np.arange(start, end, 0.01):
        x = samples[int(t * rate):int(t * rate) + size]
        x = x - x.mean()
        c = np.fft.irfft(np.abs(np.fft.rfft(x, 2 * size)) ** 2)[:size]
        c = c / c[0] * size / (size - np.arange(size))
        shares.append(1 - c[int(rate / HIGHEST_HZ):int(rate / LOWEST_HZ)].max())
    return float(np.median(shares))


def check_breath(program, folder, failures):
    shares = []
    for level in BREATH:
        name = f"breath{level}"
        rate, samples, notes = run(program, folder, name, f't120 @VIB0 @BRE{level} l1 o4 c "あ"')
        check_song(name, rate, samples, notes, failures)
        shares.append(aperiodic_share(samples, rate, notes[0]["start"] + 0.2, notes[0]["end"] - 0.2))
    rising = all(a < b for a, b in zip(shares, shares[1:]))
    if not rising or shares[-1] < 4 * shares[0] or shares[-1] < 0.1:
        failures.append("breath: noise shares " + ", ".join(f"{s:.3f}" for s in shares) +
                        " for @BRE " + ", ".join(map(str, BREATH)))


def spectrum(samples, rate, start, end):
    part = samples[int(start * rate):int(end * rate)]
    return np.log(np.abs(np.fft.rfft(part * np.hanning(len(part)))) + 1e-6)


def check_syllables_distinct(rate, samples, notes, failures):
    def level(t):
        part = samples[max(int(t * rate), 0):int((t + 0.01) * rate)]
        return float(np.sqrt((part ** 2).mean())) if len(part) else 0.0

    first = [n for n in notes if n["channel"] == 0][:16]
    dips = 0
    for note, after in zip(first, first[1:]):
        body = np.median([level(t) for t in np.arange(note["start"] + 0.05, note["end"] - 0.05, 0.01)])
        low = min(level(t) for t in np.arange(after["start"] - 0.05, after["start"] + 0.05, 0.005))
        dips += low <= 0.5 * body
    if dips < 0.8 * (len(first) - 1):
        failures.append(f"example: only {dips} of {len(first) - 1} syllables stand apart")


def main():
    program = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        for name, text in HOSTILE.items():
            _, samples, _ = run(program, folder, name, text)
            if np.abs(samples).max() > 10 ** (-1 / 20):
                failures.append(f"{name}: peak above -1 dBFS")
        # Over an hour of song is refused, and nothing is written.
        long_song = os.path.join(folder, "long.mml")
        with open(long_song, "w") as out:
            out.write("t20 c*2000000000\n")
        refused = subprocess.run([program, "-a", "long.wav", long_song], cwd=folder, capture_output=True)
        if refused.returncode == 0 or os.path.exists(os.path.join(folder, "long.wav")):
            failures.append("long: a song of days was not refused")
        if len(sys.argv) > 2:
            with open(sys.argv[2], "rb") as song:
                text = song.read().decode("cp932")
            check_syllables_distinct(*run(program, folder, "example", text), failures)
        for name, text in SONGS.items():
            rate, samples, notes = run(program, folder, name, text)
            check_song(name, rate, samples, notes, failures)
            if name == "tracks":
                # The same syllable on the same note by each track.
                first, second = spectrum(samples, rate, 0.2, 0.9), spectrum(samples, rate, 1.2, 1.9)
                if np.corrcoef(first, second)[0, 1] > 0.95:
                    failures.append("tracks: the two tracks' voices sound alike")
        for name, (text, bend_length, shares) in GLIDES.items():
            check_glides(name, text, bend_length, shares, *run(program, folder, name, text), failures)
        check_breath(program, folder, failures)
    for failure in failures:
        print(failure)
    print(f"{len(SONGS)} songs, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
