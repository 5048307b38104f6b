// The extension itself, run outside the editor on a stand-in for the editor's
// API and a stand-in server: the command line it starts the server with, the
// compile request it sends for the song in the editor and the message it
// shows, a restart when a server setting changes (and none for another
// setting), and a clean stop.
'use strict';

const assert = require('node:assert');
const fs = require('node:fs');
const Module = require('node:module');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');
const { createStub, Uri } = require('./support/vscodeStub');

const stub = createStub();
const originalLoad = Module._load;
Module._load = function load(request, ...rest) {
    return request === 'vscode' ? stub.api : originalLoad.call(this, request, ...rest);
};
const extension = require('../extension');

const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tuvo-extension-'));
const logFile = path.join(folder, 'server.log');
const events = () => (fs.existsSync(logFile) ? fs.readFileSync(logFile, 'utf8').trim().split('\n').map((line) => JSON.parse(line)) : []);

test.after(() => fs.rmSync(folder, { recursive: true, force: true }));

test('the extension starts the server from the settings, compiles, restarts on a change and stops', async () => {
    process.env.TUVO_FAKE_SERVER_LOG = logFile;
    process.env.TUVO_FAKE_COMPILE_RESULT = JSON.stringify({
        succeeded: true, errors: 0, warnings: 0,
        outputs: [path.join(folder, 'song.vsq'), path.join(folder, 'song.mid')],
    });
    Object.assign(stub.settings, {
        'tuvommlc.programPath': path.join(__dirname, 'support', 'fakeServer.js'),
        'tuvommlc.dictionary': 'voices.dic',
        'tuvommlc.includeDirectories': ['parts'],
        'tuvommlc.encoding': 'utf-8',
        'tuvommlc.compile.outputs': { midi: true },
    });
    stub.api.workspace.workspaceFolders = [{ uri: Uri.file(folder), name: 'songs', index: 0 }];
    const song = Uri.file(path.join(folder, 'song.mml'));
    stub.api.window.activeTextEditor = { document: { uri: song, languageId: 'tuvo-mml' } };

    const context = { subscriptions: [] };
    await extension.activate(context);
    assert.deepStrictEqual(events()[0], {
        event: 'start',
        args: ['--lsp', '-p', path.join(folder, 'voices.dic'), `-I${path.join(folder, 'parts')}`, '-u'],
        cwd: fs.realpathSync(folder),
    });

    // The command is the extension's own: the client library's registration
    // of the command the server lists would have been refused as a second one.
    const result = await stub.commands.get('tuvommlc.compile')();
    assert.deepStrictEqual(events()[1], {
        event: 'executeCommand',
        params: {
            command: 'tuvommlc.compile',
            arguments: [song.toString(), { midi: true, musicxml: false, ustx: false, ust: false }],
        },
    });
    assert.strictEqual(result.succeeded, true);
    assert.deepStrictEqual(stub.messages.at(-1), { level: 'info', text: `Compiled song.mml: wrote song.vsq, song.mid in ${folder}.` });

    await stub.changeSettings({ 'tuvommlc.compile.outputs': { ustx: true } });
    assert.strictEqual(events().length, 2, 'a change of the outputs restarted the server');

    await stub.changeSettings({ 'tuvommlc.encoding': 'cp932', 'tuvommlc.includeDirectories': [] });
    assert.deepStrictEqual(events().slice(2).map((e) => e.event), ['shutdown', 'start']);
    assert.deepStrictEqual(events()[3].args, ['--lsp', '-p', path.join(folder, 'voices.dic')]);

    await stub.commands.get('tuvommlc.compile')(song, { ust: true });
    assert.deepStrictEqual(events()[4].params.arguments[1], { midi: false, musicxml: false, ustx: false, ust: true });

    // A menu's own argument after the document leaves the settings' choice in force.
    await stub.commands.get('tuvommlc.compile')(song, { groupId: 0 });
    assert.deepStrictEqual(events()[5].params.arguments[1], { midi: false, musicxml: false, ustx: true, ust: false });

    await extension.deactivate();
    assert.deepStrictEqual(events().slice(6).map((e) => e.event), ['shutdown']);
    for (const disposable of context.subscriptions) disposable.dispose();
});

test('a failed compile and an untitled song are reported as errors', async () => {
    process.env.TUVO_FAKE_COMPILE_RESULT = JSON.stringify({ succeeded: false, errors: 2, warnings: 0, outputs: [] });
    const context = { subscriptions: [] };
    await extension.activate(context);
    const song = Uri.file(path.join(folder, 'song.mml'));
    const result = await stub.commands.get('tuvommlc.compile')(song);
    assert.strictEqual(result.succeeded, false);
    assert.deepStrictEqual(stub.messages.at(-1), {
        level: 'error', text: 'song.mml did not compile: 2 errors; the Problems view lists them. No file was written.',
    });

    stub.api.window.activeTextEditor = { document: { uri: new Uri('untitled', 'Untitled-1'), languageId: 'tuvo-mml' } };
    const before = events().length;
    assert.strictEqual(await stub.commands.get('tuvommlc.compile')(), undefined);
    assert.match(stub.messages.at(-1).text, /save Untitled-1 as a file first/);
    assert.strictEqual(events().length, before, 'an untitled song was sent to the server');

    await extension.deactivate();
    for (const disposable of context.subscriptions) disposable.dispose();
});
