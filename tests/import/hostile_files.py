#!/usr/bin/python3
"""Hostile files for the importer: each is imported under a limit of address
space of 4 bytes per byte of the file plus 64 MB and a wide limit of processor
time; the run must end by itself (no signal), fail with a clear message where
the file cannot be read, leave no MML behind then, and otherwise print MML that
compiles.

Usage: hostile_files.py PROGRAM SOURCE_DIR [--no-memory-limit]

(--no-memory-limit for builds with AddressSanitizer, which reserves far more
address space than it uses; the file of a million notes then has a fifth of
them, as only the memory limit needs so many.)
"""
import os
import random
import resource
import struct
import subprocess
import sys
import tempfile

CANNOT_IMPORT = '取り込めないファイルです'.encode('cp932')
CPU_SECONDS = 120
FIXED_MEMORY = 64 << 20


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def chunk(tag, data, length=None):
    return tag + struct.pack('>I', len(data) if length is None else length) + data


def midi(tracks, division=480, format_=1):
    return chunk(b'MThd', struct.pack('>HHH', format_, len(tracks), division)) + b''.join(
        chunk(b'MTrk', t) for t in tracks)


def meta(kind, data, delta=0):
    return vlq(delta) + bytes([0xFF, kind]) + vlq(len(data)) + data


def vsq_with_metatext(text, pieces=None):
    """A VSQ file whose one voice track carries `text` (bytes) as its metatext."""
    master = meta(0x03, b'Master Track') + meta(0x51, b'\x07\xa1\x20') + meta(0x58, b'\x04\x02\x18\x08') + meta(0x2F, b'')
    cut = [text[i:i + 119] for i in range(0, len(text), 119)]
    order = list(range(len(cut))) if pieces is None else pieces(len(cut))
    voice = meta(0x03, b'Voice1') + b''.join(meta(0x01, b'DM:%04d:' % i + cut[i]) for i in order) + meta(0x2F, b'')
    return midi([master, voice])


def metatext(notes):
    """A voice track's metatext with the given (tick, length, lyric bytes, symbols) notes."""
    lines = [b'[Common]', b'Version=DSB301', b'Name=Voice1', b'[EventList]', b'0=ID#0000']
    ids, handles = [b'[ID#0000]', b'Type=Singer', b'IconHandle=h#0000'], [
        b'[h#0000]', b'IconID=$07010000', b'IDS=Tuvo', b'Original=0', b'Caption=', b'Length=1', b'Language=0',
        b'Program=0']
    for n, (tick, length, lyric, symbols) in enumerate(notes, 1):
        lines.append(b'%d=ID#%04d' % (tick, n))
        ids += [b'[ID#%04d]' % n, b'Type=Anote', b'Length=%d' % length, b'Note#=72', b'Dynamics=64',
                b'LyricHandle=h#%04d' % n]
        handles += [b'[h#%04d]' % n, b'L0="' + lyric + b'","' + symbols + b'",1.000000,0,1']
    lines.append(b'%d=EOS' % (notes[-1][0] + notes[-1][1] if notes else 0))
    return b'\n'.join(lines + ids + handles) + b'\n'


def many_notes_midi(count):
    events = bytearray()
    for i in range(count):
        text = 'かえるの'[i % 4].encode('cp932')
        events += meta(0x05, text) + vlq(0) + bytes([0x90, 60 + i % 12, 100]) + vlq(240) + bytes([0x80, 60 + i % 12, 0])
    return midi([bytes(events) + meta(0x2F, b'')], format_=0)


def yaml_bomb(levels):
    lines = ['ustx_version: "0.6"', 'a0: &a0 ["lol", "lol", "lol", "lol", "lol", "lol", "lol", "lol"]']
    for i in range(1, levels):
        lines.append(f'a{i}: &a{i} [' + ', '.join([f'*a{i - 1}'] * 9) + ']')
    lines.append(f'voice_parts: *a{levels - 1}')
    return '\n'.join(lines).encode()


