#!/usr/bin/python3
"""Compiles songs with every output and holds the writers against each other:
the VSQ file, the MIDI file, the MusicXML score, the OpenUtau project and the
UTAU sequences of one run must tell the same song.

Usage: check_agreement.py PROGRAM CASES_DIR [SONGS]

The songs are the golden cases' sources that compile, each with every output,
and SONGS (default 60) songs made here from seeds: three tracks with loops,
metre changes inside bars, tempo changes, singers changed before, at and after
the first note, gates, long-vowel marks, split syllables and small "tsu".
For each song:

- tempo and metre: the VSQ file's master track, the MIDI file's first track
  and the project's tempos agree; every metre change lies on a bar line of
  the changes before it, starts a score measure of its metre (every measure
  is whole) and stands at its bar in the project;
- singers: the score's part, the project's track and the sequence are named
  after the singer the VSQ file sings the track's first note with (the score
  may say "Voice N" for the default singer);
- notes and lyrics: the VSQ file's note parts are the MIDI file's notes with
  their lyrics, the project's notes and, laid end to end, the sequence's;
- held vowels: a long-vowel mark the project writes as the extender "+" is a
  note the score slurs without a syllable, and the other way round;
- the project and the sequences as the editor reads them (check_projects.py):
  every note at its time in seconds, its pitch that of the VSQ file.

The readers are those of check_exports.py and check_projects.py.
"""
import os
import random
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import mido
import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_exports  # noqa: E402
import check_projects  # noqa: E402

fail = check_exports.fail
LONG_VOWELS = check_exports.LONG_VOWELS
OUTPUTS = ['-m', 'song.mid', '-x', 'song.musicxml', '-s', 'song.ustx', '-t', 'song.ust']
DEFAULT_SINGER = 'Tuvo'


# --- songs made from seeds ---------------------------------------------------

SYLLABLES = 'あかさたなはまやらわいきしちにひみりうくすつぬふむゆるえけせてねへめれおこそとのほもよろを'
LENGTHS = ['1', '2', '4', '8', '16', '4.', '8.', '2.']
METRES = ['@M3,4', '@M4,4', '@M6,8', '@M5,8', '@M2,4', '@M7,16', '@M5,2', '@M9,8']


def made_song(seed):
    """A song of three tracks for the seed, in code page 932."""
    rng = random.Random(seed)
    out = ['@SGR0,1,"Mizu"\n@SGR1,0,"Kaze"\n']
    for track in (1, 2, 3):
        out.append('%d\n' % track)
        if rng.random() < 0.5:
            out.append('@"%s" ' % rng.choice(['Mizu', 'Kaze']))
        if rng.random() < 0.4:
            out.append('r%s ' % rng.choice(['4', '8', '2']))
        if rng.random() < 0.4:
            # At the first note's own tick.
            out.append('@"%s" ' % rng.choice(['Mizu', 'Kaze']))
        for _ in range(rng.randrange(3, 7)):
            roll = rng.random()
            if roll < 0.2:
                out.append(rng.choice(METRES) + ' ')
            elif roll < 0.3:
                out.append('t%d ' % rng.randrange(60, 200))
            elif roll < 0.4:
                out.append('q%d ' % rng.randrange(2, 9))
            elif roll < 0.5:
                out.append('@"%s" ' % rng.choice(['Mizu', 'Kaze']))
            notes = []
            for _ in range(rng.randrange(1, 6)):
                if rng.random() < 0.15:
                    notes.append('r' + rng.choice(LENGTHS))
                else:
                    notes.append(rng.choice('cdefgab') + rng.choice(LENGTHS))
            body = ' '.join(notes)
            # One syllable a note waiting for it (a lyric goes to the notes after
            # the last loop mark), some of them split or held.
            waiting = sum(1 for n in notes if not n.startswith('r'))
            if rng.random() < 0.2:
                body = '/:%d %s :/ c%s' % (rng.randrange(2, 4), body, rng.choice(LENGTHS))
                waiting = 1
            syllables = []
            for _ in range(waiting):
                roll = rng.random()
                if roll < 0.2 and syllables:
                    syllables.append('ー')
                elif roll < 0.25 and syllables:
                    syllables.append('っ' + rng.choice(SYLLABLES))
                elif roll < 0.32:
                    syllables.append(rng.choice(SYLLABLES) + '&' + rng.choice(SYLLABLES + 'ー'))
                else:
                    syllables.append(rng.choice(SYLLABLES))
            out.append('%s "%s"\n' % (body, ''.join(syllables)))
    return ''.join(out).encode('cp932')


# --- reading the files --------------------------------------------------------

