#!/usr/bin/python3
"""Reads the MIDI files and MusicXML scores the program writes with readers of
their own and holds them against the VSQ file of the same run.

Usage: check_exports.py PROGRAM CASES_DIR EXAMPLE_SONG MANUAL

Every golden case whose expected files hold a .mid or .musicxml file beside a
.vsq file is checked on those files (the golden cases make sure the program
writes exactly them). The example song is compiled afresh with both exports
and checked the same way, and so is every song example of the manual that
compiles.

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


def read_vsq_sections(path):
    """The master track's tempos and metres as (tick, ...) in file ticks, and each
    voice track's name with its metatext split into sections."""
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
        tracks.append((name.decode('ascii'), split_sections(text)))
    return tempos, metres, tracks


def pre_measure_ticks(tracks, metres):
    """The ticks of the silent measures in front of the song."""
    pre_measure = 0
    for line in tracks[0][1].get('Master', []):
        key, _, value = line.partition(b'=')
        if key == b'PreMeasure':
            pre_measure = int(value)
    numerator, denominator = metres[0][1], metres[0][2]
    return pre_measure * numerator * 1920 // denominator


def read_vsq(path):
    tempos, metres, sectioned = read_vsq_sections(path)
    offset = pre_measure_ticks(sectioned, metres)
    tracks = [(name, parse_metatext(sections)) for name, sections in sectioned]

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


def split_sections(text):
    """The metatext's sections by name, each a list of its lines."""
    sections, current = {}, None
    for line in text.split(b'\n'):
        if line.startswith(b'[') and line.endswith(b']'):
            current = line[1:-1].decode('ascii')
            sections[current] = []
        elif current is not None and line:
            sections[current].append(line)
    return sections


def parse_metatext(sections):
    """A voice track's note parts, curves and vibratos."""
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
    return {'parts': parts, 'curves': curves, 'vibratos': vibratos}


# --- the MIDI file's sound, by the manual's rules ---------------------------

# The curves the MIDI file carries, with their defaults.
# Where the VSQ file lists no sensitivity its readers bend by 2, and so does the MIDI file.
CURVE_DEFAULTS = {'PitchBendBPList': 0, 'PitchBendSensBPList': 2, 'DynamicsBPList': 64}
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

# A small tsu, shown after the lyric of the note it cut short in the MIDI file
# and the score; the VSQ file sings the syllable alone.
SMALL_TSUS = ('っ', 'ッ')


def as_sung(shown, sung, encoding='cp932'):
    """The lyric `shown` in the MIDI file without the small tsu it ends in where
    the VSQ file sings `sung`, the syllable alone (both in `encoding`)."""
    for tsu in SMALL_TSUS:
        mark = tsu.encode(encoding)
        if shown.endswith(mark) and shown[:-len(mark)] == sung:
            return sung
    return shown


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
        if len(notes) == len(want):
            encoding = 'utf-8' if utf8_lyrics else 'cp932'
            notes = [(*shown[:4], as_sung(shown[4], sung[4], encoding))
                     for shown, sung in zip(sorted(notes), sorted(want))]
        if sorted(notes) != sorted(want):
            fail(where, f'notes\n{sorted(notes)}\nagainst the VSQ file\'s\n{sorted(want)}')
        check_sound(where, track, curves, vibratos, clock)


# --- the MusicXML score -----------------------------------------------------

# Notated ticks of each note type; a triplet lasts 2/3 of them.
TYPES = {'long': 7680, 'breve': 3840, 'whole': 1920, 'half': 960, 'quarter': 480,
         'eighth': 240, '16th': 120, '32nd': 60, '64th': 30, '128th': 15}
# How far quantisation moves a time: half the coarsest grid, the triplet quarter's.
TOLERANCE = 40
LONG_VOWELS = ('-', '\u30fc', '\uff0d')


