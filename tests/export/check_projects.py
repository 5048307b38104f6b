#!/usr/bin/python3
"""Reads the OpenUtau projects (.ustx) and UTAU sequences (.ust) the program
writes with readers of their own (the YAML package, a small INI reader) and
holds them against the VSQ file of the same run, by the formulas the manual
states.

The sequences are read the way OpenUtau reads them (format notes on the UTAU
sequence, sections 1, 4, 5 and 6): a line holding "[#NAME]" anywhere starts a
section; each note's "Tempo" holds from that note on, so a note starts where
the lengths before it at their tempos end; pitch points are milliseconds from
the note's start with tens of cents, and the first point's value is replaced by
the previous note's pitch when a note comes right before; outside its points
a note sounds at its own key. Each note must then start and end within 1 ms
of the VSQ file's time, and sound within 5 cents of the VSQ file's pitch at
every 5th tick, except over the 5 ticks a step of the pitch is drawn across.
The project's notes are read by the editor's rules (format notes on the
project, sections 5 and 6): notes last 10 ticks at least, and a first pitch
point snaps to the previous note when it ends where the note starts.
In both, every note's lyric is one the editors can sing (the manual, section
14): a syllable as written, a held vowel as its kana, phonetic symbols as the
kana the shipped dictionary gives them with or else as the hint "[symbols]",
and with --hiragana-lyrics among a case's arguments katakana as hiragana.

Usage: check_projects.py PROGRAM CASES_DIR EXAMPLE_SONG MANUAL

Every golden case whose expected files hold a .ustx or .ust file beside a .vsq
file is checked on those files. The example song and every song example of the
manual that compiles are compiled afresh with both options and checked the
same way.
"""
import bisect
import math
import os
import re
import subprocess
import sys
import tempfile

import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_exports import (  # noqa: E402
    check_cases_and_example, fail, manual_songs, pre_measure_ticks, read_vsq_sections)

LONG_VOWEL_MARKS = ('-', 'ー', '－')
# What every reader of the VSQ file takes where the file lists no sensitivity.
READERS_SENSITIVITY = 2
CURVE_DEFAULTS = {'PitchBendBPList': 0, 'PitchBendSensBPList': READERS_SENSITIVITY, 'DynamicsBPList': 64,
                  'EpRResidualBPList': 0, 'GenderFactorBPList': 64}


# --- the formulas of the manual ---------------------------------------------

def half_away(numerator, denominator):
    """numerator / denominator rounded half away from zero (denominator > 0)."""
    magnitude = (2 * abs(numerator) + denominator) // (2 * denominator)
    return -magnitude if numerator < 0 else magnitude


def around_centre(value, below, above):
    offset = value - 64
    return half_away(offset * below, 64) if offset < 0 else half_away(offset * above, 63)


def level(dynamics):
    return around_centre(dynamics, 240, 120)


def gender(factor):
    return around_centre(factor, 100, 100)


def breath(breathiness):
    return half_away(breathiness * 100, 127)


def cents(bend, sensitivity, limit=1200):
    value = half_away(bend * sensitivity * 100, 8192)
    return max(-limit, min(limit, value))


VOWEL_KANA = {'a': 'あ', 'i': 'い', 'M': 'う', 'e': 'え', 'o': 'お', 'N\\': 'ん'}
# The lyric text of a note given its phonetic symbols in brackets.
PHONETIC_TEXT = b'a'
SHIPPED_DICTIONARY = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'data',
                                  'phonetic_symbols.dic')
DEFINITION = re.compile(r'^\s*([^:;\[\]]+?)\s*:\s*((?:\[[^\]]*\]\s*)+)')
HIRAGANA_OPTION = '--hiragana-lyrics'
_spellings = {}


def spellings():
    """The shipped dictionary read backwards: for each symbols (single blanks), the
    first key of the file that gives them (a key defined again keeps its first)."""
    if not _spellings:
        keys = set()
        with open(SHIPPED_DICTIONARY, encoding='cp932') as text:
            for line in text:
                match = DEFINITION.match(line)
                if not match:
                    continue
                groups = re.findall(r'\[([^\]]*)\]', match.group(2))
                for key, symbols in zip(match.group(1).split(), groups):
                    if key not in keys:
                        keys.add(key)
                        _spellings.setdefault(' '.join(symbols.split()), key)
    return _spellings


