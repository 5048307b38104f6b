#!/bin/sh
# The Neovim set-up of the manual's chapter "Editing in an editor", run as
# written in a headless Neovim with a stand-in server in place of
# `tuvommlc --lsp`: a song opens with its file type and comment string, the
# server is started with the options written in the set-up, the song is sent
# with the language id tuvo-mml, and :TuvoCompile sends the compile command
# and reports the answer. Waits are bounded by Neovim's own vim.wait.
# Arguments: the source tree.
set -eu
root=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
fail() { echo "$*"; echo "--- server log"; cat server.log 2>/dev/null || true; echo "--- result"; cat result.txt 2>/dev/null || true; exit 1; }

# The manual's Lua block, with the stand-in server in place of the program.
awk '/^```lua$/ { inside = 1; next } /^```$/ { inside = 0 } inside' "$root/doc/manual.md" > init.lua
grep -q "cmd = { 'tuvommlc', '--lsp' }," init.lua || fail "the manual's Neovim set-up has no server command line"
sed -i "s#cmd = { 'tuvommlc', '--lsp' },#cmd = { '$root/editors/vscode/tests/support/fakeServer.js', '--lsp', '-Iparts' },#" init.lua
printf 'c d e "\343\201\213\343\201\210\343\202\213"\n' > song.mml

cat > drive.lua <<'LUA'
local notes = {}
vim.notify = function(message) table.insert(notes, message) end
local attached = vim.wait(60000, function()
  local clients = vim.lsp.buf_get_clients(0)
  return #clients > 0 and clients[1].initialized
end, 20)
local out = io.open('result.txt', 'w')
out:write('attached ', tostring(attached), '\n')
out:write('filetype ', vim.bo.filetype, '\n')
out:write('commentstring ', vim.bo.commentstring, '\n')
vim.cmd('TuvoCompile')
vim.wait(60000, function() return #notes > 0 end, 20)
for _, note in ipairs(notes) do out:write('note ', note, '\n') end
out:close()
vim.cmd('qa!')
LUA

export TUVO_FAKE_SERVER_LOG="$scratch/server.log"
export TUVO_FAKE_COMPILE_RESULT='{"succeeded":true,"errors":0,"warnings":0,"outputs":["/songs/song.vsq","/songs/song.mid"]}'
(ulimit -t 120; nvim --headless -u init.lua -c 'luafile drive.lua' song.mml </dev/null >nvim.txt 2>&1) ||
    fail "nvim failed: $(cat nvim.txt)"

grep -qx 'attached true' result.txt || fail "the server was not attached to the song"
grep -qx 'filetype tuvo-mml' result.txt || fail "the song did not get its file type"
grep -qx 'commentstring ; %s' result.txt || fail "the song did not get its comment string"
grep -qx 'note TuvoCompile: wrote /songs/song.vsq, /songs/song.mid' result.txt || fail "no report of the files written"
uri="file://$scratch/song.mml"
grep -qxF "{\"event\":\"start\",\"args\":[\"--lsp\",\"-Iparts\"],\"cwd\":\"$scratch\"}" server.log ||
    fail "the server was not started with the set-up's options in the song's folder"
grep -qxF "{\"event\":\"didOpen\",\"uri\":\"$uri\",\"languageId\":\"tuvo-mml\"}" server.log || fail "the song was not opened as tuvo-mml"
grep -q '"event":"executeCommand"' server.log || fail "no compile command"
/usr/bin/python3 - "$uri" <<'PY' || fail "the compile command's arguments are not the agreed ones"
import json, sys
events = [json.loads(line) for line in open("server.log")]
params = next(e["params"] for e in events if e["event"] == "executeCommand")
assert params == {"command": "tuvommlc.compile",
                  "arguments": [sys.argv[1], {"midi": False, "musicxml": False, "ustx": False, "ust": False}]}, params
PY
echo "the manual's Neovim set-up works"
