#!/usr/bin/python3
"""Reads the MIDI files and MusicXML scores the program writes with readers of
their own and holds them against the VSQ file of the same run.

Usage: check_exports.py PROGRAM CASES_DIR EXAMPLE_SONG

Every golden case whose expected files hold a .mid or .musicxml file beside a
.vsq file is checked on those files (the golden cases make sure the program
writes exactly them). The example song is compiled afresh with both exports
and checked the same way.

The MIDI file's levels, bend range and pitch bends are computed here from the
VSQ file by the rules the manual states (section 13), and held against the
file; nothing is rendered.
"""
import bisect
import math
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import mido

STEPS = {'C': 0, 'D': 2, 'E': 4, 'F': 5, 'G': 7, 'A': 9, 'B': 11}


def fail(where, text):
    raise AssertionError(f'{where}: {text}')


# --- the VSQ file -----------------------------------------------------------

def raw(text):
    """The bytes of a meta event's text (mido reads them as Latin-1)."""
    return text.encode('latin-1')


def read_vsq(path):
    midi = mido.MidiFile(path)
    master = midi.tracks[0]
    tempos, metres, tick = [], [], 0
    for event in master:
        tick += event.time
        if event.type == 'set_tempo':
            tempos.append((tick, event.tempo))
        elif event.type == 'time_signature':
            metres.append((tick, event.numerator, event.denominator))
    tracks = []
    for track in midi.tracks[1:]:
        name = next(raw(e.name) for e in track if e.type == 'track_name')
        text = b''.join(raw(e.text)[8:] for e in track if e.type == 'text')
        tracks.append((name.decode('ascii'), parse_metatext(text)))
    pre_measure = tracks[0][1]['pre_measure']
    numerator, denominator = metres[0][1], metres[0][2]
    offset = pre_measure * numerator * 1920 // denominator

    def shift(tick):
        return tick if tick == 0 else tick - offset

    return {
        'tempo_values': [(shift(t), v) for t, v in tempos],
        'metres': [(shift(t), n, d) for t, n, d in metres],
        'tracks': [(name, [(t - offset, *rest) for t, *rest in meta['parts']])
                   for name, meta in tracks],
        # Per voice track: each curve's points, and the vibrato of each note part
        # as (part start, part length, vibrato delay, vibrato length, depth, rate).
        'curves': [{curve: [(t - offset, v) for t, v in points]
                    for curve, points in meta['curves'].items()} for _, meta in tracks],
        'vibratos': [[(t - offset, *rest) for t, *rest in meta['vibratos']]
                     for _, meta in tracks],
    }


def parse_metatext(text):
    sections, current = {}, None
    for line in text.split(b'\n'):
        if line.startswith(b'[') and line.endswith(b']'):
            current = line[1:-1].decode('ascii')
            sections[current] = []
        elif current is not None and line:
            sections[current].append(line)
    pre_measure = 0
    for line in sections.get('Master', []):
        key, _, value = line.partition(b'=')
        if key == b'PreMeasure':
            pre_measure = int(value)
    curves = {}
    for curve in CURVE_DEFAULTS:
        curves[curve] = [tuple(int(n) for n in line.split(b'=', 1))
                         for line in sections.get(curve, [])]
    parts, vibratos = [], []
    for line in sections['EventList']:
        tick, _, ident = line.partition(b'=')
        if ident == b'EOS':
            continue
        fields = dict(l.split(b'=', 1) for l in sections[ident.decode('ascii')])
        if fields[b'Type'] != b'Anote':
            continue
        handle = fields[b'LyricHandle'].decode('ascii')
        lyric_line = sections[handle][0]
        lyric = lyric_line[len(b'L0="'):].split(b'"', 1)[0]
        parts.append((int(tick), int(fields[b'Length']), int(fields[b'Note#']),
                      int(fields[b'Dynamics']), lyric))
        if b'VibratoHandle' in fields:
            vibrato = dict(l.split(b'=', 1)
                           for l in sections[fields[b'VibratoHandle'].decode('ascii')])
            vibratos.append((int(tick), int(fields[b'Length']), int(fields[b'VibratoDelay']),
                             int(vibrato[b'Length']), int(vibrato[b'StartDepth']),
                             int(vibrato[b'StartRate'])))
    return {'pre_measure': pre_measure, 'parts': parts, 'curves': curves,
            'vibratos': vibratos}


# --- the MIDI file's sound, by the manual's rules ---------------------------

# The curves the MIDI file carries, with their defaults.
CURVE_DEFAULTS = {'PitchBendBPList': 0, 'PitchBendSensBPList': 1, 'DynamicsBPList': 64}
CHANNEL_VOLUME = 100
# The manual's table of levels: the song's velocity or dynamics -> MIDI.
DOCUMENTED_LEVELS = {0: 0, 16: 25, 32: 50, 48: 75, 56: 88, 64: 100, 80: 107, 96: 114,
                     112: 121, 127: 127}