def as_hiragana(text):
    """Katakana as hiragana, unless a katakana without one (ヴ ヵ ヶ) is there."""
    if any('\u30f4' <= c <= '\u30f6' for c in text):
        return text
    return ''.join(chr(ord(c) - 0x60) if '\u30a1' <= c <= '\u30f3' else c for c in text)


def singable(lyric, symbols, hiragana=False):
    """The lyric bytes the editors sing (the manual, section 14): a long-vowel mark
    as the kana of the vowel its symbols end in; phonetic symbols as the first
    kana the dictionary gives them with, else as the hint "[symbols]"; with the
    hiragana option, katakana as hiragana."""
    words = symbols.decode('ascii').split()
    kana = VOWEL_KANA.get(words[-1]) if words else None
    text = lyric.decode('cp932')
    if lyric == PHONETIC_TEXT and words:
        text = spellings().get(' '.join(words)) or '[' + ' '.join(words) + ']'
    elif text in LONG_VOWEL_MARKS and kana:
        text = kana
    return (as_hiragana(text) if hiragana else text).encode('cp932')


def volume(tenths_db):
    if tenths_db <= -240:
        return 0
    return round(min(200.0, 100 * 10 ** (tenths_db / 200)))


def vibrato_sound(vibrato, part_length):
    """(length %, period ms, depth cents) of a note part's vibrato, or None."""
    if vibrato is None:
        return None
    ticks, depth, rate = vibrato
    ticks = min(ticks, part_length)
    if ticks <= 0:
        return None
    period = max(64, min(500, round(4000 * math.pi / rate))) if rate > 0 else 500
    return (half_away(ticks * 100, part_length), period, half_away(depth * 50, 64))


# --- the VSQ file -----------------------------------------------------------

def read_song(path):
    """The VSQ file in song ticks (without the pre-measure)."""
    tempos, metres, tracks = read_vsq_sections(path)
    offset = pre_measure_ticks(tracks, metres)

    def shift(tick):
        return tick if tick == 0 else tick - offset

    song = {'tempos': [(shift(t), round(60000000 / v)) for t, v in tempos],
            'metres': [(shift(t), n, d) for t, n, d in metres], 'tracks': []}
    for name, sections in tracks:
        song['tracks'].append(read_track(sections, offset))
    return song


def read_track(sections, offset):
    parts, singers = [], []
    for line in sections['EventList']:
        tick, _, ident = line.partition(b'=')
        if ident == b'EOS':
            end = int(tick) - offset
            continue
        fields = dict(l.split(b'=', 1) for l in sections[ident.decode('ascii')])
        if fields[b'Type'] == b'Singer':
            handle = dict(l.split(b'=', 1) for l in sections[fields[b'IconHandle'].decode()])
            # The first singer is listed at tick 0 of the file, before the pre-measure.
            singers.append((max(int(tick) - offset, 0) if singers else 0, handle[b'IDS']))
        if fields[b'Type'] != b'Anote':
            continue
        lyric_line = sections[fields[b'LyricHandle'].decode('ascii')][0]
        vibrato = None
        if b'VibratoHandle' in fields:
            handle = dict(l.split(b'=', 1) for l in sections[fields[b'VibratoHandle'].decode()])
            vibrato = (int(handle[b'Length']), int(handle[b'StartDepth']),
                       int(handle[b'StartRate']))
        parts.append({'start': int(tick) - offset, 'length': int(fields[b'Length']),
                      'note': int(fields[b'Note#']), 'velocity': int(fields[b'Dynamics']),
                      'accent': int(fields[b'DEMaccent']),
                      'decay': int(fields[b'DEMdecGainRate']),
                      'lyric': lyric_line[len(b'L0="'):].split(b'"', 1)[0],
                      'symbols': lyric_line.split(b'"')[3],
                      'vibrato': vibrato})
    curves = {name: [(int(t) - offset, int(v)) for t, _, v in
                     (l.partition(b'=') for l in sections.get(name, []))]
              for name in CURVE_DEFAULTS}
    sung = sorted((p for p in parts if p['length'] > 0), key=lambda p: p['start'])
    # The track is named after the singer of its first note: the last change at
    # or before its tick (a change at that tick is listed after the note).
    first = parts[0]['start']
    singer = [name for tick, name in singers if tick <= first][-1]
    return {'singer': singer, 'parts': sung, 'curves': curves, 'end': end}


