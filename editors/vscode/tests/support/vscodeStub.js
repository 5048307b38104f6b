// A stand-in for the editor's API ("vscode"), enough for the extension and its
// language client to start, talk to a server and stop, outside the editor.
// Whatever the tests do not look at is a no-op that returns a disposable; the
// settings, the registered commands, the messages shown and the events fired
// are real and visible to the tests.
'use strict';

const path = require('path');

// Any property is another stub, and calling one returns a stub: an inert
// object that still has dispose() and is never taken for a promise.
function inert() {
    const target = function stub() {};
    return new Proxy(target, {
        get(_, key) {
            if (key === 'then' || typeof key === 'symbol') return undefined;
            if (key === 'dispose') return () => {};
            return inert();
        },
        apply() { return inert(); },
        construct() { return inert(); },
    });
}

class Disposable {
    constructor(callOnDispose) { this.callOnDispose = callOnDispose; }
    static from(...items) { return new Disposable(() => items.forEach((item) => item && item.dispose && item.dispose())); }
    dispose() { if (this.callOnDispose) this.callOnDispose(); this.callOnDispose = undefined; }
}

class EventEmitter {
    constructor() { this.listeners = new Set(); }
    get event() {
        return (listener, thisArg, disposables) => {
            const bound = thisArg ? listener.bind(thisArg) : listener;
            this.listeners.add(bound);
            const disposable = new Disposable(() => this.listeners.delete(bound));
            if (Array.isArray(disposables)) disposables.push(disposable);
            return disposable;
        };
    }
    // Calls every listener; returns what they returned, for the tests to await.
    fire(value) { return [...this.listeners].map((listener) => listener(value)); }
    dispose() { this.listeners.clear(); }
}

class Uri {
    constructor(scheme, filePath) { this.scheme = scheme; this.path = filePath; this.fsPath = filePath; }
    static file(filePath) { return new Uri('file', path.resolve(filePath)); }
    static parse(text) {
        const match = /^([a-z][a-z0-9+.-]*):(?:\/\/)?(.*)$/i.exec(text);
        return match ? new Uri(match[1], decodeURIComponent(match[2])) : new Uri('file', text);
    }
    with() { return this; }
    toString() { return `${this.scheme}://${this.path}`; }
    toJSON() { return this.toString(); }
}

class CancellationTokenSource {
    constructor() { this.token = { isCancellationRequested: false, onCancellationRequested: () => new Disposable() }; }
    cancel() { this.token.isCancellationRequested = true; }
    dispose() {}
}

function createStub() {
    const settings = {};
    const commands = new Map();
    const messages = [];
    const configurationChanged = new EventEmitter();
    const foldersChanged = new EventEmitter();
    const show = (level) => (text) => { messages.push({ level, text }); return Promise.resolve(undefined); };
    const event = () => new EventEmitter().event;
    const api = new Proxy({
        version: '1.82.0',
        Disposable, EventEmitter, Uri, CancellationTokenSource,
        CancellationError: class CancellationError extends Error {},
        ProgressLocation: { SourceControl: 1, Window: 10, Notification: 15 },
        env: { language: 'en', appName: 'stub', openExternal: async () => true },
        commands: {
            // Like the editor, a second registration of one id is refused.
            registerCommand(id, handler) {
                if (commands.has(id)) throw new Error(`command '${id}' already exists`);
                commands.set(id, handler);
                return new Disposable(() => commands.delete(id));
            },
            executeCommand: async (id, ...args) => (commands.has(id) ? commands.get(id)(...args) : undefined),
        },
        window: new Proxy({
            activeTextEditor: undefined,
            showErrorMessage: show('error'), showWarningMessage: show('warning'), showInformationMessage: show('info'),
            withProgress: (options, task) => task({ report() {} }, new CancellationTokenSource().token),
            createOutputChannel: (name) => ({ name, lines: [], append() {}, appendLine(line) { this.lines.push(line); }, clear() {}, replace() {}, show() {}, hide() {}, dispose() {} }),
            tabGroups: { all: [], onDidChangeTabs: event(), onDidChangeTabGroups: event() },
            onDidChangeActiveTextEditor: event(), onDidChangeVisibleTextEditors: event(),
            visibleTextEditors: [],
        }, { get: (target, key) => (key in target ? target[key] : inert()) }),
        workspace: new Proxy({
            workspaceFolders: undefined,
            textDocuments: [],
            getConfiguration(section) {
                const prefix = section ? `${section}.` : '';
                return { get: (key, fallback) => (prefix + key in settings ? settings[prefix + key] : fallback), has: (key) => prefix + key in settings, inspect: () => undefined, update: async () => {} };
            },
            onDidChangeConfiguration: configurationChanged.event,
            onDidChangeWorkspaceFolders: foldersChanged.event,
            onDidOpenTextDocument: event(), onDidCloseTextDocument: event(), onDidChangeTextDocument: event(),
            onDidSaveTextDocument: event(), onWillSaveTextDocument: event(),
            createFileSystemWatcher: () => ({ onDidCreate: event(), onDidChange: event(), onDidDelete: event(), dispose() {} }),
            openTextDocument: async (uri) => ({ uri, languageId: uri.path.endsWith('.mml') ? 'tuvo-mml' : 'plaintext' }),
        }, { get: (target, key) => (key in target ? target[key] : inert()) }),
        languages: new Proxy({
            match: () => 0,
            createDiagnosticCollection: () => ({ set() {}, delete() {}, clear() {}, forEach() {}, get() { return []; }, has() { return false; }, dispose() {} }),
        }, { get: (target, key) => (key in target ? target[key] : inert()) }),
    }, { get: (target, key) => (key in target ? target[key] : inert()) });

    // Changes settings the way the editor does: the values first, then the event.
    function changeSettings(changes) {
        Object.assign(settings, changes);
        const changed = Object.keys(changes);
        const affects = (name) => changed.some((key) => key === name || key.startsWith(`${name}.`) || name.startsWith(`${key}.`));
        return Promise.all(configurationChanged.fire({ affectsConfiguration: affects }));
    }

    return { api, settings, commands, messages, changeSettings };
}

module.exports = { createStub, Uri };
