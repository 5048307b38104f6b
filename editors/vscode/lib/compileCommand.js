// The compile command as the client sends it to the server
// (workspace/executeCommand "tuvommlc.compile" with the document and the
// outputs chosen) and the message it shows for the server's answer. Kept free
// of the editor's API so that it can be tested on its own.
'use strict';

const path = require('path');

const COMMAND = 'tuvommlc.compile';

// The outputs besides the VSQ file, in the order of the settings.
const OUTPUTS = ['midi', 'musicxml', 'ustx', 'ust'];

// The outputs object sent to the server: every key present, true only when
// the setting says true.
function compileOutputs(setting) {
    const chosen = {};
    for (const name of OUTPUTS) chosen[name] = Boolean(setting && setting[name] === true);
    return chosen;
}

// Whether a command argument chooses outputs ({"midi": true, ...}, nothing
// else), as opposed to whatever else a menu passes after the document.
function isOutputsChoice(value) {
    if (value === null || typeof value !== 'object' || Array.isArray(value)) return false;
    const keys = Object.keys(value);
    return keys.length > 0 && keys.every((key) => OUTPUTS.includes(key) && typeof value[key] === 'boolean');
}

function compileRequest(documentUri, outputsSetting) {
    return { command: COMMAND, arguments: [documentUri, compileOutputs(outputsSetting)] };
}

function isCount(value) {
    return Number.isInteger(value) && value >= 0;
}

function counted(count, word) {
    return `${count} ${word}${count === 1 ? '' : 's'}`;
}

// The files written, named by their base names after the folder they share,
// or by their full paths when they lie in different folders.
function writtenFiles(outputs) {
    const folders = new Set(outputs.map((file) => path.dirname(file)));
    if (folders.size !== 1) return outputs.join(', ');
    return `${outputs.map((file) => path.basename(file)).join(', ')} in ${[...folders][0]}`;
}

// What to tell the user about the server's answer `result` for the song
// `songName`: { ok, text }. `ok` is false for a failed compile and for an
// answer that is not of the agreed shape
// { succeeded: bool, errors: n, warnings: n, outputs: [paths] }.
function describeCompileResult(result, songName) {
    const valid = result !== null && typeof result === 'object' &&
        typeof result.succeeded === 'boolean' && isCount(result.errors) && isCount(result.warnings) &&
        Array.isArray(result.outputs) && result.outputs.every((file) => typeof file === 'string');
    if (!valid) {
        return { ok: false, text: `Compiling ${songName}: the language server gave an answer this extension does not understand; is tuvommlc.programPath a tuvommlc with --lsp?` };
    }
    if (!result.succeeded) {
        const warnings = result.warnings > 0 ? ` and ${counted(result.warnings, 'warning')}` : '';
        return { ok: false, text: `${songName} did not compile: ${counted(result.errors, 'error')}${warnings}; the Problems view lists them. No file was written.` };
    }
    const warnings = result.warnings > 0 ? ` with ${counted(result.warnings, 'warning')}` : '';
    if (result.outputs.length === 0) return { ok: true, text: `Compiled ${songName}${warnings}; no file was written.` };
    return { ok: true, text: `Compiled ${songName}${warnings}: wrote ${writtenFiles(result.outputs)}.` };
}

module.exports = { COMMAND, OUTPUTS, compileOutputs, isOutputsChoice, compileRequest, describeCompileResult };