def level(value):
    """Note velocity or dynamics as MIDI velocity or expression."""
    if value <= 64:
        return (value * 100 + 32) // 64
    return 100 + ((value - 64) * 27 + 31) // 63


def bend_range(sensitivity):
    return min(max(sensitivity, 0), 23) + 1


def bend(curve, sensitivity, vibrato_cents):
    cents = curve * sensitivity * 100 / 8192 + vibrato_cents
    return max(-8192, min(8191, round(cents * 8192 / (bend_range(sensitivity) * 100))))


class Clock:
    """Milliseconds and tempo at a tick, from the tempo map."""

    def __init__(self, tempos):
        self.marks, ms = [], 0.0
        for tick, tempo in tempos:
            bpm = round(60000000 / tempo)
            if self.marks:
                last_tick, last_bpm, last_ms = self.marks[-1]
                ms = last_ms + (tick - last_tick) * 125 / last_bpm
            self.marks.append((tick, bpm, ms))

    def mark(self, tick):
        return self.marks[bisect.bisect_right([m[0] for m in self.marks], tick) - 1]

    def ms(self, tick):
        start, bpm, ms = self.mark(tick)
        return ms + (tick - start) * 125 / bpm

    def bpm(self, tick):
        return self.mark(tick)[1]


def vibrato_samples(vibrato, clock):
    """(tick, offset in cents) of each sample of a note part's vibrato."""
    start, length, delay, vibrato_length, depth, rate = vibrato
    begin = start + max(delay, 0)
    end = start + length
    if end <= begin:
        return []
    period = min(500, max(64, half_up(4000 * math.pi / rate))) if rate > 0 else 500
    cents = half_up(depth * 50 / 64)
    begin_ms = clock.ms(begin)
    span = clock.ms(end) - begin_ms
    samples, tick = [], begin
    while tick < end:
        into = clock.ms(tick) - begin_ms
        swell = min(1.0, into / (span * 0.1), (span - into) / (span * 0.1))
        samples.append((tick, cents * swell * math.sin(2 * math.pi * into / period)))
        step = max(10, -(-clock.bpm(tick) * 4800 // 60000))
        tick = min(end, tick + step)
    samples.append((end, 0.0))
    return samples


def half_up(value):
    return math.floor(value + 0.5)


def value_at(points, tick, default):
    """The value of the last point at or before the tick (points in time order)."""
    index = bisect.bisect_right(points, (tick, math.inf)) - 1
    return points[index][1] if index >= 0 else default


def check_sound(where, track, curves, vibratos, clock):
    """Volume, expression, bend range and pitch bend against the VSQ file."""
    states, volumes, tick = {}, [], 0
    expression = bend_value = rpn = None
    range_now = None
    bend_ticks, expression_ticks = [], []
    for event in track:
        tick += event.time
        if event.type == 'control_change':
            if event.control == 7:
                volumes.append(event.value)
            elif event.control == 11:
                expression = event.value
                expression_ticks.append(tick)
            elif event.control in (101, 100):
                rpn = (rpn or (127, 127))
                rpn = (event.value, rpn[1]) if event.control == 101 else (rpn[0], event.value)
            elif event.control == 6 and rpn == (0, 0):
                range_now = event.value
        elif event.type == 'pitchwheel':
            bend_value = event.pitch
            bend_ticks.append(tick)
        states[tick] = (expression, range_now, bend_value)
    if volumes != [CHANNEL_VOLUME]:
        fail(where, f'channel volumes {volumes}')

    samples = sorted(s for v in vibratos for s in vibrato_samples(v, clock))
    pitch = curves['PitchBendBPList']
    sensitivity = curves['PitchBendSensBPList']
    dynamics = curves['DynamicsBPList']
    ticks = sorted({0, *bend_ticks, *expression_ticks, *(t for t, _ in samples),
                    *(t for t, _ in pitch + sensitivity + dynamics)})
    state_ticks = sorted(states)
    for tick in ticks:
        # What is in force once the events at this tick are written.
        at = bisect.bisect_right(state_ticks, tick) - 1
        if at < 0:
            fail(where, f'nothing in force at {tick}')
        expression, range_now, bend_value = states[state_ticks[at]]
        want_expression = level(value_at(dynamics, tick, CURVE_DEFAULTS['DynamicsBPList']))
        if expression != want_expression:
            fail(where, f'expression {expression} at {tick}, the dynamics give {want_expression}')
        curve = value_at(pitch, tick, 0)
        sens = value_at(sensitivity, tick, CURVE_DEFAULTS['PitchBendSensBPList'])
        if range_now != bend_range(sens):
            fail(where, f'bend range {range_now} at {tick} for sensitivity {sens}')
        vibrato = value_at(samples, tick, 0.0)
        want_bend = bend(curve, sens, vibrato)
        if bend_value is None or abs(bend_value - want_bend) > 2:
            fail(where, f'pitch bend {bend_value} at {tick}, want {want_bend} '
                        f'(curve {curve}, sensitivity {sens}, vibrato {vibrato:.1f} cents)')
    if len(bend_ticks) > len(samples) + len(pitch) + len(sensitivity) + 1:
        fail(where, f'{len(bend_ticks)} pitch bends for {len(samples)} vibrato samples '
                    f'and {len(pitch) + len(sensitivity)} curve points')


# --- the MIDI file ----------------------------------------------------------

def check_midi(path, vsq, utf8_lyrics):
    """The MIDI file against the VSQ file; its lyrics in UTF-8 when -8 wrote it."""
    midi = mido.MidiFile(path)
    if midi.type != 1 or midi.ticks_per_beat != 480:
        fail(path, 'not format 1 with 480 ticks per quarter note')
    tempos, metres, tick = [], [], 0
    for event in midi.tracks[0]:
        tick += event.time
        if event.type == 'set_tempo':
            tempos.append((tick, event.tempo))
        elif event.type == 'time_signature':
            metres.append((tick, event.numerator, event.denominator))
    vsq_tempos = vsq['tempo_values']
    vsq_metres = vsq['metres']
    if tempos != vsq_tempos:
        fail(path, f'tempo map {tempos} against the VSQ file\'s {vsq_tempos}')
    if metres != vsq_metres:
        fail(path, f'metre map {metres} against the VSQ file\'s {vsq_metres}')

    voice_tracks = midi.tracks[1:]
    if len(voice_tracks) != len(vsq['tracks']):
        fail(path, f'{len(voice_tracks)} voice tracks, the VSQ file has {len(vsq["tracks"])}')
    channels = set()
    clock = Clock(vsq['tempo_values'])
    for track, (name, parts), curves, vibratos in zip(voice_tracks, vsq['tracks'],
                                                       vsq['curves'], vsq['vibratos']):
        where = f'{path} {name}'
        names = [raw(e.name).decode('ascii') for e in track if e.type == 'track_name']
        if names != [name]:
            fail(where, f'track name {names}')
        programs = [e for e in track if e.type == 'program_change']
        if not programs or programs[0].program != 52:
            fail(where, 'no choir sound')
        used = {e.channel for e in track if hasattr(e, 'channel')}
        if len(used) != 1 or 9 in used or used & channels:
            fail(where, f'channels {used}')
        channels |= used

        notes, sounding, lyric, tick = [], {}, None, 0
        for event in track:
            tick += event.time
            if event.type == 'lyrics':
                lyric = (tick, raw(event.text))
            elif event.type == 'note_on' and event.velocity > 0:
                if lyric is None or lyric[0] != tick:
                    fail(where, f'note at {tick} without its lyric')
                sounding.setdefault(event.note, []).append((tick, event.velocity, lyric[1]))
                lyric = None
            elif event.type in ('note_off', 'note_on'):
                start, velocity, text = sounding[event.note].pop(0)
                notes.append((start, tick - start, event.note, velocity, text))
        if any(sounding.values()):
            fail(where, 'notes that never end')
        want = [(t, length, note, max(level(velocity), 1),
                 text.decode('cp932').encode('utf-8') if utf8_lyrics else text)
                for t, length, note, velocity, text in parts]
        if sorted(notes) != sorted(want):
            fail(where, f'notes\n{sorted(notes)}\nagainst the VSQ file\'s\n{sorted(want)}')
        check_sound(where, track, curves, vibratos, clock)


# --- the MusicXML score -----------------------------------------------------

def check_score(path, vsq):
    root = ET.parse(path).getroot()  # raises on a document that is not well formed
    if root.tag != 'score-partwise' or root.get('version') != '4.0':
        fail(path, 'not a partwise MusicXML 4.0 score')
    names = [p.findtext('part-name') for p in root.iter('score-part')]
    if names != [name for name, _ in vsq['tracks']]:
        fail(path, f'parts {names}')
    for index, (part, (name, parts)) in enumerate(zip(root.findall('part'), vsq['tracks'])):
        where = f'{path} {name}'
        chains, tempos = read_part(part, where)
        want = sorted((t, length, note, text.decode('cp932'))
                      for t, length, note, _, text in parts if length > 0)
        if sorted(chains) != want:
            fail(where, f'tied notes\n{sorted(chains)}\nagainst the VSQ file\'s\n{want}')
        if index == 0:
            want_tempos = [(t, round(60000000 / v)) for t, v in vsq['tempo_values']]
            if tempos[:len(want_tempos)] != want_tempos:
                fail(where, f'tempo marks {tempos} against {want_tempos}')


def read_part(part, where):
    """The part's notes as (start, tied duration, MIDI note, lyric), and its tempo marks."""
    chains, open_chain, tempos = [], {}, []
    measure_start, divisions, measure_length = 0, None, None
    for measure in part.findall('measure'):
        position, voice_ends = measure_start, {}
        for element in measure:
            if element.tag == 'attributes':
                if element.findtext('divisions'):
                    divisions = int(element.findtext('divisions'))
                    if divisions != 480:
                        fail(where, 'divisions are not 480')
                if element.find('time') is not None:
                    beats = int(element.findtext('time/beats'))
                    beat_type = int(element.findtext('time/beat-type'))
                    measure_length = beats * 4 * divisions // beat_type
            elif element.tag == 'direction':
                offset = int(element.findtext('offset') or 0)
                sound = element.find('sound')
                if sound is not None and sound.get('tempo'):
                    tempos.append((position + offset, int(sound.get('tempo'))))
            elif element.tag == 'backup':
                position -= int(element.findtext('duration'))
            elif element.tag == 'note':
                duration = int(element.findtext('duration'))
                voice = element.findtext('voice')
                ties = {t.get('type') for t in element.findall('tie')}
                if element.find('pitch') is not None:
                    pitch = element.find('pitch')
                    note = (STEPS[pitch.findtext('step')] + int(pitch.findtext('alter') or 0)
                            + 12 * (int(pitch.findtext('octave')) + 1))
                    if 'stop' in ties:
                        chain = open_chain.pop(voice)
                        if chain[0] + chain[1] != position or chain[2] != note:
                            fail(where, f'a tie at {position} joins no note')
                        chain[1] += duration
                    else:
                        if voice in open_chain:
                            fail(where, f'a tie from {open_chain[voice][0]} ends nowhere')
                        lyric = element.findtext('lyric/text')
                        chain = [position, duration, note, lyric]
                    if 'start' in ties:
                        open_chain[voice] = chain
                    else:
                        chains.append(tuple(chain))
                position += duration
                voice_ends.setdefault(voice, []).append(position)
        # Every voice written in a measure fills it: its time signature's length,
        # or less where a change of metre cuts the measure short.
        if '1' not in voice_ends:
            fail(where, f'measure {measure.get("number")} has no first voice')
        length = voice_ends['1'][-1] - measure_start
        if any(ends[-1] - measure_start != length for ends in voice_ends.values()):
            fail(where, f'the voices of measure {measure.get("number")} differ in length')
        if not 0 < length <= measure_length:
            fail(where, f'measure {measure.get("number")} lasts {length}')
        measure_start += length
    if open_chain:
        fail(where, 'ties that end nowhere')
    return chains, tempos


def check_run(folder, utf8_lyrics=False):
    files = os.listdir(folder)
    vsqs = [f for f in files if f.endswith('.vsq')]
    exports = [f for f in files if f.endswith('.mid') or f.endswith('.musicxml')]
    if not exports:
        return 0
    if len(vsqs) != 1:
        fail(folder, 'exports without one VSQ file beside them')
    vsq = read_vsq(os.path.join(folder, vsqs[0]))
    for name in exports:
        path = os.path.join(folder, name)
        if name.endswith('.mid'):
            check_midi(path, vsq, utf8_lyrics)
        else:
            check_score(path, vsq)
    return len(exports)


def case_args(case):
    path = os.path.join(case, 'args')
    if not os.path.exists(path):
        return []
    with open(path) as text:
        return text.read().split('\n')


def run_failed(case):
    status = os.path.join(case, 'expected', 'status')
    if not os.path.exists(status):
        return False
    with open(status) as text:
        return text.read().strip() != '0'


def main():
    program, cases, example = sys.argv[1:4]
    for value, midi_value in DOCUMENTED_LEVELS.items():
        if level(value) != midi_value:
            fail('levels', f'{value} plays as {level(value)}, the manual says {midi_value}')
    checked = 0
    for case in sorted(os.listdir(cases)):
        folder = os.path.join(cases, case, 'expected', 'files')
        # A failed run writes no file: those there are the ones it left alone.
        if os.path.isdir(folder) and not run_failed(os.path.join(cases, case)):
            checked += check_run(folder, '-8' in case_args(os.path.join(cases, case)))
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([program, '-m', 'song.mid', '-x', 'song.musicxml', '-o', 'song.vsq',
                        os.path.abspath(example)], cwd=work, check=True,
                       stdout=subprocess.DEVNULL)
        os.remove(os.path.join(work, 'vsqconvert.log'))
        checked += check_run(work)
    if checked < 3:
        fail(cases, f'only {checked} exported files were found')
    print(f'{checked} exported files agree with their VSQ files')


if __name__ == '__main__':
    main()
