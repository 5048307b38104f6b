// The command line that starts the language server, built from the
// extension's settings: the program, "--lsp", then the same compile options
// the command line takes (-p, -I, -u). Kept free of the editor's API so that
// it can be tested on its own.
'use strict';

const os = require('os');
const path = require('path');

const DEFAULT_PROGRAM = 'tuvommlc';

function isSet(value) {
    return typeof value === 'string' && value.trim() !== '';
}

// A path from the settings: a leading "~" is the home folder, and a relative
// path is taken from `base` (the workspace folder) when there is one.
function resolvePath(value, base) {
    let result = value;
    if (result === '~' || result.startsWith('~/')) result = path.join(os.homedir(), result.slice(1));
    if (base && !path.isAbsolute(result)) result = path.resolve(base, result);
    return result;
}

// The program to start: a bare name is left for the system to find on the
// PATH; anything with a folder in it is a path.
function programFor(value, base) {
    if (!isSet(value)) return DEFAULT_PROGRAM;
    if (!/[\\/]/.test(value) && !value.startsWith('~')) return value;
    return resolvePath(value, base);
}

// `settings` holds the values of tuvommlc.programPath, tuvommlc.dictionary,
// tuvommlc.includeDirectories and tuvommlc.encoding (as read, so possibly of
// the wrong type); `base` is the workspace folder's path or undefined.
// Returns { program, args }.
function serverCommand(settings, base) {
    const args = ['--lsp'];
    if (isSet(settings.dictionary)) args.push('-p', resolvePath(settings.dictionary, base));
    const folders = Array.isArray(settings.includeDirectories) ? settings.includeDirectories : [];
    for (const folder of folders) {
        if (isSet(folder)) args.push('-I' + resolvePath(folder, base));
    }
    if (settings.encoding === 'utf-8') args.push('-u');
    return { program: programFor(settings.programPath, base), args };
}

// The settings whose change restarts the server (under "tuvommlc.").
const SERVER_SETTINGS = ['programPath', 'dictionary', 'includeDirectories', 'encoding'];

module.exports = { serverCommand, SERVER_SETTINGS };
