#!/usr/bin/env node
// A stand-in language server for the extension's tests: answers initialize
// with a compile command, answers that command with the result named by the
// environment, and writes one JSON line per event (its start with its
// arguments and folder, each document opened, each request it gets) to the
// file TUVO_FAKE_SERVER_LOG.
'use strict';

const fs = require('fs');
const rpc = require('vscode-jsonrpc/node');

const log = (event) => fs.appendFileSync(process.env.TUVO_FAKE_SERVER_LOG, JSON.stringify(event) + '\n');
log({ event: 'start', args: process.argv.slice(2), cwd: process.cwd() });

const connection = rpc.createMessageConnection(
    new rpc.StreamMessageReader(process.stdin), new rpc.StreamMessageWriter(process.stdout));
connection.onRequest('initialize', () => ({
    capabilities: { textDocumentSync: 1, executeCommandProvider: { commands: ['tuvommlc.compile'] } },
}));
connection.onNotification('textDocument/didOpen', (params) => {
    log({ event: 'didOpen', uri: params.textDocument.uri, languageId: params.textDocument.languageId });
});
connection.onRequest('workspace/executeCommand', (params) => {
    log({ event: 'executeCommand', params });
    return JSON.parse(process.env.TUVO_FAKE_COMPILE_RESULT);
});
connection.onRequest('shutdown', () => {
    log({ event: 'shutdown' });
    return null;
});
connection.onNotification('exit', () => process.exit(0));
connection.listen();
