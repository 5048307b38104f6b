// The VS Code side of tuvommlc: starts "tuvommlc --lsp" as the language
// server for songs, starts it again when the command line its settings give
// changes (or on request), and runs the server's compile command for a song
// with the outputs the settings choose.
'use strict';

const path = require('path');
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');
const { serverCommand, SERVER_SETTINGS } = require('./lib/serverCommand');
const { COMMAND, isOutputsChoice, compileRequest, describeCompileResult } = require('./lib/compileCommand');

const LANGUAGE = 'tuvo-mml';

// The client library registers a VS Code command for every command the server
// lists in its capabilities. The extension registers tuvommlc.compile itself,
// since it adds the document and the outputs to it, so the library's
// registration (which would clash with it) is left out.
class TuvoLanguageClient extends LanguageClient {
    registerFeature(feature) {
        if (feature.registrationType && feature.registrationType.method === 'workspace/executeCommand') return;
        super.registerFeature(feature);
    }
}

let client;
// The command line the running client was started with, to tell whether a
// change of settings or folders changes it.
let startedWith;
let outputChannel;
let fileWatcher;
// Starts and stops run one after another, never overlapping.
let lifecycle = Promise.resolve();

function workspaceFolderPath() {
    const folder = (vscode.workspace.workspaceFolders || []).find((f) => f.uri.scheme === 'file');
    return folder ? folder.uri.fsPath : undefined;
}

function currentServerCommand() {
    const config = vscode.workspace.getConfiguration('tuvommlc');
    const settings = {};
    for (const name of SERVER_SETTINGS) settings[name] = config.get(name);
    return serverCommand(settings, workspaceFolderPath());
}

async function startClient() {
    const { program, args } = currentServerCommand();
    const base = workspaceFolderPath();
    startedWith = JSON.stringify([program, args, base]);
    const executable = { command: program, args, options: base ? { cwd: base } : {} };
    client = new TuvoLanguageClient('tuvommlc', 'Tuvo MML', { run: executable, debug: executable }, {
        documentSelector: [{ scheme: 'file', language: LANGUAGE }, { scheme: 'untitled', language: LANGUAGE }],
        synchronize: { fileEvents: fileWatcher },
        outputChannel,
    });
    try {
        await client.start();
    } catch (error) {
        const shown = [program, ...args].join(' ');
        const choice = await vscode.window.showErrorMessage(
            `Tuvo MML: the language server "${shown}" did not start (${error && error.message ? error.message : error}). ` +
            'Set tuvommlc.programPath to a tuvommlc that has --lsp.', 'Open Settings');
        if (choice) vscode.commands.executeCommand('workbench.action.openSettings', 'tuvommlc.programPath');
    }
}

async function stopClient() {
    if (!client) return;
    const stopping = client;
    client = undefined;
    try {
        await stopping.stop();
    } catch (error) {
        // A server that never started or already died has nothing to stop.
    }
}

function restartClient() {
    lifecycle = lifecycle.then(stopClient).then(startClient);
    return lifecycle;
}

// Restarts the server when the settings or the folders now give another command line.
function restartIfChanged() {
    lifecycle = lifecycle.then(() => {
        const { program, args } = currentServerCommand();
        if (JSON.stringify([program, args, workspaceFolderPath()]) === startedWith) return undefined;
        return stopClient().then(startClient);
    });
    return lifecycle;
}

// The document a compile is for: the one named by the command's argument (a
// URI from a menu or a string from a server's code action) or the active one.
async function documentFor(target) {
    if (target instanceof vscode.Uri) return vscode.workspace.openTextDocument(target);
    if (typeof target === 'string') return vscode.workspace.openTextDocument(vscode.Uri.parse(target));
    const editor = vscode.window.activeTextEditor;
    return editor ? editor.document : undefined;
}

async function compile(target, outputs) {
    const document = await documentFor(target);
    if (!document || document.languageId !== LANGUAGE) {
        vscode.window.showErrorMessage('Tuvo MML: open a song to compile it.');
        return undefined;
    }
    const songName = path.basename(document.uri.path);
    if (document.uri.scheme !== 'file') {
        vscode.window.showErrorMessage(`Tuvo MML: save ${songName} as a file first; the compiled files are written beside it.`);
        return undefined;
    }
    if (!client || !client.isRunning()) {
        vscode.window.showErrorMessage('Tuvo MML: the language server is not running; see the "Tuvo MML" output.');
        return undefined;
    }
    // Menus pass other things after the document; only an outputs object counts.
    const chosen = isOutputsChoice(outputs) ? outputs
        : vscode.workspace.getConfiguration('tuvommlc', document.uri).get('compile.outputs');
    let result;
    try {
        result = await vscode.window.withProgress(
            { location: vscode.ProgressLocation.Window, title: `Compiling ${songName}` },
            () => client.sendRequest('workspace/executeCommand', compileRequest(document.uri.toString(), chosen)));
    } catch (error) {
        vscode.window.showErrorMessage(`Tuvo MML: compiling ${songName} failed: ${error && error.message ? error.message : error}`);
        return undefined;
    }
    const message = describeCompileResult(result, songName);
    if (message.ok) {
        vscode.window.showInformationMessage(message.text);
    } else {
        const choice = await vscode.window.showErrorMessage(message.text, 'Show Problems');
        if (choice) vscode.commands.executeCommand('workbench.actions.view.problems');
    }
    return result;
}

function activate(context) {
    outputChannel = vscode.window.createOutputChannel('Tuvo MML');
    // Included files and dictionaries changed on disk are reported to the server.
    fileWatcher = vscode.workspace.createFileSystemWatcher('**/*.{mml,dic}');
    context.subscriptions.push(outputChannel, fileWatcher,
        vscode.commands.registerCommand(COMMAND, compile),
        // After a new build of the program, say.
        vscode.commands.registerCommand('tuvommlc.restartServer', restartClient),
        vscode.workspace.onDidChangeConfiguration((event) => (
            SERVER_SETTINGS.some((name) => event.affectsConfiguration(`tuvommlc.${name}`)) ? restartIfChanged() : undefined)),
        // Relative paths in the settings are taken from the first folder.
        vscode.workspace.onDidChangeWorkspaceFolders(restartIfChanged));
    return restartClient();
}

function deactivate() {
    lifecycle = lifecycle.then(stopClient);
    return lifecycle;
}

module.exports = { activate, deactivate };
