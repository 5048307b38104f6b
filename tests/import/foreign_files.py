#!/usr/bin/python3
"""Files no one here wrote, imported and compiled back, then held against the
originals by independent readers.

Usage: foreign_files.py PROGRAM SOURCE_DIR

- VSQ files written by jCadencii (Debian's jcadencii), driven through its own
  classes by tests/import/foreign/JcadenciiHelper.java (compiled here): a song
  of its writer, and a UTAU sequence it converts. Each is imported, compiled,
  and both files are read by jCadencii's reader: every note, lyric, phonetic
  symbol, singer, tempo, time signature and curve point it sees must be equal.
- MIDI files written by mido (format 1 with code page 932 lyrics, format 0
  with UTF-8 lyrics on two channels): imported, compiled with -m, and both read
  by mido: tempos, time signatures, notes, velocities and lyrics equal, the
  expression equal and the pitch within half a cent while a note sounds.
- UTAU sequences as UTAU and OpenUtau save them (CR LF, [#0000] and [#0]
  section names, Shift-JIS and UTF-8): imported as the tracks of one song,
  compiled with -t, and both read as INI text: every note and rest, lyric,
  note number, tempo, Intensity, Velocity and vibrato equal, the pitch points
  within a tenth of a semitone.
- OpenUtau projects of ustx_version 0.5 (one tempo) and 0.6 to 0.9: imported,
  compiled with -s, and both read with PyYAML: tempos, time signatures, notes
  with their lyrics (the extender "+"), velocity, attack, decay and vibrato
  equal, the dyn and pitd curves within one unit.
"""
import os
import shutil
import subprocess
import sys
import tempfile

import mido
import yaml

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from reimport_exports import compare_midi, line_value, read_midi, read_ust  # noqa: E402

JAR = '/usr/share/jcadencii/Cadencii.jar'


def fail(where, text):
    raise AssertionError(f'{where}: {text}')


