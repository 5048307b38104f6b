#!/usr/bin/python3
"""Reads the OpenUtau projects (.ustx) and UTAU sequences (.ust) the program
writes with readers of their own (the YAML package, a small INI reader) and
holds them against the VSQ file of the same run, by the formulas the manual
states.

Usage: check_projects.py PROGRAM CASES_DIR EXAMPLE_SONG

Every golden case whose expected files hold a .ustx or .ust file beside a .vsq
file is checked on those files. The example song is compiled afresh with both
options and checked the same way.
"""
import math
import os
import sys

import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_exports import (  # noqa: E402
    check_cases_and_example, fail, pre_measure_ticks, read_vsq_sections)

LONG_VOWEL_MARKS = ('-', 'ー', '－')
CURVE_DEFAULTS = {'PitchBendBPList': 0, 'PitchBendSensBPList': 1, 'DynamicsBPList': 64,
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


def cents(bend, sensitivity):
    value = half_away(bend * sensitivity * 100, 8192 if bend < 0 else 8191)
    return max(-1200, min(1200, value))


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
    return (round(ticks * 100 / part_length), period, round(depth * 50 / 64))


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


def mapped_steps(track, kind):
    """A curve's steps in the project's unit, as (tick, value), where either source changes."""
    curves = track['curves']
    if kind == 'pitd':
        ticks = sorted({t for t, _ in curves['PitchBendBPList']} |
                       {t for t, _ in curves['PitchBendSensBPList']})
        return [(t, cents(value_at(curves['PitchBendBPList'], t, 0),
                          value_at(curves['PitchBendSensBPList'], t, 1))) for t in ticks]
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


def check_ustx(path, song):
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
        check_ustx_notes(where, part['notes'], vsq['parts'])
        curves = {c['abbr']: c for c in part['curves']}
        for kind in ('dyn', 'pitd', 'brec', 'genc'):
            steps = mapped_steps(vsq, kind)
            curve = curves.pop(kind, {'xs': [], 'ys': []})
            check_line(f'{where} {kind}', curve['xs'], curve['ys'], steps, 0)
        if curves:
            fail(where, f'curves {sorted(curves)} from nowhere')


def check_ustx_notes(where, notes, parts):
    if len(notes) != len(parts):
        fail(where, f'{len(notes)} notes, the VSQ file has {len(parts)}')
    previous_end = None
    for note, part in zip(notes, parts):
        at = f'{where} note at {part["start"]}'
        lyric = part['lyric'].decode('cp932')
        # A long-vowel mark right after the part before as it sounds is held; one
        # after a gap may be too (the part before may end there as written, which
        # the VSQ file does not say), and the writers' agreement test holds the
        # project to the score there.
        held = lyric in LONG_VOWEL_MARKS and (part['start'] == previous_end or note['lyric'] == '+')
        if held:
            lyric = '+'
        got = (note['position'], note['duration'], note['tone'], note['lyric'])
        if got != (part['start'], part['length'], part['note'], lyric):
            fail(at, f'{got} against {part}')
        previous_end = part['start'] + part['length']
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

def read_ust(path):
    """The sections of a sequence in order, each (name, {key: value bytes})."""
    with open(path, 'rb') as binary:
        data = binary.read()
    if b'\n' in data.replace(b'\r\n', b''):
        fail(path, 'a line not ended by CR LF')
    sections = []
    for line in data.split(b'\r\n')[:-1]:
        if line.startswith(b'[#') and line.endswith(b']'):
            sections.append((line[2:-1].decode('ascii'), {}))
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


def check_ust(path, vsq, song):
    sections = read_ust(path)
    names = [name for name, _ in sections]
    if names[:2] != ['VERSION', 'SETTING'] or names[-1] != 'TRACKEND':
        fail(path, f'sections {names[:3]} ... {names[-1]}')
    setting = sections[1][1]
    if setting.get('Mode2') != b'True' or setting.get('Tracks') != b'1':
        fail(path, 'not a mode-2 sequence of one track')
    if setting.get('ProjectName') != vsq['singer']:
        fail(path, f'project name {setting.get("ProjectName")} against {vsq["singer"]}')
    bpm = float(setting['Tempo'])
    if bpm != song['tempos'][0][1]:
        fail(path, f'tempo {bpm} against {song["tempos"][0][1]}')
    items, tick, written_tempos = [], 0, []
    for name, keys in sections[2:-1]:
        if 'Tempo' in keys:
            bpm = float(keys['Tempo'])
            written_tempos.append((tick, bpm))
        items.append((tick, int(keys['Length']), keys, bpm))
        tick += int(keys['Length'])
    want_tempos = []
    for time, value in song['tempos'][1:]:
        holder = [start for start, length, _, _ in items if start <= time < start + length]
        if holder:
            if want_tempos and want_tempos[-1][0] == holder[0]:
                want_tempos.pop()
            want_tempos.append((holder[0], value))
    if written_tempos != want_tempos:
        fail(path, f'tempo changes {written_tempos} against {want_tempos}')
    notes = [item for item in items if item[2]['Lyric'] != b'R']
    laid = expected_sequence(vsq['parts'])
    got = [(start, length, int(keys['NoteNum']), keys['Lyric']) for start, length, keys, _ in notes]
    want = [(p['start'], end - p['start'], p['note'], p['lyric']) for p, end in laid]
    if got != want:
        fail(path, f'notes\n{got}\nagainst the VSQ file\'s\n{want}')
    for start, length, keys, _ in items:
        if keys['Lyric'] == b'R' and any(start < t < start + length for t, _ in song['tempos']):
            fail(path, f'a tempo change inside the rest at {start}')
    pitch = line_through(mapped_steps(vsq, 'pitd'), vsq['end'])
    for (start, length, keys, bpm), (part, end) in zip(notes, laid):
        check_ust_note(f'{path} note at {start}', keys, bpm, part, end, vsq, pitch)


def check_ust_note(at, keys, bpm, part, end, vsq, pitch):
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
    if 'PBS' not in keys:
        for tick in [start, end - 1] + [x for x in pitch[0] if start < x < end]:
            if line_value(*pitch, tick) != 0:
                fail(at, f'no pitch points, but the pitch curve is not 0 at {tick}')
        return
    first_x, first_y = keys['PBS'].split(b';')
    widths = [tenths(w) for w in keys['PBW'].split(b',')]
    ys = [tenths(first_y)] + [tenths(y) for y in keys['PBY'].split(b',')]
    shapes = keys['PBM'].split(b',')
    if not len(ys) - 1 == len(widths) == len(shapes) or len(ys) > 50 or set(shapes) != {b's'}:
        fail(at, f'{len(ys)} points with {len(widths)} widths and shapes {shapes}')
    position = tenths(first_x)
    for index, y in enumerate(ys):
        tick = start + round(position * bpm / 1250)
        if not start <= tick <= max(end - 1, start + 1) or y != line_value(*pitch, tick):
            fail(at, f'pitch point {index} at tick {tick}: {y} cents against '
                     f'{line_value(*pitch, tick)}')
        if index < len(widths):
            position += widths[index]


# --- the runs ---------------------------------------------------------------

def check_run(folder):
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
            check_ustx(path, song)
        else:
            number = int(name[:-len('.ust')].rsplit('-', 1)[1])
            check_ust(path, song['tracks'][number - 1], song)
    return len(exports)


def main():
    check_cases_and_example(check_run, ['-s', 'song.ustx', '-t', 'song.ust'],
                            'projects and sequences')


if __name__ == '__main__':
    main()
