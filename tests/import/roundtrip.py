#!/usr/bin/python3
"""Compiles songs, imports the VSQ files, compiles the printed MML again and
holds the two VSQ files against each other byte for byte.

Usage: roundtrip.py PROGRAM SOURCE_DIR [--generated N]

The songs: every golden case that writes a VSQ file (run with its own
arguments), every song example of the documents, the example song, the fuzz
corpus's inputs that compile, and N generated songs of 10 000 notes
(bench/gen_song.py --variety). The printed MML is compiled with the
dictionary the first compile used, or with the dictionary the import wrote
beside it.
"""
import os
import shutil
import subprocess
import sys
import tempfile

MANUALS = ('manual.md', 'tutorial.md', 'card.md', 'troubleshooting.md', 'index.md')


def run(program, args, cwd):
    return subprocess.run([program, *args], cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def dictionary_of(args):
    for i, arg in enumerate(args):
        if arg == '-p' and i + 1 < len(args) and args[i + 1]:
            return args[i + 1]
    return None


def round_trip(program, work, vsq, dictionary, where):
    """Imports `vsq` (in `work`) and compiles the MML again; returns None when the
    files agree, else what went wrong."""
    mml = vsq[:-4] + '-imported.mml'
    args = ['--import', vsq, '-o', mml]
    if dictionary:
        args += ['-p', dictionary]
    imported = run(program, args, work)
    if imported.returncode != 0:
        return 'the import failed: ' + imported.stdout.decode('cp932', 'replace')[-400:]
    again = mml[:-4] + '.vsq'
    song_dictionary = mml[:-4] + '.dic'
    compile_args = ['-o', again]
    if os.path.exists(os.path.join(work, song_dictionary)):
        compile_args += ['-p', song_dictionary]
    elif dictionary:
        compile_args += ['-p', dictionary]
    compiled = run(program, compile_args + [mml], work)
    if compiled.returncode != 0:
        return 'the printed MML does not compile: ' + compiled.stdout.decode('cp932', 'replace')[-600:]
    with open(os.path.join(work, vsq), 'rb') as a, open(os.path.join(work, again), 'rb') as b:
        if a.read() != b.read():
            return 'the VSQ files differ (' + os.path.join(work, mml) + ')'
    return None


def vsq_files(folder):
    return sorted(f for f in os.listdir(folder) if f.endswith('.vsq'))


def case_runs(program, cases):
    """Each golden case run in a scratch folder: (name, folder, dictionary, VSQ files)."""
    exedir = os.path.dirname(program)
    for case in sorted(os.listdir(cases)):
        source = os.path.join(cases, case)
        args = ['song.mml']
        if os.path.exists(os.path.join(source, 'args')):
            with open(os.path.join(source, 'args')) as text:
                args = [a.replace('{EXEDIR}', exedir) for a in text.read().split('\n') if a != '']
        if '-w' in args or '--import' in args:
            continue
        work = tempfile.mkdtemp()
        for name in os.listdir(source):
            if name in ('expected', 'args'):
                continue
            path = os.path.join(source, name)
            if os.path.isdir(path):
                shutil.copytree(path, os.path.join(work, name))
            else:
                shutil.copy(path, work)
        before = set(vsq_files(work))
        if run(program, args, work).returncode == 0:
            made = [f for f in vsq_files(work) if f not in before]
            if made:
                yield case, work, dictionary_of(args), made
                continue
        shutil.rmtree(work)


def document_songs(docs, with_options=False):
    """The song examples of the documents, each with the files written beside it
    (and, when `with_options`, the options written after "mml song")."""
    for manual in MANUALS:
        path = os.path.join(docs, manual)
        if not os.path.exists(path):
            continue
        files, block, info, number = [], None, None, 0
        with open(path, encoding='utf-8') as text:
            for line in text:
                if line.startswith('```'):
                    if block is None:
                        block, info = [], line[3:].strip()
                        continue
                    if info.startswith('mml file '):
                        files.append((info[len('mml file '):], ''.join(block)))
                    elif info == 'mml song' or (with_options and info.startswith('mml song ')):
                        number += 1
                        options = info.split()[2:]
                        song = (f'{manual} song {number}', ''.join(block), files)
                        yield song + (options,) if with_options else song
                        files = []
                    block = None
                elif block is not None:
                    block.append(line)


def compile_source(program, name, source, files, utf8, extra_args=()):
    """Compiles a source in a scratch folder: the folder, or None when it fails."""
    work = tempfile.mkdtemp()
    for file_name, text in files + [('song.mml', source)]:
        with open(os.path.join(work, file_name), 'wb') as out:
            out.write(text.encode('utf-8') if utf8 else text)
    args = (['-u'] if utf8 else []) + list(extra_args) + ['-o', 'song.vsq', 'song.mml']
    if run(program, args, work).returncode != 0:
        shutil.rmtree(work)
        return None
    return work


def main():
    program, source_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    generated = int(sys.argv[sys.argv.index('--generated') + 1]) if '--generated' in sys.argv else 0
    failures, checked = [], 0

    def check(name, work, dictionary, vsqs):
        nonlocal checked
        for vsq in vsqs:
            problem = round_trip(program, work, vsq, dictionary, name)
            checked += 1
            if problem:
                failures.append(f'{name} ({vsq}): {problem}')

    for name, work, dictionary, vsqs in case_runs(program, os.path.join(source_dir, 'tests', 'cases')):
        check('case ' + name, work, dictionary, vsqs)
        if not failures or not failures[-1].startswith('case ' + name):
            shutil.rmtree(work)

    songs = list(document_songs(os.path.join(source_dir, 'doc'), with_options=True))
    with open(os.path.join(source_dir, 'examples', 'song.mml'), 'rb') as example:
        songs.append(('examples/song.mml', example.read(), [], []))
    for name, source, files, options in songs:
        work = compile_source(program, name, source, files, isinstance(source, str), options)
        if work:
            check(name, work, dictionary_of(options), ['song.vsq'])

    corpus = os.path.join(source_dir, 'fuzz', 'corpus')
    fuzz_data = os.path.join(source_dir, 'fuzz', 'data')
    fuzz_dictionary = os.path.join(fuzz_data, 'fuzz.dic')
    for name in sorted(os.listdir(corpus)):
        with open(os.path.join(corpus, name), 'rb') as song:
            source = song.read()
        work = compile_source(program, name, source, [], False,
                              ['-p', fuzz_dictionary, '-I' + os.path.join(fuzz_data, 'include')])
        if work:
            check('corpus ' + name, work, fuzz_dictionary, ['song.vsq'])

    for seed in range(1, generated + 1):
        work = tempfile.mkdtemp()
        subprocess.run([sys.executable, os.path.join(source_dir, 'bench', 'gen_song.py'), '--notes', '10000',
                        '--seed', str(seed), '--variety', '-o', os.path.join(work, 'song.mml')], check=True)
        if run(program, ['-o', 'song.vsq', 'song.mml'], work).returncode != 0:
            failures.append(f'generated song {seed} does not compile')
            continue
        check(f'generated song {seed}', work, None, ['song.vsq'])

    for failure in failures:
        print('FAIL', failure)
    print(f'{checked} VSQ files imported and compiled again, {checked - len(failures)} byte for byte the same')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
