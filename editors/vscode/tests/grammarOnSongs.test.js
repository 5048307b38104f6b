// The grammar on real songs: every song that the program compiles without an
// error (the example songs, the documents' song examples with the files they
// include, the sources of the golden cases that succeed) must come out of the
// grammar without a single token marked invalid. And the grammar's list of @
// commands must be the compiler's.
'use strict';

const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const test = require('node:test');
const textmate = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

const EXTENSION = path.resolve(__dirname, '..');
const ROOT = path.resolve(EXTENSION, '..', '..');
const GRAMMAR = path.join(EXTENSION, 'syntaxes', 'tuvo-mml.tmLanguage.json');

async function loadGrammar() {
    const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
    await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
    const registry = new textmate.Registry({
        onigLib: Promise.resolve({
            createOnigScanner: (sources) => new oniguruma.OnigScanner(sources),
            createOnigString: (text) => new oniguruma.OnigString(text),
        }),
        loadGrammar: async () => textmate.parseRawGrammar(fs.readFileSync(GRAMMAR, 'utf8'), GRAMMAR),
    });
    return registry.loadGrammar('source.tuvo-mml');
}

// Sources are code page 932 unless they begin with the byte order mark or the
// run reads them as UTF-8 (-u).
function decode(bytes, utf8) {
    if (bytes[0] === 0xEF && bytes[1] === 0xBB && bytes[2] === 0xBF) return bytes.subarray(3).toString('utf8');
    return utf8 ? bytes.toString('utf8') : new TextDecoder('shift_jis').decode(bytes);
}

// The fenced blocks of a document: { info, text, line }.
function fencedBlocks(markdown) {
    const blocks = [];
    let open = null;
    markdown.split('\n').forEach((line, index) => {
        if (!line.startsWith('```')) {
            if (open) open.text.push(line);
        } else if (open) {
            blocks.push({ info: open.info, text: open.text.join('\n'), line: open.line });
            open = null;
        } else {
            open = { info: line.slice(3).trim(), text: [], line: index + 1 };
        }
    });
    return blocks;
}

// Songs of the documents that compile cleanly, with the files written beside them.
function documentSongs() {
    const songs = [];
    const docs = path.join(ROOT, 'doc');
    for (const name of fs.readdirSync(docs).filter((file) => file.endsWith('.md')).sort()) {
        const blocks = fencedBlocks(fs.readFileSync(path.join(docs, name), 'utf8'));
        blocks.forEach((block, i) => {
            const where = `doc/${name} line ${block.line}`;
            // Files written beside a song are songs only when they are MML (a dictionary is not).
            if (/^mml file \S+\.mml$/.test(block.info)) songs.push({ where, text: block.text });
            if (!/^mml song\b/.test(block.info)) return;
            const next = blocks[i + 1];
            const failed = next && next.info === 'text result' && !/^errors: 0$/m.test(next.text);
            if (!failed) songs.push({ where, text: block.text });
        });
    }
    return songs;
}

function sourcesUnder(folder) {
    const found = [];
    for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
        const full = path.join(folder, entry.name);
        if (entry.isDirectory() && entry.name !== 'expected') found.push(...sourcesUnder(full));
        else if (entry.isFile() && entry.name.endsWith('.mml')) found.push(full);
    }
    return found;
}

// Sources of the golden cases whose run ends without an error.
function caseSongs() {
    const songs = [];
    const cases = path.join(ROOT, 'tests', 'cases');
    for (const name of fs.readdirSync(cases).sort()) {
        const folder = path.join(cases, name);
        const stdout = path.join(folder, 'expected', 'stdout');
        if (!fs.existsSync(stdout) || !/^errors: 0$/m.test(fs.readFileSync(stdout, 'utf8'))) continue;
        const argsFile = path.join(folder, 'args');
        const utf8 = fs.existsSync(argsFile) && /^-u$/m.test(fs.readFileSync(argsFile, 'utf8'));
        for (const file of sourcesUnder(folder)) {
            songs.push({ where: path.relative(ROOT, file), text: decode(fs.readFileSync(file), utf8) });
        }
    }
    return songs;
}

function exampleSongs() {
    const examples = path.join(ROOT, 'examples');
    return fs.readdirSync(examples).filter((file) => file.endsWith('.mml')).sort().map((file) => ({
        where: `examples/${file}`, text: decode(fs.readFileSync(path.join(examples, file)), false),
    }));
}

// Every token of `text` that carries an invalid scope, as "line:column 'text' scope".
function invalidTokens(grammar, text) {
    const found = [];
    let stack = textmate.INITIAL;
    text.split(/\r?\n/).forEach((line, index) => {
        const result = grammar.tokenizeLine(line, stack);
        stack = result.ruleStack;
        for (const token of result.tokens) {
            const invalid = token.scopes.find((scope) => scope.startsWith('invalid.'));
            if (invalid) {
                found.push(`${index + 1}:${token.startIndex + 1} '${line.slice(token.startIndex, token.endIndex)}' ${invalid}`);
            }
        }
    });
    return found;
}

test('songs that compile cleanly have no token marked invalid', async () => {
    const grammar = await loadGrammar();
    const songs = [...exampleSongs(), ...documentSongs(), ...caseSongs()];
    assert.ok(songs.length > 100, `only ${songs.length} songs found`);
    const failures = [];
    for (const song of songs) {
        for (const token of invalidTokens(grammar, song.text)) failures.push(`${song.where} ${token}`);
    }
    assert.deepStrictEqual(failures, []);
});

test('the grammar knows exactly the @ commands the compiler dispatches', () => {
    const codes = fs.readFileSync(path.join(ROOT, 'src', 'song', 'CommandCode.h'), 'utf8');
    const compiler = [...codes.matchAll(/commandCode\("(@[A-Z]+)"\)/g)].map((m) => m[1]).sort();
    assert.ok(compiler.length > 15, 'the command codes were not found');
    const grammar = JSON.parse(fs.readFileSync(GRAMMAR, 'utf8'));
    const known = [];
    for (const rule of grammar.repository['at-commands'].patterns) {
        const names = /^\(@(?:\(\?:)?([A-Z|]+)\)*\(\?!\[A-Za-z\]\)/.exec(rule.match || '');
        if (names) known.push(...names[1].split('|').map((name) => '@' + name));
    }
    assert.deepStrictEqual(known.sort(), compiler);
});
