// The client's side of the contract with the server: the command line built
// from the settings, the compile request, the message for the server's
// answer, and the settings the manifest declares for them.
'use strict';

const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');
const { serverCommand, SERVER_SETTINGS } = require('../lib/serverCommand');
const { COMMAND, OUTPUTS, isOutputsChoice, compileRequest, describeCompileResult } = require('../lib/compileCommand');

const manifest = JSON.parse(fs.readFileSync(path.join(__dirname, '..', 'package.json'), 'utf8'));
const settings = manifest.contributes.configuration.properties;

test('the default settings start the program on the PATH with --lsp alone', () => {
    const defaults = {};
    for (const name of SERVER_SETTINGS) defaults[name] = settings[`tuvommlc.${name}`].default;
    assert.deepStrictEqual(serverCommand(defaults, '/songs'), { program: 'tuvommlc', args: ['--lsp'] });
    assert.deepStrictEqual(serverCommand({}, undefined), { program: 'tuvommlc', args: ['--lsp'] });
});

test('the settings become -p, -I for each folder in order, and -u, after --lsp', () => {
    const command = serverCommand({
        programPath: 'build/tuvommlc',
        dictionary: 'my dict.dic',
        includeDirectories: ['inc', '/usr/share/songs', '', 7, '~/parts'],
        encoding: 'utf-8',
    }, '/songs');
    assert.deepStrictEqual(command, {
        program: '/songs/build/tuvommlc',
        args: ['--lsp', '-p', '/songs/my dict.dic', '-I/songs/inc', '-I/usr/share/songs',
            `-I${path.join(os.homedir(), 'parts')}`, '-u'],
    });
});

test('without a workspace folder relative paths are passed as written', () => {
    const command = serverCommand({ programPath: './tuvommlc', dictionary: 'd.dic', includeDirectories: ['inc'] });
    assert.deepStrictEqual(command, { program: './tuvommlc', args: ['--lsp', '-p', 'd.dic', '-Iinc'] });
});

test('blank or ill-typed settings fall back to their defaults', () => {
    const command = serverCommand({ programPath: '  ', dictionary: ' ', includeDirectories: 'inc', encoding: 'UTF-8' }, '/songs');
    assert.deepStrictEqual(command, { program: 'tuvommlc', args: ['--lsp'] });
});

test('the manifest declares every setting the server command and the compile command read', () => {
    for (const name of SERVER_SETTINGS) assert.ok(settings[`tuvommlc.${name}`], name);
    assert.deepStrictEqual(settings['tuvommlc.encoding'].enum, ['cp932', 'utf-8']);
    const outputs = settings['tuvommlc.compile.outputs'];
    assert.deepStrictEqual(Object.keys(outputs.properties), OUTPUTS);
    assert.deepStrictEqual(Object.values(outputs.default), [false, false, false, false]);
    assert.ok(manifest.contributes.commands.some((c) => c.command === COMMAND));
    assert.ok(settings['tuvommlc.trace.server']);
});

test('the compile request names the document and every output, true only where chosen', () => {
    assert.deepStrictEqual(compileRequest('file:///songs/song.mml', { midi: true, ust: 'yes', extra: true }), {
        command: 'tuvommlc.compile',
        arguments: ['file:///songs/song.mml', { midi: true, musicxml: false, ustx: false, ust: false }],
    });
    assert.deepStrictEqual(compileRequest('file:///s.mml', undefined).arguments[1],
        { midi: false, musicxml: false, ustx: false, ust: false });
});

test('only an object of output choices counts as one; what menus pass besides does not', () => {
    assert.ok(isOutputsChoice({ midi: true }));
    assert.ok(isOutputsChoice({ midi: false, musicxml: true, ustx: false, ust: false }));
    for (const other of [undefined, null, {}, [], 'midi', { groupId: 1 }, { midi: 'yes' }, { midi: true, groupId: 1 }, [{ midi: true }]]) {
        assert.strictEqual(isOutputsChoice(other), false, JSON.stringify(other));
    }
});

test('a successful compile names the files written and where', () => {
    const one = describeCompileResult({ succeeded: true, errors: 0, warnings: 0, outputs: ['/songs/song.vsq'] }, 'song.mml');
    assert.deepStrictEqual(one, { ok: true, text: 'Compiled song.mml: wrote song.vsq in /songs.' });
    const many = describeCompileResult({
        succeeded: true, errors: 0, warnings: 2,
        outputs: ['/songs/song.vsq', '/songs/song.mid', '/songs/song-1.ust'],
    }, 'song.mml');
    assert.strictEqual(many.text, 'Compiled song.mml with 2 warnings: wrote song.vsq, song.mid, song-1.ust in /songs.');
    const apart = describeCompileResult({ succeeded: true, errors: 0, warnings: 1, outputs: ['/a/s.vsq', '/b/s.mid'] }, 's.mml');
    assert.strictEqual(apart.text, 'Compiled s.mml with 1 warning: wrote /a/s.vsq, /b/s.mid.');
});

test('a failed compile gives the counts and points to the Problems view', () => {
    const failed = describeCompileResult({ succeeded: false, errors: 1, warnings: 3, outputs: [] }, 'song.mml');
    assert.deepStrictEqual(failed, {
        ok: false,
        text: 'song.mml did not compile: 1 error and 3 warnings; the Problems view lists them. No file was written.',
    });
});

test('an answer not of the agreed shape is reported, never taken for success', () => {
    for (const answer of [null, undefined, 'ok', {}, { succeeded: 'true', errors: 0, warnings: 0, outputs: [] },
        { succeeded: true, errors: -1, warnings: 0, outputs: [] }, { succeeded: true, errors: 0, warnings: 0.5, outputs: [] },
        { succeeded: true, errors: 0, warnings: 0, outputs: '/s.vsq' }, { succeeded: true, errors: 0, warnings: 0, outputs: [3] }]) {
        const message = describeCompileResult(answer, 'song.mml');
        assert.strictEqual(message.ok, false, JSON.stringify(answer));
        assert.match(message.text, /does not understand/);
    }
});
