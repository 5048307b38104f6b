// The real server (the program named by TUVO_PROGRAM, run with --lsp) driven
// over vscode-jsonrpc as an editor drives it: a song opened with a mistake,
// changed, then asked for hover, completion and definition, and shut down;
// a song that includes a file of its parts folder asked for hover on a lyric
// and a rest and for the definition of a macro of the included file. A server
// a failed assertion left running is killed, so that the test ends.
'use strict';

const assert = require('node:assert');
const childProcess = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');
const rpc = require('vscode-jsonrpc/node');

const program = process.env.TUVO_PROGRAM;

function startServer(folder, options = []) {
    const server = childProcess.spawn(program, ['--lsp', ...options], { cwd: folder, stdio: ['pipe', 'pipe', 'inherit'] });
    const connection = rpc.createMessageConnection(
        new rpc.StreamMessageReader(server.stdout), new rpc.StreamMessageWriter(server.stdin));
    const published = [];
    let waiting = null;
    connection.onNotification('textDocument/publishDiagnostics', (params) => {
        published.push(params);
        if (waiting) waiting();
    });
    connection.listen();
    // The next diagnostics published for `uri` after `count` were.
    const diagnosticsAfter = (uri, count) => new Promise((resolve) => {
        const look = () => {
            const found = published.slice(count).find((p) => p.uri === uri);
            if (found) {
                waiting = null;
                resolve(found.diagnostics);
            }
        };
        waiting = look;
        look();
    });
    const exited = new Promise((resolve) => server.on('exit', (code) => resolve(code)));
    return { server, connection, published, diagnosticsAfter, exited };
}

// Runs `body` with a server started in a new folder laid out by `files`
// (path: text), and always stops the server and removes the folder.
async function withServer(files, options, body) {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tuvo-lsp-'));
    for (const [name, text] of Object.entries(files)) {
        fs.mkdirSync(path.dirname(path.join(folder, name)), { recursive: true });
        fs.writeFileSync(path.join(folder, name), text);
    }
    const started = startServer(folder, options);
    try {
        await body(folder, started);
    } finally {
        if (started.server.exitCode === null) started.server.kill();
        started.connection.dispose();
        fs.rmSync(folder, { recursive: true, force: true });
    }
}

async function initialize(connection) {
    const init = await connection.sendRequest('initialize', { processId: null, rootUri: null, capabilities: {} });
    connection.sendNotification('initialized', {});
    return init;
}