def run(args, cwd, what):
    result = subprocess.run(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        fail(what, ' '.join(args) + ' failed: ' + result.stdout.decode('cp932', 'replace')[-600:]
             + result.stderr.decode('utf-8', 'replace')[-600:])
    return result.stdout


def import_and_compile(program, work, inputs, stem, exports=()):
    """Imports `inputs` into STEM.mml and compiles it to STEM.vsq with `exports`."""
    run([program, '--import', *inputs, '-o', stem + '.mml'], work, 'import of ' + ' '.join(inputs))
    dictionary = stem + '.dic'
    extra = ['-p', dictionary] if os.path.exists(os.path.join(work, dictionary)) else []
    run([program, *extra, *exports, '-o', stem + '.vsq', stem + '.mml'], work, 'compile of ' + stem + '.mml')


# --- jCadencii -------------------------------------------------------------------

def jcadencii(work, *args):
    classpath = JAR + os.pathsep + work
    result = subprocess.run(['java', '-cp', classpath, 'JcadenciiHelper', *args], cwd=work,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        fail('jCadencii', ' '.join(args) + ': ' + result.stderr.decode('utf-8', 'replace')[-800:])
    return result.stdout.decode('utf-8')


def shifted(dump, like):
    """`dump` with every clock after 0 moved by what its first note is earlier
    than that of `like`."""
    def first_note(text):
        return next(int(line.split()[1]) for line in text.splitlines() if line.startswith('note '))
    shift = first_note(like) - first_note(dump)
    lines = []
    for line in dump.splitlines():
        words = line.split()
        if words and words[0] in ('note', 'singer', 'tempo') and int(words[1]) > 0:
            words[1] = str(int(words[1]) + shift)
        elif words and words[0] == 'curve':
            words = [words[0], words[1]] + [f'{int(p.split("=")[0]) + shift}={p.split("=")[1]}' for p in words[2:]]
        lines.append(' '.join(words))
    return '\n'.join(lines) + '\n'


def check_jcadencii(program, work, source_dir):
    if not os.path.exists(JAR) or shutil.which('javac') is None:
        fail('jCadencii', 'the jcadencii package and a JDK (default-jdk-headless) are needed')
    subprocess.run(['javac', '-encoding', 'UTF-8', '-cp', JAR, '-d', work,
                    os.path.join(source_dir, 'tests', 'import', 'foreign', 'JcadenciiHelper.java')], check=True)
    jcadencii(work, 'write', 'written.vsq')
    with open(os.path.join(work, 'converted.ust'), 'wb') as out:
        out.write(UST_SHIFT_JIS)
    jcadencii(work, 'ust', 'converted.ust', 'converted.vsq')
    for name in ('written', 'converted'):
        import_and_compile(program, work, [name + '.vsq'], name + '-again')
        first = jcadencii(work, 'dump', name + '.vsq')
        second = jcadencii(work, 'dump', name + '-again.vsq')
        if name == 'converted':
            # jCadencii's conversion lists the notes inside the pre-measure,
            # where no compiled song has any: the song comes back a bar later.
            first = shifted(first, second)
        if first != second:
            lines = [f'{a!r} / {b!r}' for a, b in zip(first.splitlines(), second.splitlines()) if a != b]
            fail(f'jCadencii {name}.vsq', 'its reader sees the compiled song otherwise: ' + '; '.join(lines[:5]))
        if first.count('note ') < 4:
            fail(f'jCadencii {name}.vsq', 'too few notes were read: ' + first[:300])
    return 2


# --- mido ---------------------------------------------------------------------

def write_midi_files(work):
    format1 = mido.MidiFile(type=1, ticks_per_beat=480, charset='cp932')
    conductor = mido.MidiTrack([
        mido.MetaMessage('time_signature', numerator=3, denominator=4, time=0),
        mido.MetaMessage('set_tempo', tempo=500000, time=0),
        mido.MetaMessage('set_tempo', tempo=666666, time=2880),
        mido.MetaMessage('time_signature', numerator=4, denominator=4, time=0),
    ])
    voice = mido.MidiTrack([mido.MetaMessage('track_name', name='melody'),
                            mido.Message('control_change', control=101, value=0),
                            mido.Message('control_change', control=100, value=0),
                            mido.Message('control_change', control=6, value=2),
                            mido.Message('control_change', control=11, value=100)])
    lyrics = ['か', 'え', 'る', 'の', 'う', 'た', 'が', 'き']
    velocities = [100, 75, 114, 50, 100, 100, 88, 100]
    for i, text in enumerate(lyrics):
        voice.append(mido.MetaMessage('lyrics', text=text, time=0 if i else 0))
        if i == 3:
            voice.append(mido.Message('control_change', control=11, value=75))
        if i == 5:
            voice.append(mido.Message('pitchwheel', pitch=-2048))
        if i == 6:
            voice.append(mido.Message('pitchwheel', pitch=0))
        voice.append(mido.Message('note_on', note=67 + i, velocity=velocities[i]))
        voice.append(mido.Message('note_off', note=67 + i, velocity=64, time=420))
        voice.append(mido.MetaMessage('text', text='', time=60))
    format1.tracks += [conductor, voice]
    format1.save(os.path.join(work, 'format1.mid'))

    format0 = mido.MidiFile(type=0, ticks_per_beat=96, charset='utf-8')
    track = mido.MidiTrack([mido.MetaMessage('set_tempo', tempo=600000)])
    for i, text in enumerate(['さ', 'く', 'ら', 'ー']):
        track.append(mido.MetaMessage('lyrics', text=text))
        track.append(mido.Message('note_on', channel=0, note=72 + i, velocity=100))
        track.append(mido.Message('note_on', channel=1, note=60 + i, velocity=75))
        track.append(mido.Message('note_off', channel=0, note=72 + i, time=96))
        track.append(mido.Message('note_off', channel=1, note=60 + i))
    format0.tracks.append(track)
    format0.save(os.path.join(work, 'format0.mid'))


def check_mido(program, work):
    write_midi_files(work)
    for name, encoding in (('format1', 'cp932'), ('format0', 'utf-8')):
        import_and_compile(program, work, [name + '.mid'], name + '-again', ['-m', name + '-export.mid'])
        original = read_midi_voices(os.path.join(work, name + '.mid'), encoding)
        exported = read_midi(os.path.join(work, name + '-export.mid'))
        compare_midi('mido ' + name, original, exported)
    return 2


def read_midi_voices(path, encoding):
    """A mido-written file read as the importer takes it: the tempo map from any
    track, a voice track per channel that plays notes, ticks at 480 a quarter,
    lyrics in `encoding` as code page 932."""
    midi = mido.MidiFile(path, charset='latin-1')
    scale = 480 / midi.ticks_per_beat
    tempos, metres, voices = [], [], []
    for track in midi.tracks:
        tick, channels, lyrics = 0, {}, {}
        for event in track:
            tick += event.time
            at = round(tick * scale)
            if event.type == 'set_tempo':
                tempos.append((at, event.tempo))
            elif event.type == 'time_signature':
                metres.append((at, event.numerator, event.denominator))
            elif event.type == 'lyrics':
                lyrics[at] = event.text.encode('latin-1').decode(encoding).encode('cp932')
            elif hasattr(event, 'channel'):
                channel = channels.setdefault(event.channel, {'notes': [], 'sounding': {}, 'bends': [],
                                                               'ranges': [], 'expressions': [], 'rpn': [None, None]})
                if event.type == 'note_on' and event.velocity > 0:
                    channel['sounding'][event.note] = (at, event.velocity)
                elif event.type in ('note_off', 'note_on') and event.note in channel['sounding']:
                    start, velocity = channel['sounding'].pop(event.note)
                    channel['notes'].append((start, at - start, event.note, velocity))
                elif event.type == 'pitchwheel':
                    channel['bends'].append((at, event.pitch))
                elif event.type == 'control_change':
                    if event.control in (101, 100):
                        channel['rpn'][event.control == 100] = event.value
                    elif event.control == 6 and channel['rpn'] == [0, 0]:
                        channel['ranges'].append((at, event.value))
                    elif event.control == 11:
                        channel['expressions'].append((at, event.value))
        for number in sorted(channels):
            channel = channels[number]
            if channel['notes']:
                channel['notes'].sort()
                starts = {n[0] for n in channel['notes']}
                # A lyric belongs to the first channel with a note starting with it.
                sung = {t: v for t, v in lyrics.items() if t in starts}
                for t in sung:
                    del lyrics[t]
                voices.append({'notes': channel['notes'], 'bends': channel['bends'], 'ranges': channel['ranges'],
                               'expressions': channel['expressions'], 'lyrics': sung})
    tempos.sort()
    metres.sort()
    if not tempos or tempos[0][0] != 0:
        tempos.insert(0, (0, 500000))
    if not metres or metres[0][0] != 0:
        metres.insert(0, (0, 4, 4))
    return tempos, metres, voices


# --- UTAU sequences ----------------------------------------------------------

def ust_text(sections, version=('[#VERSION]', 'UST Version1.2')):
    return '\r\n'.join([*version, '[#SETTING]', 'Tempo=120.00', 'Tracks=1', 'ProjectName=Teto', 'Mode2=True',
                        *sections, '[#TRACKEND]', ''])


def ust_note(name, length, lyric, number, extra=()):
    return '\r\n'.join([f'[#{name}]', f'Length={length}', f'Lyric={lyric}', f'NoteNum={number}', 'PreUtterance=',
                        *extra])


UST_SHIFT_JIS = ust_text([
    ust_note('0000', 480, 'R', 60),
    ust_note('0001', 480, 'か', 67, ['Intensity=100', 'Velocity=100']),
    ust_note('0002', 480, 'え', 69, ['Intensity=133', 'Velocity=150', 'PBS=0;0', 'PBW=120,200', 'PBY=-10,0',
                                     'PBM=s,s']),
    ust_note('0003', 960, 'る', 71, ['Tempo=90.00', 'Intensity=100', 'VBR=50,180,63,10,10,0,0,0']),
    ust_note('0004', 240, 'R', 60),
    ust_note('0005', 720, 'の', 72, ['Intensity=60']),
]).encode('cp932')

# The second track of the same song, with its tempo change on a rest of its own.
UST_UTF8 = ust_text([
    ust_note('0', 1440, 'R', 60),
    ust_note('1', 480, 'R', 60, ['Tempo=90.00']),
    ust_note('2', 480, 'さ', 60),
    ust_note('3', 480, 'く', 62, ['Velocity=150']),
    ust_note('4', 960, 'ら', 64, ['VBR=40,251,50,10,10,0,0,0']),
], ('[#VERSION]', 'UST Version2.0', 'Charset=UTF-8')).encode('utf-8')


def check_ust(program, work):
    for name, data in (('shift-jis.ust', UST_SHIFT_JIS), ('utf-8.ust', UST_UTF8)):
        with open(os.path.join(work, name), 'wb') as out:
            out.write(data)
    import_and_compile(program, work, ['shift-jis.ust', 'utf-8.ust'], 'sequences', ['-t', 'export.ust'])
    for original, exported in (('shift-jis.ust', 'export-1.ust'), ('utf-8.ust', 'export-2.ust')):
        with open(os.path.join(work, original), 'rb') as f:
            raw = f.read()
        if b'Charset=UTF-8' in raw:
            converted = os.path.join(work, original + '.cp932')
            with open(converted, 'wb') as out:
                out.write(raw.decode('utf-8').encode('cp932'))
            original = converted
        compare_sequences(f'UTAU {original}', read_ust(os.path.join(work, original)),
                          read_ust(os.path.join(work, exported)))
    return 2


def notes_of(sections):
    """Each note and rest: (start, length, lyric, note number or None for a rest, keys)."""
    tick, notes = 0, []
    for name, keys in sections:
        if not name[2:-1].isdigit():
            continue
        length = int(keys['Length'])
        rest = keys.get('Lyric') in ('R', 'r')
        notes.append((tick, length, None if rest else keys.get('Lyric'), None if rest else keys.get('NoteNum'), keys))
        tick += length
    return notes


def compare_sequences(where, original, exported):
    a, b = notes_of(original), notes_of(exported)
    # Rests end to end are one rest; the exported file may cut a rest where
    # a tempo changes.
    def sung(notes):
        return [n for n in notes if n[2] is not None]
    if [n[:4] for n in sung(a)] != [n[:4] for n in sung(b)]:
        fail(where, f'the notes differ: {[n[:4] for n in sung(a)]} and {[n[:4] for n in sung(b)]}')
    for x, y in zip(sung(a), sung(b)):
        for key, default in (('Intensity', '100'), ('Velocity', '100')):
            if x[4].get(key, default) != y[4].get(key, default):
                fail(where, f'{key} of the note at {x[0]} differs: {x[4].get(key)} and {y[4].get(key)}')
        if x[4].get('VBR', '').split(',')[:3] != y[4].get('VBR', '').split(',')[:3]:
            fail(where, f'the vibrato of the note at {x[0]} differs')
    tempos = [(n[0], n[4]['Tempo']) for n in a if 'Tempo' in n[4]]
    again = [(n[0], n[4]['Tempo']) for n in b if 'Tempo' in n[4]]
    if [(t, float(v)) for t, v in tempos] != [(t, float(v)) for t, v in again]:
        fail(where, f'the tempo changes differ: {tempos} and {again}')


# --- OpenUtau projects ----------------------------------------------------------

def ustx_text(version):
    legacy = version == '0.5'
    head = [f'name: Foreign {version}', "comment: ''", 'output_dir: Vocal', 'cache_dir: UCache',
            f'ustx_version: "{version}"', 'resolution: 480', 'bpm: 100', 'beat_per_bar: 4', 'beat_unit: 4',
            'expressions: {}']
    if not legacy:
        head += ['time_signatures:', '- {bar_position: 0, beat_per_bar: 4, beat_unit: 4}',
                 '- {bar_position: 2, beat_per_bar: 3, beat_unit: 4}',
                 'tempos:', '- {position: 0, bpm: 100}', '- {position: 3840, bpm: 140}']
    tracks = ['tracks:', '- singer: Teto', '  phonemizer: OpenUtau.Plugin.Builtin.JapaneseVCVPhonemizer',
              '  track_name: Track1']
    if version == '0.9':
        tracks += ['  track_expressions:', '  - {abbr: vel, _custom_default_value: 100}']
    notes = []
    lyrics = ['か', 'え', '+', 'る', 'の', '+~']
    for i, lyric in enumerate(lyrics):
        notes += [f'  - position: {480 * i}', '    duration: 480', f'    tone: {60 + i}', f'    lyric: {lyric}',
                  '    pitch: {data: [{x: -40, y: 0, shape: io}, {x: 40, y: 0, shape: io}], snap_first: true}',
                  '    vibrato: {length: %d, period: 180, depth: 63, in: 10, out: 10, shift: 0, drift: 0}'
                  % (60 if i == 3 else 0),
                  '    phoneme_expressions: [{index: 0, abbr: vel, value: 150}, {index: 0, abbr: atk, value: 80},'
                  ' {index: 0, abbr: dec, value: 20}]' if i == 1 else '    phoneme_expressions: []']
    part = ['voice_parts:', '- name: Verse', "  comment: ''", '  track_no: 0', '  position: 1920',
            '  duration: 2880', '  notes:', *notes, '  curves:',
            '  - {xs: [0, 240, 480, 1440], ys: [0, -60, 0, 0], abbr: dyn}',
            '  - {xs: [480, 600, 720, 840], ys: [0, 40, -20, 0], abbr: pitd}']
    return '\n'.join(head + tracks + part) + '\n'


def read_project(path):
    with open(path, encoding='utf-8') as text:
        project = yaml.safe_load(text)
    notes, curves = [], {}
    for part in project.get('voice_parts') or []:
        for note in part.get('notes') or []:
            vibrato = note.get('vibrato') or {}
            expressions = {e['abbr']: e['value'] for e in note.get('phoneme_expressions') or []}
            # The extender's forms ("+~", "+2") come back as the extender.
            lyric = '+' if note['lyric'].startswith('+') else note['lyric']
            notes.append((part['position'] + note['position'], note['duration'], note['tone'], lyric,
                          tuple(vibrato.get(k) for k in ('length', 'period', 'depth')) if vibrato.get('length') else None,
                          tuple(sorted((k, v) for k, v in expressions.items() if v != {'vel': 100, 'atk': 100, 'dec': 0}[k]))))
        for curve in part.get('curves') or []:
            curves[curve['abbr']] = ([part['position'] + x for x in curve['xs']], curve['ys'])
    tempos = project.get('tempos') or [{'position': 0, 'bpm': project.get('bpm', 120)}]
    metres = project.get('time_signatures') or [
        {'bar_position': 0, 'beat_per_bar': project.get('beat_per_bar', 4), 'beat_unit': project.get('beat_unit', 4)}]
    return ([(t['position'], float(t['bpm'])) for t in tempos],
            [(m['bar_position'], m['beat_per_bar'], m['beat_unit']) for m in metres], sorted(notes), curves)


def check_ustx(program, work):
    checked = 0
    for version in ('0.5', '0.6', '0.7', '0.8', '0.9'):
        name = f'project-{version}.ustx'
        with open(os.path.join(work, name), 'w', encoding='utf-8') as out:
            out.write(ustx_text(version))
        stem = f'project-{version}-again'
        import_and_compile(program, work, [name], stem, ['-s', stem + '.ustx'])
        a, b = read_project(os.path.join(work, name)), read_project(os.path.join(work, stem + '.ustx'))
        where = f'OpenUtau {version}'
        if a[0] != b[0] or a[1] != b[1]:
            fail(where, f'the tempos or time signatures differ: {a[:2]} and {b[:2]}')
        if a[2] != b[2]:
            fail(where, f'the notes differ: {a[2]} and {b[2]}')
        ends = [(n[0], n[0] + n[1]) for n in a[2]]
        for abbr in ('dyn', 'pitd'):
            xa, ya = a[3].get(abbr, ([], []))
            xb, yb = b[3].get(abbr, ([], []))
            for tick in xa:
                if any(start <= tick < end for start, end in ends) and \
                        abs(line_value(xa, ya, tick) - line_value(xb, yb, tick)) > 1:
                    fail(where, f'{abbr} differs at tick {tick}: {line_value(xa, ya, tick)} and {line_value(xb, yb, tick)}')
        checked += 1
    return checked


def main():
    program, source_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp()
    try:
        checked = check_jcadencii(program, work, source_dir)
        checked += check_mido(program, work)
        checked += check_ust(program, work)
        checked += check_ustx(program, work)
    finally:
        shutil.rmtree(work)
    print(f'{checked} foreign files imported and compiled back the same as their readers see them')


if __name__ == '__main__':
    main()