def read_midi(path):
    """Tempos and metres of the first track, and each voice track's notes as
    (tick, note number, lyric bytes) in the order they start."""
    midi = mido.MidiFile(path)
    tempos, metres, tick = [], [], 0
    for event in midi.tracks[0]:
        tick += event.time
        if event.type == 'set_tempo':
            tempos.append((tick, round(60000000 / event.tempo)))
        elif event.type == 'time_signature':
            metres.append((tick, event.numerator, event.denominator))
    tracks = []
    for track in midi.tracks[1:]:
        notes, tick, lyric = [], 0, None
        for event in track:
            tick += event.time
            if event.type == 'lyrics':
                lyric = check_exports.raw(event.text)
            elif event.type == 'note_on' and event.velocity > 0:
                notes.append((tick, event.note, lyric))
        tracks.append(notes)
    return tempos, metres, tracks


def read_score(path):
    """Each part's name, its measures as (start, length, metre or None), and its notes
    as [start, duration, note, syllables] (a held vowel has none)."""
    root = ET.parse(path).getroot()
    names = [p.findtext('part-name') for p in root.iter('score-part')]
    parts = []
    for index, part in enumerate(root.findall('part')):
        where = f'{path} part {index + 1}'
        chains, _ = check_exports.read_part(part, where)
        measures, start, length = [], 0, None
        for measure in part.findall('measure'):
            metre = None
            if measure.find('attributes/time') is not None:
                metre = (int(measure.findtext('attributes/time/beats')),
                         int(measure.findtext('attributes/time/beat-type')))
                length = metre[0] * 1920 // metre[1]
            measures.append((start, length, metre))
            start += length
        parts.append((measures, chains))
    return names, parts