test('the server checks, answers and shuts down as an editor expects', { skip: !program }, () => withServer({}, [], async (folder, { connection, published, diagnosticsAfter, exited }) => {
    const uri = `file://${path.join(folder, 'song.mml')}`;
    const init = await initialize(connection);
    assert.strictEqual(init.capabilities.textDocumentSync.change, 2);

    // "@vib1,240" in lower case is an unknown command, on line 3 from column 3.
    const text = '.macro \\ph { c d }\n@SGR0,0,"Tuvo"\nl4 @vib1,240 e "あ"\n\\ph f "かき"\n';
    connection.sendNotification('textDocument/didOpen', { textDocument: { uri, languageId: 'tuvo-mml', version: 1, text } });
    let diagnostics = await diagnosticsAfter(uri, 0);
    const unknown = diagnostics.find((d) => d.code === 'unknown-command');
    assert.ok(unknown, JSON.stringify(diagnostics));
    assert.deepStrictEqual(unknown.range.start, { line: 2, character: 3 });
    assert.strictEqual(unknown.severity, 1);
    assert.match(unknown.message, /unknown command/);

    // The mistake mended by an incremental edit: no error is left.
    const count = published.length;
    connection.sendNotification('textDocument/didChange', {
        textDocument: { uri, version: 2 },
        contentChanges: [{ range: { start: { line: 2, character: 3 }, end: { line: 2, character: 7 } }, text: '@VIB' }],
    });
    diagnostics = await diagnosticsAfter(uri, count);
    assert.deepStrictEqual(diagnostics.filter((d) => d.severity === 1), []);

    // "e" sings "あ"; the macro's c and d take "か" and "き", so the "f"
    // after them is left the default syllable.
    const hoverE = await connection.sendRequest('textDocument/hover', { textDocument: { uri }, position: { line: 2, character: 13 } });
    assert.match(hoverE.contents.value, /sings "あ"/);
    assert.match(hoverE.contents.value, /1:1:0/);
    const hoverF = await connection.sendRequest('textDocument/hover', { textDocument: { uri }, position: { line: 3, character: 4 } });
    assert.match(hoverF.contents.value, /sings the default "ら"/);
    const hoverVib = await connection.sendRequest('textDocument/hover', { textDocument: { uri }, position: { line: 2, character: 4 } });
    assert.match(hoverVib.contents.value, /@VIBtype,delay/);
    const hoverMacro = await connection.sendRequest('textDocument/hover', { textDocument: { uri }, position: { line: 3, character: 1 } });
    assert.match(hoverMacro.contents.value, /c d/);

    const completion = await connection.sendRequest('textDocument/completion', { textDocument: { uri }, position: { line: 2, character: 4 } });
    const vib = completion.find((item) => item.label === '@VIB');
    assert.ok(vib, 'completion offers @VIB');
    assert.strictEqual(vib.insertText, 'VIB${1:type},${2:delay}');

    const definition = await connection.sendRequest('textDocument/definition', { textDocument: { uri }, position: { line: 3, character: 2 } });
    assert.deepStrictEqual(definition, { uri, range: { start: { line: 0, character: 7 }, end: { line: 0, character: 10 } } });

    await connection.sendRequest('shutdown');
    connection.sendNotification('exit');
    assert.strictEqual(await exited, 0);
}));

test('lyrics, rests and the names of included files are explained', { skip: !program }, () => withServer(
    { 'parts/riff.mml': '.macro \\riff { c d }\n' }, ['-Iparts'], async (folder, { connection, diagnosticsAfter, exited }) => {
        const uri = `file://${path.join(folder, 'song.mml')}`;
        await initialize(connection);
        // The macro's c and d sing "か" and "さ"; after the rest, e sings "た".
        const text = '.include "riff.mml"\nl4 \\riff r8 e "かさた"\n';
        connection.sendNotification('textDocument/didOpen', { textDocument: { uri, languageId: 'tuvo-mml', version: 1, text } });
        const diagnostics = await diagnosticsAfter(uri, 0);
        assert.deepStrictEqual(diagnostics.filter((d) => d.severity === 1), []);
        const ask = (method, line, character) =>
            connection.sendRequest(method, { textDocument: { uri }, position: { line, character } });

        const lyric = await ask('textDocument/hover', 1, 16);
        assert.match(lyric.contents.value, /3 syllables/);
        assert.match(lyric.contents.value, /`か` → C5 at 1:1\n- `さ` → D5 at 1:2\n- `た` → E5 at 1:3/);
        const rest = await ask('textDocument/hover', 1, 9);
        assert.match(rest.contents.value, /\*\*rest\*\*, 240 ticks \(note value 8\)/);
        assert.match(rest.contents.value, /starts at 1:3:0/);

        const macro = await ask('textDocument/hover', 1, 4);
        assert.match(macro.contents.value, /expands to\n```\n c d \n```/);
        assert.match(macro.contents.value, /defined in riff\.mml/);
        const definition = await ask('textDocument/definition', 1, 4);
        assert.deepStrictEqual(definition, {
            uri: `file://${path.join(folder, 'parts', 'riff.mml')}`,
            range: { start: { line: 0, character: 7 }, end: { line: 0, character: 12 } },
        });
        await connection.sendRequest('shutdown');
        connection.sendNotification('exit');
        assert.strictEqual(await exited, 0);
    }));