def value_at(points, tick, default):
    """The value of a stepped list at a tick: its last point at or before it."""
    value = default
    for t, v in points:
        if t > tick:
            break
        value = v
    return value


def mapped_steps(track, kind, limit=1200):
    """A curve's steps in the project's unit, as (tick, value), where either source changes."""
    curves = track['curves']
    if kind == 'pitd':
        ticks = sorted({t for t, _ in curves['PitchBendBPList']} |
                       {t for t, _ in curves['PitchBendSensBPList']})
        return [(t, cents(value_at(curves['PitchBendBPList'], t, 0),
                          value_at(curves['PitchBendSensBPList'], t, READERS_SENSITIVITY),
                          limit)) for t in ticks]
    name, formula = {'dyn': ('DynamicsBPList', level), 'brec': ('EpRResidualBPList', breath),
                     'genc': ('GenderFactorBPList', gender)}[kind]
    return [(t, formula(v)) for t, v in curves[name]]


def line_through(steps, end):
    """The manual's line through steps: a step holds the value before it up to a
    point 5 ticks earlier unless a point or tick 0 lies that close, the last value
    holds to end."""
    xs, ys, value = [], [], 0
    for tick, new in steps:
        if new == value:
            continue
        if (tick - 5 > xs[-1]) if xs else tick >= 5:
            xs.append(tick - 5)
            ys.append(value)
        xs.append(tick)
        ys.append(new)
        value = new
    if value != 0 and xs and end > xs[-1]:
        xs.append(end)
        ys.append(value)
    return xs, ys


def line_value(xs, ys, tick):
    """A line's value at a tick, rounded; 0 outside its points."""
    if not xs or tick < xs[0] or tick > xs[-1]:
        return 0
    for i, x in enumerate(xs):
        if x == tick:
            return ys[i]
        if x > tick:
            x0, y0 = xs[i - 1], ys[i - 1]
            return y0 + half_away((ys[i] - y0) * (tick - x0), x - x0)
    return 0


# --- the project ------------------------------------------------------------

def check_line(where, xs, ys, steps, default):
    """A project curve against its steps: every point holds the value in force there,
    and the line meets every change at its tick."""
    if xs != sorted(set(xs)):
        fail(where, 'ticks not increasing')
    for x, y in zip(xs, ys):
        want = value_at(steps, x, default)
        if y != want:
            fail(where, f'point ({x}, {y}) where the VSQ file gives {want}')
    previous = default
    for tick, value in steps:
        if value != previous and line_value(xs, ys, tick) != value:
            fail(where, f'at {tick} the line gives {line_value(xs, ys, tick)}, not {value}')
        previous = value


