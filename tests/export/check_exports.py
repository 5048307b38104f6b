#!/usr/bin/python3
"""Reads the MIDI files and MusicXML scores the program writes with readers of
their own and holds them against the VSQ file of the same run.

Usage: check_exports.py PROGRAM CASES_DIR EXAMPLE_SONG

Every golden case whose expected files hold a .mid or .musicxml file beside a
.vsq file is checked on those files (the golden cases make sure the program
writes exactly them). The example song is compiled afresh with both exports
and checked the same way.
"""
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
    tempos, metres, tracks = read_vsq_sections(path)
    offset = pre_measure_ticks(tracks, metres)

    def shift(tick):
        return tick if tick == 0 else tick - offset

    return {
        'tempo_values': [(shift(t), v) for t, v in tempos],
        'metres': [(shift(t), n, d) for t, n, d in metres],
        'tracks': [(name, [(t - offset, *rest) for t, *rest in note_parts(sections)])
                   for name, sections in tracks],
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


def note_parts(sections):
    """The notes of the event list as (tick, length, note, velocity, lyric)."""
    parts = []
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
    return parts


# --- the MIDI file ----------------------------------------------------------

def check_midi(path, vsq):
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
    for track, (name, parts) in zip(voice_tracks, vsq['tracks']):
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
        want = [(t, length, note, max(velocity, 1), text)
                for t, length, note, velocity, text in parts]
        if sorted(notes) != sorted(want):
            fail(where, f'notes\n{sorted(notes)}\nagainst the VSQ file\'s\n{sorted(want)}')


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


def check_run(folder):
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
        (check_midi if name.endswith('.mid') else check_score)(path, vsq)
    return len(exports)


def run_failed(case):
    status = os.path.join(case, 'expected', 'status')
    if not os.path.exists(status):
        return False
    with open(status) as text:
        return text.read().strip() != '0'


def check_cases_and_example(check_run, options, what):
    """Runs check_run on the files of every golden case that succeeded and on the
    example song compiled afresh with `options`; `what` names the files checked."""
    program, cases, example = sys.argv[1:4]
    checked = 0
    for case in sorted(os.listdir(cases)):
        folder = os.path.join(cases, case, 'expected', 'files')
        # A failed run writes no file: those there are the ones it left alone.
        if os.path.isdir(folder) and not run_failed(os.path.join(cases, case)):
            checked += check_run(folder)
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([program, *options, '-o', 'song.vsq', os.path.abspath(example)],
                       cwd=work, check=True, stdout=subprocess.DEVNULL)
        os.remove(os.path.join(work, 'vsqconvert.log'))
        checked += check_run(work)
    if checked < 3:
        fail(cases, f'only {checked} {what} were found')
    print(f'{checked} {what} agree with their VSQ files')


def main():
    check_cases_and_example(check_run, ['-m', 'song.mid', '-x', 'song.musicxml'],
                            'exported files')


if __name__ == '__main__':
    main()
