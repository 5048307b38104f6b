#!/bin/sh
# The language server in a headless Neovim's built-in client: a song with a
# mistake opens, its diagnostic stands at the right line and column, hover on
# a note names its syllable and hover on a lyric the note each syllable lands
# on, completion offers @VIB, and go to definition of a macro lands on its name. Waits are bounded by Neovim's own timeouts and the
# CPU time limit.
# Arguments: the program.
set -eu
program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
printf '.macro \\ph { c d }\nl4 e "\343\201\202" @vib1\n\\ph @V\n' > song.mml
cat > drive.lua <<LUA
local out = io.open('editor.txt', 'w')
local buf = vim.api.nvim_get_current_buf()
local id = vim.lsp.start_client({ name = 'tuvommlc', cmd = { '$program', '--lsp' }, root_dir = '$scratch' })
vim.lsp.buf_attach_client(buf, id)
vim.wait(60000, function() return #vim.diagnostic.get(buf) > 0 end, 20)
for _, d in ipairs(vim.diagnostic.get(buf)) do
  out:write(('diagnostic %d:%d %s\n'):format(d.lnum, d.col, d.code or ''))
end
local uri = vim.uri_from_bufnr(buf)
local function ask(method, line, character)
  local answers = vim.lsp.buf_request_sync(buf, method,
    { textDocument = { uri = uri }, position = { line = line, character = character } }, 60000)
  for _, answer in pairs(answers or {}) do if answer.result then return answer.result end end
end
local hover = ask('textDocument/hover', 1, 3)
out:write('hover ', hover and hover.contents.value:gsub('\n', ' ') or 'none', '\n')
local lyric = ask('textDocument/hover', 1, 6)
out:write('lyric ', lyric and lyric.contents.value:gsub('\n', ' ') or 'none', '\n')
local items = ask('textDocument/completion', 2, 5) or {}
for _, item in ipairs(items.items or items) do
  if item.label == '@VIB' then out:write('completion @VIB\n') end
end
local definition = ask('textDocument/definition', 2, 1)
if definition then
  out:write(('definition %d:%d\n'):format(definition.range.start.line, definition.range.start.character))
end
out:close()
vim.lsp.stop_client(id)
vim.cmd('qa!')
LUA
(ulimit -t 120; nvim --headless --clean -c 'luafile drive.lua' song.mml </dev/null >nvim.txt 2>&1) ||
    { cat nvim.txt editor.txt; exit 1; }
fail() { echo "$*"; cat editor.txt nvim.txt; exit 1; }
grep -qx 'diagnostic 1:11 unknown-command' editor.txt || fail "no diagnostic at line 2, column 12"
grep -q '^hover .*sings "あ"' editor.txt || fail "the hover on the note does not name its syllable"
grep -q '^lyric .*`あ` → E5 at 1:1' editor.txt || fail "the hover on the lyric does not name the note its syllable lands on"
grep -qx 'completion @VIB' editor.txt || fail "completion does not offer @VIB"
grep -qx 'definition 0:7' editor.txt || fail "go to definition does not reach the macro's name"
echo "Neovim's client is served"