def bar_lines_hold(metres, where):
    """Every metre change after the first stands on a bar line of the one before;
    returns each change's bar, counted from 0."""
    bars = [0]
    for (time, numerator, denominator), (before, n, d) in zip(metres[1:], metres):
        length = n * 1920 // d
        if (time - before) % length != 0:
            fail(where, f'the metre {numerator}/{denominator} at {time} lies inside a bar of {n}/{d}'
                        f' that starts at {before}')
        bars.append(bars[-1] + (time - before) // length)
    return bars


# --- holding the files against each other --------------------------------------

def check_tempo_and_metre(folder, song, midi, score, project):
    tempos = song['tempos']
    if midi[0] != tempos:
        fail(folder, f'MIDI tempos {midi[0]} against the VSQ file\'s {tempos}')
    project_tempos = [(t['position'], t['bpm']) for t in project['tempos']]
    if project_tempos != tempos:
        fail(folder, f'project tempos {project_tempos} against {tempos}')
    metres = song['metres']
    if midi[1] != metres:
        fail(folder, f'MIDI metres {midi[1]} against the VSQ file\'s {metres}')
    bars = bar_lines_hold(metres, folder)
    project_bars = [(m['bar_position'], m['beat_per_bar'], m['beat_unit'])
                    for m in project['time_signatures']]
    want = [(bar, n, d) for bar, (_, n, d) in zip(bars, metres)]
    if project_bars != want:
        fail(folder, f'project bars {project_bars} against {want}')
    for index, (measures, _) in enumerate(score[1]):
        where = f'{folder} score part {index + 1}'
        starts = {start: metre for start, _, metre in measures}
        end = measures[-1][0] + measures[-1][1]
        for time, numerator, denominator in metres:
            if time >= end:
                continue
            if starts.get(time) != (numerator, denominator):
                fail(where, f'no measure of {numerator}/{denominator} starts at {time}')


def check_singers(folder, song, score_names, project, sequences):
    for index, track in enumerate(song['tracks']):
        singer = track['singer'].decode('cp932')
        where = f'{folder} voice track {index + 1}'
        name = project['tracks'][index]['track_name']
        if name != singer:
            fail(where, f'project track "{name}", the first note is sung by "{singer}"')
        sequence = sequences[index][1][1]['ProjectName'].decode('cp932')
        if sequence != check_projects.plain(track['singer']).decode('cp932'):
            fail(where, f'sequence named "{sequence}", the first note is sung by "{singer}"')
        part = score_names[index]
        if part != singer and not (part == f'Voice {index + 1}' and singer == DEFAULT_SINGER):
            fail(where, f'score part "{part}", the first note is sung by "{singer}"')


def as_sung(shown, sung):
    """The MIDI file's notes with the small tsus taken off where the VSQ file
    sings the syllable alone."""
    return [(start, note, check_exports.as_sung(lyric, other[2]))
            for (start, note, lyric), other in zip(shown, sung)]


def check_notes(folder, vsq, song, midi, project, sequences, score):
    for index, (name, parts) in enumerate(vsq['tracks']):
        where = f'{folder} voice track {index + 1}'
        # Every part, in the order the parts start (parts starting together in the
        # order of their notes).
        started = sorted(((start, note, lyric) for start, _, note, _, lyric in parts),
                         key=lambda part: part[0])
        if len(midi[2][index]) != len(started) or as_sung(midi[2][index], started) != started:
            fail(where, f'MIDI notes {midi[2][index][:5]}... against {started[:5]}...')
        sung = song['tracks'][index]['parts']
        notes = project['voice_parts'][index]['notes']
        if len(notes) != len(sung):
            fail(where, f'{len(notes)} project notes for {len(sung)} sung parts')
        lengthened_end = 0
        for note, part in zip(notes, sung):
            lyric = check_projects.singable(part['lyric'], part['symbols']).decode('cp932')
            mark = part['lyric'].decode('cp932') in LONG_VOWELS
            # Notes shorter than the editor's 10 ticks are lengthened (check_projects.py).
            start = max(part['start'], lengthened_end)
            end = max(part['start'] + part['length'], start + 10)
            lengthened_end = end if end > part['start'] + part['length'] else 0
            got = (note['position'], note['duration'], note['tone'])
            if got != (start, end - start, part['note']) or \
                    note['lyric'] not in (lyric, '+') or (note['lyric'] == '+') > mark:
                fail(where, f'project note {note} against {part}')
        laid = check_projects.expected_sequence(sung)
        got = [(int(keys['NoteNum']), keys['Lyric']) for name, keys in sequences[index][2:-1]
               if keys['Lyric'] != b'R']
        # A held vowel sings its kana, a control character becomes a blank.
        want = [(p['note'], check_projects.plain(check_projects.singable(p['lyric'], p['symbols'])))
                for p, _ in laid]
        if got != want:
            fail(where, f'sequence notes {got[:5]}... against {want[:5]}...')
        check_held_vowels(where, notes, sung, score[1][index][1])


def check_held_vowels(where, notes, sung, chains):
    """The project's extenders and the score's slurred notes without a syllable are
    the same long-vowel marks."""
    by_start = {}
    for chain in chains:
        by_start.setdefault(chain[0], chain)
    for note, part in zip(notes, sung):
        lyric = part['lyric'].decode('cp932')
        chain = by_start.get(part['start'])
        # Notes a lyric splits show both syllables in the score; their parts are
        # held or not by their own marks.
        if lyric not in LONG_VOWELS or chain is None or chain[2] != part['note'] or len(chain[3]) > 1:
            continue
        held_in_score = not chain[3]
        if held_in_score != (note['lyric'] == '+'):
            fail(where, f'the mark at {part["start"]}: project "{note["lyric"]}", score '
                        f'{"slurred" if held_in_score else "with its syllable"}')


def check_song(work, label):
    names = os.listdir(work)
    sequences = sorted((n for n in names if n.startswith('song-') and n.endswith('.ust')),
                       key=lambda n: int(n[len('song-'):-len('.ust')]))
    vsq = check_exports.read_vsq(os.path.join(work, 'song.vsq'))
    song = check_projects.read_song(os.path.join(work, 'song.vsq'))
    midi = read_midi(os.path.join(work, 'song.mid'))
    score = read_score(os.path.join(work, 'song.musicxml'))
    with open(os.path.join(work, 'song.ustx'), encoding='utf-8') as text:
        project = yaml.safe_load(text)
    read = [check_projects.read_ust(os.path.join(work, n)) for n in sequences]
    if len(read) != len(song['tracks']) or len(score[0]) != len(song['tracks']):
        fail(label, 'not one sequence and one score part per voice track')
    check_tempo_and_metre(label, song, midi, score, project)
    check_singers(label, song, score[0], project, read)
    check_notes(label, vsq, song, midi, project, read, score)
    # Each export as the editor reads it: times in seconds, pitch along the notes.
    check_projects.check_run(work)


def compile_song(program, work, source, extra=()):
    with open(os.path.join(work, 'song.mml'), 'wb') as out:
        out.write(source)
    run = subprocess.run([program, *extra, *OUTPUTS, '-o', 'song.vsq', 'song.mml'], cwd=work,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return run.returncode == 0


def main():
    program, cases = sys.argv[1:3]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 60
    checked = 0
    for case in sorted(os.listdir(cases)):
        source = os.path.join(cases, case, 'song.mml')
        if not os.path.isfile(source) or os.path.exists(os.path.join(cases, case, 'inc')):
            continue
        with open(source, 'rb') as f:
            data = f.read()
        with tempfile.TemporaryDirectory() as work:
            utf8 = ['-u'] if '-u' in check_exports.case_args(os.path.join(cases, case)) else []
            if compile_song(program, work, data, utf8):
                check_song(work, f'case {case}')
                checked += 1
    made = 0
    for seed in range(count):
        with tempfile.TemporaryDirectory() as work:
            if compile_song(program, work, made_song(seed)):
                check_song(work, f'song of seed {seed}')
                made += 1
    if checked < 20 or made < count // 2:
        fail(cases, f'only {checked} cases and {made} made songs compiled')
    print(f'the writers agree on {checked} golden cases and {made} made songs')


if __name__ == '__main__':
    main()