def expected_bars(metres):
    """(bar, numerator, denominator): each change at the first bar line at or after it."""
    bars, bar, bar_start = [], 0, 0
    for time, numerator, denominator in metres:
        if bars:
            length = max(1, bars[-1][1] * 1920 // bars[-1][2])
            count = max(0, -(-(time - bar_start) // length))
            bar, bar_start = bar + count, bar_start + count * length
        if bars and bars[-1][0] == bar:
            bars.pop()
        bars.append((bar, numerator, denominator))
    return bars


def check_ustx(path, song, hiragana=False):
    with open(path, encoding='utf-8') as text:
        head = [next(text) for _ in range(10)]
    if not any(line.startswith('ustx_version:') for line in head):
        fail(path, 'no ustx_version in the first 10 lines')
    with open(path, encoding='utf-8') as text:
        project = yaml.safe_load(text)
    if project['ustx_version'] != '0.6' or project['resolution'] != 480:
        fail(path, 'not a version 0.6 project at 480 ticks')
    tempos = [(t['position'], t['bpm']) for t in project['tempos']]
    if tempos != song['tempos']:
        fail(path, f'tempos {tempos} against {song["tempos"]}')
    metres = [(m['bar_position'], m['beat_per_bar'], m['beat_unit'])
              for m in project['time_signatures']]
    if metres != expected_bars(song['metres']):
        fail(path, f'time signatures {metres} against {expected_bars(song["metres"])}')
    tracks = project['tracks']
    if len(tracks) != len(song['tracks']) or len(project['voice_parts']) != len(tracks):
        fail(path, 'not one track and one voice part per voice track')
    for index, (track, part, vsq) in enumerate(zip(tracks, project['voice_parts'],
                                                   song['tracks'])):
        where = f'{path} track {index + 1}'
        if track['track_name'] != vsq['singer'].decode('cp932') or 'singer' in track:
            fail(where, f'track {track}')
        if part['track_no'] != index or part['position'] != 0:
            fail(where, 'part not at tick 0 of its track')
        check_ustx_notes(where, part['notes'], vsq['parts'], hiragana)
        curves = {c['abbr']: c for c in part['curves']}
        for kind in ('dyn', 'pitd', 'brec', 'genc'):
            steps = mapped_steps(vsq, kind)
            curve = curves.pop(kind, {'xs': [], 'ys': []})
            check_line(f'{where} {kind}', curve['xs'], curve['ys'], steps, 0)
        if curves:
            fail(where, f'curves {sorted(curves)} from nowhere')


def check_ustx_notes(where, notes, parts, hiragana=False):
    if len(notes) != len(parts):
        fail(where, f'{len(notes)} notes, the VSQ file has {len(parts)}')
    previous_end, previous_tone, lengthened_end = None, None, 0
    for note, part in zip(notes, parts):
        at = f'{where} note at {part["start"]}'
        lyric = singable(part['lyric'], part['symbols'], hiragana).decode('cp932')
        # A long-vowel mark right after the part before as it sounds is held; one
        # after a gap may be too (the part before may end there as written, which
        # the VSQ file does not say), and the writers' agreement test holds the
        # project to the score there. Elsewhere it sings its vowel.
        mark = part['lyric'].decode('cp932') in LONG_VOWEL_MARKS
        if mark and (part['start'] == previous_end or note['lyric'] == '+'):
            lyric = '+'
        # The editor lengthens a note to 10 ticks; the next then starts after it.
        start = max(part['start'], lengthened_end)
        end = max(part['start'] + part['length'], start + 10)
        lengthened_end = end if end > part['start'] + part['length'] else 0
        got = (note['position'], note['duration'], note['tone'], note['lyric'])
        if got != (start, end - start, part['note'], lyric):
            fail(at, f'{got} against {part}')
        first = note['pitch']['data'][0]['y'] if note['pitch']['data'] else None
        snapped = (previous_tone - part['note']) * 10 if previous_end == start else 0
        if first != snapped:
            fail(at, f'first pitch point {first}, the editor snaps it to {snapped}')
        previous_end, previous_tone = end, part['note']
        sound = vibrato_sound(part['vibrato'], part['length'])
        vibrato = note['vibrato']
        got = (vibrato['length'], vibrato['period'], vibrato['depth'])
        want = sound and (sound[0], sound[1], max(5, min(200, sound[2])))
        fades = (vibrato['in'], vibrato['out'])
        if (got != want or fades != (10, 10)) if want else got[0] != 0:
            fail(at, f'vibrato {vibrato} against {want}')
        if len(note['pitch']['data']) < 1:
            fail(at, 'no pitch points')
        expressions = {e['abbr']: e['value'] for e in note['phoneme_expressions']}
        want = {'vel': half_away(part['velocity'] * 100, 64), 'atk': 2 * part['accent'],
                'dec': max(0, part['decay'] - 50)}
        neutral = {'vel': 100, 'atk': 100, 'dec': 0}
        for abbr, value in want.items():
            if expressions.get(abbr, neutral[abbr]) != value:
                fail(at, f'{abbr} {expressions.get(abbr)} against {value}')


# --- the sequences ----------------------------------------------------------

HEADER = re.compile(rb'\[#(\w+)\]')


def read_ust(path):
    """The sections of a sequence in order, each (name, {key: value bytes}); a line
    holding a header anywhere starts a section, as the editor reads it."""
    with open(path, 'rb') as binary:
        data = binary.read()
    if b'\n' in data.replace(b'\r\n', b''):
        fail(path, 'a line not ended by CR LF')
    sections = []
    for line in data.split(b'\r\n')[:-1]:
        header = HEADER.search(line)
        if header:
            if line != b'[#' + header.group(1) + b']':
                fail(path, f'line {line!r} reads as a section header')
            sections.append((header.group(1).decode('ascii'), {}))
        elif b'=' in line:
            key, _, value = line.partition(b'=')
            sections[-1][1][key.decode('ascii')] = value
        elif sections and sections[-1][0] == 'VERSION':
            sections[-1][1]['version'] = line
        else:
            fail(path, f'line {line!r} outside a key')
    return sections


def tenths(text):
    return round(float(text) * 10)


def expected_sequence(parts):
    """The parts laid end to end: each cut at the next one's start, empty ones left out."""
    laid = []
    for i, part in enumerate(parts):
        end = part['start'] + part['length']
        if i + 1 < len(parts):
            end = min(end, parts[i + 1]['start'])
        if end > part['start']:
            laid.append((part, end))
    return laid


class Clock:
    """Milliseconds of the VSQ file's song ticks."""

    def __init__(self, tempos):
        self.ticks, self.bpms, self.ms = [], [], []
        for tick, bpm in tempos:
            if self.ticks:
                self.ms.append(self.ms_at(tick))
            else:
                self.ms.append(0.0)
            self.ticks.append(tick)
            self.bpms.append(bpm)

    def ms_at(self, tick):
        i = bisect.bisect_right(self.ticks, tick) - 1
        return self.ms[i] + (tick - self.ticks[i]) * 125 / self.bpms[i]


def plain(lyric):
    """A value as a sequence carries it: control characters and a header's "#" blank."""
    text = bytes(b if 32 <= b != 127 else 32 for b in lyric)
    return text.replace(b'[#', b'[ ')


def check_ust(path, vsq, song, hiragana=False):
    sections = read_ust(path)
    names = [name for name, _ in sections]
    if names[:2] != ['VERSION', 'SETTING'] or names[-1] != 'TRACKEND':
        fail(path, f'sections {names[:3]} ... {names[-1]}')
    setting = sections[1][1]
    if setting.get('Mode2') != b'True' or setting.get('Tracks') != b'1':
        fail(path, 'not a mode-2 sequence of one track')
    if setting.get('ProjectName') != plain(vsq['singer']):
        fail(path, f'project name {setting.get("ProjectName")} against {vsq["singer"]}')
    bpm = float(setting['Tempo'])
    if bpm != song['tempos'][0][1]:
        fail(path, f'tempo {bpm} against {song["tempos"][0][1]}')
    # Each section at the reader's time: the lengths before it at their tempos.
    items, tick, ms = [], 0, 0.0
    for name, keys in sections[2:-1]:
        if 'Tempo' in keys:
            bpm = float(keys['Tempo'])
        length = int(keys['Length'])
        items.append((tick, length, keys, ms, ms + length * 125 / bpm))
        tick += length
        ms += length * 125 / bpm
    notes = [item for item in items if item[2]['Lyric'] != b'R']
    laid = expected_sequence(vsq['parts'])
    got = [(start, length, int(keys['NoteNum']), keys['Lyric']) for start, length, keys, _, _ in notes]
    want = [(p['start'], end - p['start'], p['note'],
             plain(singable(p['lyric'], p['symbols'], hiragana))) for p, end in laid]
    if got != want:
        fail(path, f'notes\n{got}\nagainst the VSQ file\'s\n{want}')
    clock = Clock(song['tempos'])
    for start, length, keys, begin, finish in notes:
        for what, tick, read in (('start', start, begin), ('end', start + length, finish)):
            if abs(clock.ms_at(tick) - read) > 1:
                fail(path, f'the note at {start} {what}s at {read:.1f} ms, in the VSQ file at '
                           f'{clock.ms_at(tick):.1f} ms')
    steps = mapped_steps(vsq, 'pitd', 2047)
    previous = None
    for item in items:
        start, length, keys, _, _ = item
        if keys['Lyric'] == b'R':
            previous = None
            continue
        part, end = laid[[p['start'] for p, _ in laid].index(start)]
        check_ust_note(f'{path} note at {start}', keys, part, end, vsq)
        check_ust_pitch(f'{path} note at {start}', keys, part, end, steps, clock, previous)
        previous = part


def check_ust_note(at, keys, part, end, vsq):
    start = part['start']
    dynamics = vsq['curves']['DynamicsBPList']
    total = sum(value_at(dynamics, t, 64) for t in range(start, end))
    want = volume(level(half_away(total, end - start)))
    if int(keys['Intensity']) != want:
        fail(at, f'intensity {keys["Intensity"]} against {want}')
    if int(keys['Velocity']) != half_away(part['velocity'] * 100, 64):
        fail(at, f'velocity {keys["Velocity"]}')
    sound = vibrato_sound(part['vibrato'], part['length'])
    want = None if sound is None else b'%d,%d,%d,10,10,0,0,0' % (
        sound[0], sound[1], max(5, min(200, sound[2])))
    if keys.get('VBR') != want:
        fail(at, f'vibrato {keys.get("VBR")} against {want}')


def check_ust_pitch(at, keys, part, end, steps, clock, previous):
    """The note's pitch as the editor hears it against the VSQ file's at every 5th tick."""
    start = part['start']
    points = []
    if 'PBS' in keys:
        first_x, first_y = keys['PBS'].split(b';')
        widths = [tenths(w) for w in keys['PBW'].split(b',')]
        ys = [tenths(first_y)] + [tenths(y) for y in keys['PBY'].split(b',')]
        shapes = keys['PBM'].split(b',')
        if not len(ys) - 1 == len(widths) == len(shapes) or len(ys) > 51 or set(shapes) != {b's'}:
            fail(at, f'{len(ys)} points with {len(widths)} widths and shapes {shapes}')
        if previous is not None:
            ys[0] = (previous['note'] - part['note']) * 100
        x = tenths(first_x)
        for index, y in enumerate(ys):
            points.append((x / 10, y))
            if index < len(widths):
                x += widths[index]
    begin = clock.ms_at(start)
    step_ticks = [t for t, _ in steps]
    for tick in range(start, end, 5):
        want = value_at(steps, tick, 0)
        following = bisect.bisect_right(step_ticks, tick)
        if following < len(steps) and steps[following][0] - tick <= 5 and steps[following][0] < end:
            continue  # drawn across to the next step
        got = line_value_ms(points, clock.ms_at(tick) - begin)
        if abs(got - want) > 5:
            fail(at, f'at tick {tick} the pitch is {got:.1f} cents, the VSQ file bends {want}')


def line_value_ms(points, ms):
    """Straight lines through (ms, cents) points; 0 outside them."""
    if not points or ms < points[0][0] or ms > points[-1][0]:
        return 0
    for i in range(1, len(points)):
        (x0, y0), (x1, y1) = points[i - 1], points[i]
        if x0 <= ms <= x1:
            return y1 if x1 == x0 else y0 + (y1 - y0) * (ms - x0) / (x1 - x0)
    return 0


# --- the runs ---------------------------------------------------------------

def check_run(folder, args=()):
    """Checks the projects and sequences in `folder`, made with the arguments `args`."""
    hiragana = HIRAGANA_OPTION in args
    files = os.listdir(folder)
    vsqs = [f for f in files if f.endswith('.vsq')]
    exports = sorted(f for f in files if f.endswith('.ustx') or f.endswith('.ust'))
    if not exports:
        return 0
    if len(vsqs) != 1:
        fail(folder, 'projects without one VSQ file beside them')
    song = read_song(os.path.join(folder, vsqs[0]))
    sequences = [f for f in exports if f.endswith('.ust')]
    if sequences and len(sequences) != len(song['tracks']):
        fail(folder, f'{len(sequences)} sequences for {len(song["tracks"])} voice tracks')
    for name in exports:
        path = os.path.join(folder, name)
        if name.endswith('.ustx'):
            check_ustx(path, song, hiragana)
        else:
            number = int(name[:-len('.ust')].rsplit('-', 1)[1])
            check_ust(path, song['tracks'][number - 1], song, hiragana)
    return len(exports)


def main():
    options = ['-s', 'song.ustx', '-t', 'song.ust']
    check_cases_and_example(check_run, options, 'projects and sequences')
    program, manual = sys.argv[1], sys.argv[4]
    songs = 0
    for source, files in manual_songs(manual):
        with tempfile.TemporaryDirectory() as work:
            for name, text in files + [('song.mml', source)]:
                with open(os.path.join(work, name), 'w', encoding='utf-8') as out:
                    out.write(text)
            run = subprocess.run([program, '-u', *options, '-o', 'song.vsq', 'song.mml'], cwd=work,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if run.returncode == 0:
                os.remove(os.path.join(work, 'vsqconvert.log'))
                songs += check_run(work) > 0
    if songs < 10:
        fail(manual, f'only {songs} song examples were checked')
    print(f'{songs} song examples of the manual: their projects and sequences agree as well')


if __name__ == '__main__':
    main()
