#!/usr/bin/python3
"""Imports the MIDI file, the OpenUtau project and the UTAU sequences the
program exports, compiles the printed MML again with the same exports, and
holds the two exports against each other with independent readers (mido,
PyYAML and a small INI reader).

Usage: reimport_exports.py PROGRAM SOURCE_DIR

The songs: the example song, every song example of the manual and one
generated song (bench/gen_song.py --variety). What is compared:
- MIDI file: tempos and time signatures; each track's notes (start, length,
  note number, velocity) and lyrics exactly; while a note sounds, the
  expression exactly at every tick where either file changes it, and the pitch
  bend, in cents, within half a cent (the bend range grows by one semitone on
  the way back).
- project: tempos, time signatures; notes (position, duration, tone, lyric,
  velocity, attack, decay, vibrato) exactly, a held vowel written as the
  extender "+" or as the kana of its vowel counting as the same lyric (the
  project holds how long a note sounds, not how long it was written, and the
  extender follows a note written to touch it); the dyn, pitd, brec and genc
  lines within one unit at every point of either.
- sequences: each note's length, lyric, note number, Intensity, Velocity and
  vibrato exactly, and its start in milliseconds within what the import's
  rounding of tempos to whole beats a minute moves it (a note with a tempo of
  its own, in hundredths, lasts its time in the song); the pitch line within
  one tenth of a semitone at every point of either.
"""
import bisect
import os
import shutil
import subprocess
import sys
import tempfile

import mido
import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roundtrip import document_songs  # noqa: E402


def fail(where, text):
    raise AssertionError(f'{where}: {text}')