def check_score(path, vsq):
    root = ET.parse(path).getroot()  # raises on a document that is not well formed
    if root.tag != 'score-partwise' or root.get('version') != '4.0':
        fail(path, 'not a partwise MusicXML 4.0 score')
    names = [p.findtext('part-name') for p in root.iter('score-part')]
    if len(names) != len(vsq['tracks']) or not all(names):
        fail(path, f'parts {names}')
    for index, (part, (name, parts)) in enumerate(zip(root.findall('part'), vsq['tracks'])):
        where = f'{path} {name}'
        chains, tempos = read_part(part, where)
        match_sung_notes(chains, parts, where)
        if index == 0:
            want = [round(60000000 / v) for _, v in vsq['tempo_values']]
            got = [bpm for _, bpm in tempos]
            if got != want[:len(got)] or not got:
                fail(where, f'tempo marks {tempos} against {vsq["tempo_values"]}')
            for (time, bpm), (vsq_time, _) in zip(tempos, vsq['tempo_values']):
                if abs(time - vsq_time) > TOLERANCE:
                    fail(where, f'tempo {bpm} at {time}, the VSQ file has it at {vsq_time}')


def notated_duration(note, where):
    """The duration a note's type, dots and time modification give it."""
    kind = note.findtext('type')
    if kind not in TYPES:
        fail(where, f'a note without a type ({kind})')
    ticks = TYPES[kind]
    dots = len(note.findall('dot'))
    ticks = ticks * (2 ** (dots + 1) - 1) / 2 ** dots
    modification = note.find('time-modification')
    if modification is not None:
        ticks = ticks * int(modification.findtext('normal-notes')) / int(
            modification.findtext('actual-notes'))
    return ticks


def read_part(part, where):
    """The part's notes, ties joined, as [start, duration, MIDI note, syllables], and its
    tempo marks as (time, bpm). Checks every note's value and every measure's length."""
    chains, open_chain, tempos = [], None, []
    measure_start, measure_length = 0, None
    measures = part.findall('measure')
    for number, measure in enumerate(measures):
        position = measure_start
        for element in measure:
            if element.tag == 'attributes':
                if element.findtext('divisions') and int(element.findtext('divisions')) != 480:
                    fail(where, 'divisions are not 480')
                if element.find('time') is not None:
                    beats = int(element.findtext('time/beats'))
                    beat_type = int(element.findtext('time/beat-type'))
                    measure_length = beats * 1920 // beat_type
            elif element.tag == 'direction':
                if element.find('offset') is not None:
                    fail(where, 'a mark placed by an offset')
                sound = element.find('sound')
                if sound is not None and sound.get('tempo'):
                    tempos.append((position, int(sound.get('tempo'))))
            elif element.tag == 'backup':
                fail(where, 'more than one voice')
            elif element.tag == 'note':
                at = f'{where} measure {number + 1} at {position}'
                value = notated_duration(element, at)
                grace = element.find('grace') is not None
                duration = 0 if grace else int(element.findtext('duration'))
                if not grace and duration != value:
                    fail(at, f'duration {duration} where its value makes {value}')
                ties = {t.get('type') for t in element.findall('tie')}
                pitch = element.find('pitch')
                if pitch is not None:
                    note = (STEPS[pitch.findtext('step')] + int(pitch.findtext('alter') or 0)
                            + 12 * (int(pitch.findtext('octave')) + 1))
                    if 'stop' in ties:
                        if (open_chain is None or open_chain[0] + open_chain[1] != position
                                or open_chain[2] != note):
                            fail(at, 'a tie that joins no note')
                        chain, open_chain = open_chain, None
                        chain[1] += duration
                    else:
                        if open_chain is not None:
                            fail(at, 'a tie that ends nowhere')
                        syllables = [t.text for t in element.findall('lyric/text')]
                        # A small tsu after the last syllable shows that it cut the
                        # note short; the VSQ file sings the syllable alone.
                        if syllables and len(syllables[-1]) > 1 and syllables[-1][-1] in SMALL_TSUS:
                            syllables[-1] = syllables[-1][:-1]
                        chain = [position, duration, note, syllables]
                    if 'start' in ties:
                        open_chain = chain
                    else:
                        chains.append(chain)
                elif open_chain is not None:
                    fail(at, 'a tie into a rest')
                position += duration
        # Every metre change lies on a bar line, so every measure is whole.
        length = position - measure_start
        if length != measure_length:
            fail(where, f'measure {number + 1} lasts {length}, its metre {measure_length}')
        measure_start = position
    if open_chain is not None:
        fail(where, 'a tie that ends nowhere')
    return chains, tempos