def ust(sections):
    return ('\r\n'.join(['[#VERSION]', 'UST Version1.2', '[#SETTING]', 'Tempo=120.00', 'Tracks=1', 'Mode2=True']
                        + sections + ['[#TRACKEND]', ''])).encode('cp932')


def cases(program, work, memory):
    """(name, file bytes, suffix, expected: 'fail' or 'ok')."""
    example = os.path.join(work, 'example.vsq')
    subprocess.run([program, '-o', example, os.path.join(SOURCE, 'examples', 'song.mml')], cwd=work,
                   check=True, stdout=subprocess.DEVNULL)
    with open(example, 'rb') as f:
        vsq = f.read()
    rng = random.Random(29)
    yield 'empty file', b'', '.vsq', 'fail'
    yield 'random bytes', bytes(rng.randrange(256) for _ in range(4096)), '.bin', 'fail'
    yield 'truncated VSQ file', vsq[:len(vsq) // 2], '.vsq', 'fail'
    yield 'truncated header', vsq[:10], '.vsq', 'fail'
    lying = bytearray(vsq)
    first_track = lying.find(b'MTrk')
    lying[first_track + 4:first_track + 8] = struct.pack('>I', 0x7FFFFFFF)
    yield 'chunk length past the end', bytes(lying), '.vsq', 'fail'
    short = bytearray(vsq)
    second_track = short.find(b'MTrk', first_track + 4)
    short[second_track + 4:second_track + 8] = struct.pack('>I', 40)
    yield 'chunk length cutting events', bytes(short), '.vsq', 'fail'
    yield 'metatext without sections', vsq_with_metatext(b'no sections here\njust=text\n' * 50), '.vsq', 'fail'
    notes = [(1920 + 480 * i, 480, 'かえるの'[i % 4].encode('cp932'), [b'k a', b'e', b'4 M', b'n o'][i % 4])
             for i in range(200)]
    yield 'text events out of order', vsq_with_metatext(metatext(notes), lambda n: list(reversed(range(n)))), '.vsq', 'ok'
    yield 'text events with a gap', vsq_with_metatext(metatext(notes), lambda n: [i for i in range(n) if i != 3]), '.vsq', 'fail'
    yield 'event list naming no section', vsq_with_metatext(metatext(notes).replace(b'[ID#0007]', b'[ID#9999]')), '.vsq', 'fail'
    odd = [(1920 + 480 * i, 480, lyric, symbols) for i, (lyric, symbols) in enumerate([
        (b'\x81', b'a'), (b'\xff\xfe', b'\x01\x02'), (b'\x82', b''), (b'a\x00b', b'a\x00'), (b'[x]', b']]'),
        (b'\x82\xa0\x81\x40', b'a a'), (b'-', b'\x7f'), (bytes(range(1, 10)) + bytes(range(11, 32)), b'k a')])]
    yield 'lyrics of odd bytes', vsq_with_metatext(metatext(odd)), '.vsq', 'ok'
    huge = metatext([(1920, 480, b'\x82\xa0', b'a')]).replace(b'Length=480', b'Length=999999999999').replace(
        b'1920=ID#0001', b'99999999999=ID#0001')
    yield 'numbers past every range', vsq_with_metatext(huge), '.vsq', 'fail'
    yield 'a million notes', many_notes_midi(1000000 if memory else 200000), '.mid', 'ok'
    far = meta(0x58, b'\x01\x05\x18\x08') + b''.join(meta(0x01, b'', 0) [:0] + vlq(0x0FFFFFFF) + b'\xff\x01\x00'
                                                  for _ in range(7))
    yield 'a note after millions of bars of 1/32', midi([far + vlq(0) + b'\x90\x40\x40' + vlq(480) + b'\x80\x40\x00'
                                                         + meta(0x2F, b'')]), '.mid', 'ok'
    yield 'data byte without a status', midi([vlq(0) + b'\x40\x40' + meta(0x2F, b'')]), '.mid', 'fail'
    yield 'delta time of five bytes', midi([b'\xff\xff\xff\xff\x7f\x90\x40\x40' + meta(0x2F, b'')]), '.mid', 'fail'
    yield 'MIDI file without notes', midi([meta(0x2F, b'')] * 1000), '.mid', 'fail'
    yield 'MIDI lyrics of odd bytes', midi([meta(0x05, b'\x82') + vlq(0) + b'\x90\x40\x40' + meta(0x05, b'\xff\xfe', 480)
                                            + b'\x00\x90\x42\x40' + vlq(480) + b'\x80\x42\x00' + meta(0x2F, b'')]), '.mid', 'ok'
    yield 'YAML bomb', yaml_bomb(12), '.ustx', 'fail'
    yield 'YAML nested deeply', b'ustx_version: "0.6"\nvoice_parts: ' + b'[' * 100000 + b']' * 100000 + b'\n', '.ustx', 'fail'
    yield 'YAML that is not YAML', b'ustx_version: "0.6"\nvoice_parts: [{notes: [\n', '.ustx', 'fail'
    dense = ('ustx_version: "0.6"\nvoice_parts:\n- position: 0\n  notes:\n  - {position: 0, duration: 480, tone: 60, lyric: a}\n'
             '  curves:\n  - abbr: pitd\n    xs: [' + ', '.join(str(i * 2000000) for i in range(1000)) + ']\n'
             '    ys: [' + ', '.join(str((-1) ** i * 1200) for i in range(1000)) + ']\n')
    yield 'curves far longer than the notes', dense.encode(), '.ustx', 'ok'
    yield 'UTAU note without a length', ust(['[#0000]', 'Lyric=あ', 'NoteNum=60']), '.ust', 'fail'
    yield 'UTAU pitch points of nonsense widths', ust(
        [f'[#{i:04d}]\r\nLength=1000000\r\nLyric=あ\r\nNoteNum=60\r\nPBS=0;10\r\nPBW=' + ','.join(['99999999'] * 50)
         for i in range(2000)]), '.ust', 'fail'
    yield 'UTAU sequence without notes', ust([]), '.ust', 'fail'


def limits(size, memory):
    def apply():
        resource.setrlimit(resource.RLIMIT_CPU, (CPU_SECONDS, CPU_SECONDS))
        if memory:
            resource.setrlimit(resource.RLIMIT_AS, (4 * size + FIXED_MEMORY,) * 2)
    return apply


def main():
    global SOURCE
    program, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    memory = '--no-memory-limit' not in sys.argv
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for name, data, suffix, expected in cases(program, work, memory):
            path = os.path.join(work, 'hostile' + suffix)
            mml = os.path.join(work, 'hostile.mml')
            with open(path, 'wb') as f:
                f.write(data)
            if os.path.exists(mml):
                os.remove(mml)
            run = subprocess.run([program, '--import', path, '-o', mml], cwd=work, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, preexec_fn=limits(len(data), memory))
            problem = None
            if run.returncode < 0 or run.returncode > 1:
                problem = f'ended with {run.returncode}'
            elif expected == 'fail' and (run.returncode != 1 or CANNOT_IMPORT not in run.stdout):
                problem = 'was not refused with a clear message'
            elif expected == 'fail' and os.path.exists(mml):
                problem = 'left an MML file behind'
            elif expected == 'ok' and run.returncode != 0:
                problem = 'was refused: ' + run.stdout.decode('cp932', 'replace')[-300:]
            elif expected == 'ok':
                dictionary = mml[:-4] + '.dic'
                extra = ['-p', dictionary] if os.path.exists(dictionary) else []
                compiled = subprocess.run([program, *extra, '-o', os.path.join(work, 'again.vsq'), mml], cwd=work,
                                          stdout=subprocess.PIPE)
                if compiled.returncode != 0:
                    problem = 'printed MML that does not compile: ' + compiled.stdout.decode('cp932', 'replace')[-300:]
            if problem:
                failures += 1
                print(f'FAIL {name}: {problem}')
            else:
                detail = run.stdout.decode('cp932', 'replace').strip().splitlines()
                print(f'ok   {name}: {detail[-4] if expected == "fail" and len(detail) >= 4 else "imported"}')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