def run(program, args, cwd):
    result = subprocess.run([program, *args], cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        fail(cwd, ' '.join(args) + ' failed: ' + result.stdout.decode('cp932', 'replace')[-500:])


# --- MIDI files --------------------------------------------------------------

def read_midi(path):
    midi = mido.MidiFile(path)
    tempos, metres, tick = [], [], 0
    for event in midi.tracks[0]:
        tick += event.time
        if event.type == 'set_tempo':
            tempos.append((tick, event.tempo))
        elif event.type == 'time_signature':
            metres.append((tick, event.numerator, event.denominator))
    tracks = []
    for track in midi.tracks[1:]:
        notes, lyrics, sounding = [], {}, {}
        bends, expressions, rpn, ranges = [], [], [None, None], []
        tick = 0
        for event in track:
            tick += event.time
            if event.type == 'note_on' and event.velocity > 0:
                sounding[event.note] = (tick, event.velocity)
            elif event.type in ('note_off', 'note_on') and event.note in sounding:
                start, velocity = sounding.pop(event.note)
                notes.append((start, tick - start, event.note, velocity))
            elif event.type == 'lyrics':
                lyrics[tick] = event.text.encode('latin-1')
            elif event.type == 'pitchwheel':
                bends.append((tick, event.pitch))
            elif event.type == 'control_change':
                if event.control == 101:
                    rpn[0] = event.value
                elif event.control == 100:
                    rpn[1] = event.value
                elif event.control == 6 and rpn == [0, 0]:
                    ranges.append((tick, event.value))
                elif event.control == 11:
                    expressions.append((tick, event.value))
        notes.sort()
        tracks.append({'notes': notes, 'lyrics': lyrics, 'bends': bends, 'ranges': ranges,
                       'expressions': expressions})
    return tempos, metres, tracks


def step_value(points, tick, default):
    """The value of a step curve of (tick, value) points in time order at
    `tick`: the last point at or before it."""
    index = bisect.bisect_right(points, tick, key=lambda point: point[0]) - 1
    return points[index][1] if index >= 0 else default


def cents(track, tick):
    bend = step_value(track['bends'], tick, 0)
    semitones = step_value(track['ranges'], tick, 2)
    return bend * semitones * 100 / 8192


def compare_midi(where, first, second):
    if first[0] != second[0] or first[1] != second[1]:
        fail(where, 'the tempo map differs')
    if len(first[2]) != len(second[2]):
        fail(where, f'{len(first[2])} tracks, then {len(second[2])}')
    for number, (a, b) in enumerate(zip(first[2], second[2]), 1):
        at = f'{where} track {number}'
        if a['notes'] != b['notes']:
            fail(at, 'the notes differ')
        # A note without a lyric event sings the default syllable.
        default = 'ら'.encode('cp932')
        for start, _, _, _ in a['notes']:
            if a['lyrics'].get(start, default) != b['lyrics'].get(start, default):
                fail(at, f'the lyric of the note at tick {start} differs')
        # What sounds: the controllers while a note sounds.
        starts = [start for start, _, _, _ in a['notes']]
        ends = [start + length for start, length, _, _ in a['notes']]

        def heard(tick):
            i = bisect.bisect_right(starts, tick) - 1
            return i >= 0 and tick < ends[i]

        ticks = sorted({t for t, _ in a['expressions'] + b['expressions'] if heard(t)})
        for tick in ticks:
            # Without expression a channel plays at the normal level, written as 100.
            if step_value(a['expressions'], tick, 100) != step_value(b['expressions'], tick, 100):
                fail(at, f'the expression differs at tick {tick}')
        ticks = sorted({t for t, _ in a['bends'] + b['bends'] + a['ranges'] + b['ranges'] if heard(t)})
        for tick in ticks:
            if abs(cents(a, tick) - cents(b, tick)) > 0.5:
                fail(at, f'the pitch differs at tick {tick}: {cents(a, tick):.2f} and {cents(b, tick):.2f} cents')


# --- OpenUtau projects ---------------------------------------------------------

def line_value(xs, ys, tick):
    """The value of straight lines through the points (xs sorted) at `tick`; 0
    outside them."""
    if not xs or tick < xs[0] or tick > xs[-1]:
        return 0
    i = bisect.bisect_right(xs, tick) - 1
    if i >= len(xs) - 1 or xs[i + 1] == xs[i]:
        return ys[min(i + 1, len(xs) - 1)] if i < len(xs) - 1 else ys[-1]
    return ys[i] + (ys[i + 1] - ys[i]) * (tick - xs[i]) / (xs[i + 1] - xs[i])


def read_ustx(path):
    with open(path, encoding='utf-8') as text:
        project = yaml.safe_load(text)
    parts = []
    for part in project.get('voice_parts') or []:
        notes = []
        for note in part.get('notes') or []:
            expressions = {e['abbr']: e['value'] for e in note.get('phoneme_expressions') or [] if e['index'] == 0}
            vibrato = note.get('vibrato') or {}
            notes.append((note['position'], note['duration'], note['tone'], note['lyric'],
                          tuple(sorted(expressions.items())),
                          tuple(vibrato.get(k, 0) for k in ('length', 'period', 'depth')) if vibrato.get('length') else ()))
        curves = {c['abbr']: (c['xs'], c['ys']) for c in part.get('curves') or []}
        parts.append((part['position'], notes, curves))
    return project.get('tempos'), project.get('time_signatures'), parts


HELD_VOWELS = ('あ', 'い', 'う', 'え', 'お', 'ん')


def same_note(a, b):
    """Project notes alike, the extender and a held vowel's kana counting as one lyric."""
    lyrics = {a[3], b[3]}
    held = len(lyrics) == 2 and '+' in lyrics and (lyrics - {'+'}).pop() in HELD_VOWELS
    return a[:3] == b[:3] and a[4:] == b[4:] and (a[3] == b[3] or held)


def compare_ustx(where, first, second):
    if first[0] != second[0] or first[1] != second[1]:
        fail(where, 'the tempos or time signatures differ')
    if len(first[2]) != len(second[2]):
        fail(where, 'the number of voice parts differs')
    for number, (a, b) in enumerate(zip(first[2], second[2]), 1):
        at = f'{where} part {number}'
        if a[0] != b[0] or len(a[1]) != len(b[1]) or not all(map(same_note, a[1], b[1])):
            fail(at, 'the notes differ')
        for abbr in ('dyn', 'pitd', 'brec', 'genc'):
            xa, ya = a[2].get(abbr, ([], []))
            xb, yb = b[2].get(abbr, ([], []))
            for tick in sorted(set(xa + xb)):
                if abs(line_value(xa, ya, tick) - line_value(xb, yb, tick)) > 1:
                    fail(at, f'{abbr} differs at tick {tick}')


# --- UTAU sequences ------------------------------------------------------------

def read_ust(path):
    with open(path, 'rb') as data:
        lines = data.read().decode('cp932').split('\r\n')
    sections, name = [], None
    for line in lines:
        if line.startswith('[#'):
            name = line
            sections.append((name, {}))
        elif '=' in line and sections:
            key, _, value = line.partition('=')
            sections[-1][1][key] = value
    return sections


def pitch_line(keys, bpm):
    """A note's pitch points as (ticks from its start, tenths of a semitone)."""
    if 'PBS' not in keys:
        return []
    x, _, y = keys['PBS'].replace(',', ';').partition(';')
    points = [(float(x), float(y or 0))]
    widths = [float(w) for w in keys.get('PBW', '').split(',') if w]
    heights = [float(h) if h else 0 for h in keys.get('PBY', '').split(',')] if keys.get('PBY') else []
    for i, width in enumerate(widths):
        points.append((points[-1][0] + width, heights[i] if i < len(heights) else 0))
    return [(ms * bpm * 480 / 60000, height) for ms, height in points]


def held_line_value(xs, ys, tick):
    """A note's pitch line: 0 before its first point, its last value after the last."""
    if xs and tick >= xs[-1]:
        return ys[-1]
    return line_value(xs, ys, tick)


def compare_ust(where, first, second):
    notes = [[s for s in sections if s[0][2:-1].isdigit()] for sections in (first, second)]
    settings = [dict(s[1]) for s in (first, second) for s in s if s[0] == '[#SETTING]']
    if settings[0].get('Tempo') != settings[1].get('Tempo'):
        fail(where, 'the tempo differs')
    if len(notes[0]) != len(notes[1]):
        fail(where, f'{len(notes[0])} notes, then {len(notes[1])}')
    bpm = float(settings[0].get('Tempo', 120))
    bpm_b = bpm
    ms_a = ms_b = slack = 0.0
    for number, ((_, a), (_, b)) in enumerate(zip(*notes)):
        at = f'{where} note {number}'
        bpm = float(a.get('Tempo', bpm))
        bpm_b = float(b.get('Tempo', bpm_b))
        for key in ('Length', 'Lyric', 'NoteNum', 'Intensity', 'Velocity', 'VBR'):
            if a.get(key) != b.get(key):
                fail(at, f'{key} differs: {a.get(key)} and {b.get(key)}')
        if abs(ms_a - ms_b) > slack + 0.01:
            fail(at, f'starts at {ms_a:.2f} ms, then at {ms_b:.2f} ms')
        length = int(a['Length'])
        ms_a += length * 125 / bpm
        ms_b += length * 125 / bpm_b
        if bpm != round(bpm):
            slack += length * 125 * 0.5 / (bpm * (bpm - 0.5))
        la, lb = pitch_line(a, bpm), pitch_line(b, bpm)
        for tick in sorted({t for t, _ in la + lb}):
            va = held_line_value([t for t, _ in la], [v for _, v in la], tick)
            vb = held_line_value([t for t, _ in lb], [v for _, v in lb], tick)
            if abs(va - vb) > 1:
                fail(at, f'the pitch differs at tick {tick:.0f}: {va} and {vb}')


# --- the runs ------------------------------------------------------------------

def export_args(stem):
    return ['-m', stem + '.mid', '-s', stem + '.ustx', '-t', stem + '.ust']


def ust_files(work, stem):
    return sorted((f for f in os.listdir(work) if f.startswith(stem + '-') and f.endswith('.ust')),
                  key=lambda f: int(f[len(stem) + 1:-4]))


def check_song(program, work, utf8, where):
    run(program, (['-u'] if utf8 else []) + export_args('first') + ['-o', 'first.vsq', 'song.mml'], work)
    # Each sequence is imported on its own: its tempos time its own notes.
    sequences = [('ust', [name]) for name in ust_files(work, 'first')]
    for kind, inputs in [('mid', ['first.mid']), ('ustx', ['first.ustx'])] + sequences:
        mml = f'from-{kind}.mml'
        run(program, ['--import', *inputs, '-o', mml], work)
        dictionary = mml[:-4] + '.dic'
        extra = ['-p', dictionary] if os.path.exists(os.path.join(work, dictionary)) else []
        run(program, extra + export_args(kind) + ['-o', kind + '.vsq', mml], work)
        at = f'{where} ({kind})'
        if kind == 'mid':
            compare_midi(at, read_midi(os.path.join(work, 'first.mid')), read_midi(os.path.join(work, 'mid.mid')))
        elif kind == 'ustx':
            compare_ustx(at, read_ustx(os.path.join(work, 'first.ustx')), read_ustx(os.path.join(work, 'ustx.ustx')))
        else:
            again = ust_files(work, 'ust')
            if len(again) != 1:
                fail(at, f'{inputs[0]} gave {len(again)} sequences')
            compare_ust(f'{at} {inputs[0]}', read_ust(os.path.join(work, inputs[0])),
                        read_ust(os.path.join(work, again[0])))
            os.remove(os.path.join(work, again[0]))


def main():
    program, source_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    songs = [(name, source, files, True) for name, source, files in document_songs(os.path.join(source_dir, 'doc'))]
    with open(os.path.join(source_dir, 'examples', 'song.mml'), 'rb') as example:
        songs.append(('examples/song.mml', example.read(), [], False))
    generated = subprocess.run([sys.executable, os.path.join(source_dir, 'bench', 'gen_song.py'), '--notes', '2000',
                                '--seed', '7', '--variety'], check=True, stdout=subprocess.PIPE).stdout
    songs.append(('a generated song', generated, [], False))
    checked = 0
    for name, source, files, utf8 in songs:
        work = tempfile.mkdtemp()
        try:
            for file_name, text in files + [('song.mml', source)]:
                with open(os.path.join(work, file_name), 'wb') as out:
                    out.write(text.encode('utf-8') if utf8 else text)
            compiled = subprocess.run([program] + (['-u'] if utf8 else []) + ['-o', 'probe.vsq', 'song.mml'],
                                      cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if compiled.returncode != 0:
                continue
            check_song(program, work, utf8, name)
            checked += 1
        finally:
            shutil.rmtree(work)
    if checked < 10:
        fail(source_dir, f'only {checked} songs were checked')
    print(f'{checked} songs: their MIDI files, projects and sequences import and export again the same')


if __name__ == '__main__':
    main()