def match_sung_notes(chains, parts, where):
    """Every note part of the VSQ file is a score note near its time, with its pitch and
    syllable: a held vowel without one, the second syllable of a split note elided onto the
    first. The score has no note the VSQ file has not."""
    # Each note with the syllables not yet matched; a mark is appended when a part matches it.
    notes = [list(chain) + [list(chain[3])] for chain in chains]
    previous = None
    for start, length, note, _, text in parts:
        syllable = text.decode('cp932')
        # The second part of a split note is the second syllable of the note at the first's.
        split_second = (previous is not None and previous[1] == 60 and previous[2] == note
                        and previous[0] + 60 == start)
        times = [start] + ([previous[0]] if split_second else [])
        found = next((chain for time in times for chain in notes
                      if abs(chain[0] - time) <= TOLERANCE and chain[2] == note
                      and (syllable in chain[4] or (syllable in LONG_VOWELS and not chain[3]))),
                     None)
        if found is not None and syllable in found[4]:
            found[4].remove(syllable)
        if found is None:
            fail(where, f'the note {note} "{syllable}" at {start} is not in the score')
        found.append(True)
        previous = (start, length, note)
    for chain in notes:
        if len(chain) == 5:
            fail(where, f'the score has a note at {chain[0]} that the VSQ file has not')


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


def manual_songs(manual):
    """The manual's song examples, each with the files written beside it."""
    songs, files, block, info = [], [], None, None
    with open(manual, encoding='utf-8') as text:
        for line in text:
            if line.startswith('```'):
                if block is None:
                    block, info = [], line[3:].strip()
                    continue
                if info.startswith('mml file '):
                    files.append((info[len('mml file '):], ''.join(block)))
                elif info == 'mml song':
                    songs.append((''.join(block), files))
                    files = []
                block = None
            elif block is not None:
                block.append(line)
    return songs


def compile_and_check(program, work, arguments):
    """Runs the program with both exports in `work`; checks them when the run succeeds."""
    run = subprocess.run([program, '-m', 'song.mid', '-x', 'song.musicxml', '-o', 'song.vsq']
                         + arguments, cwd=work, stdout=subprocess.DEVNULL)
    if run.returncode != 0:
        return 0
    os.remove(os.path.join(work, 'vsqconvert.log'))
    return check_run(work)


def check_cases_and_example(check_run, options, what):
    """Runs check_run on the files of every golden case that succeeded, with the
    case's arguments, and on the example song compiled afresh with `options`;
    `what` names the files checked."""
    program, cases, example = sys.argv[1:4]
    checked = 0
    for case in sorted(os.listdir(cases)):
        folder = os.path.join(cases, case, 'expected', 'files')
        # A failed run writes no file: those there are the ones it left alone.
        if os.path.isdir(folder) and not run_failed(os.path.join(cases, case)):
            checked += check_run(folder, case_args(os.path.join(cases, case)))
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([program, *options, '-o', 'song.vsq', os.path.abspath(example)],
                       cwd=work, check=True, stdout=subprocess.DEVNULL)
        os.remove(os.path.join(work, 'vsqconvert.log'))
        checked += check_run(work, options)
    if checked < 3:
        fail(cases, f'only {checked} {what} were found')
    print(f'{checked} {what} agree with their VSQ files')


def main():
    program, cases, example, manual = sys.argv[1:5]
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
        if compile_and_check(program, work, [os.path.abspath(example)]) == 0:
            fail(example, 'the example song does not compile')
        checked += 2
    songs = 0
    for source, files in manual_songs(manual):
        with tempfile.TemporaryDirectory() as work:
            for name, text in files + [('song.mml', source)]:
                with open(os.path.join(work, name), 'w', encoding='utf-8') as out:
                    out.write(text)
            if compile_and_check(program, work, ['-u', 'song.mml']):
                songs += 1
    if songs < 10:
        fail(manual, f'only {songs} song examples were checked')
    if checked < 3:
        fail(cases, f'only {checked} exported files were found')
    print(f'{checked} exported files and {songs} song examples of the manual agree with their '
          'VSQ files')


if __name__ == '__main__':
    main()
