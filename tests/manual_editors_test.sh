#!/bin/sh
# The editor set-ups of the manual's chapter "Editing in an editor", run as
# written against the program's own server: Neovim's (in a headless Neovim)
# or Emacs's (in a batch Emacs with eglot). A code page 932 song that includes
# a file of its parts/ folder opens with its file type or mode; the server is
# started in the song's folder with the option -Iparts added to the set-up's
# command line; the set-up's compile command compiles the song and reports the
# file it wrote, which must then exist. Waits are bounded by the editors' own
# timeouts and the CPU time limit.
# Arguments: the source tree, nvim or emacs, then the program.
set -eu
root=$1
editor=$2
program=$3
scratch=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
fail() { echo "$*"; for f in editor.txt; do echo "--- $f"; cat "$f" 2>/dev/null || true; done; exit 1; }

block() { awk -v fence="\`\`\`$1" '$0 == fence { inside = 1; next } /^```$/ { inside = 0 } inside' "$root/doc/manual.md"; }
# "c d e" and the lyric かえる in code page 932, then the verse found only
# through -Iparts.
printf 'c d e "\202\251\202\246\202\351"\n.include "verse.mml"\n' > song.mml
mkdir parts
printf 'f g "\202\251\202\246"\n' > parts/verse.mml
vsq="$scratch/song.vsq"

case $editor in
nvim)
    block lua > init.lua
    grep -q "cmd = { 'tuvommlc', '--lsp' }," init.lua || fail "the manual's Neovim set-up has no server command line"
    sed -i "s#cmd = { 'tuvommlc', '--lsp' },#cmd = { '$program', '--lsp', '-Iparts' },#" init.lua
    cat > drive.lua <<'LUA'
local notes = {}
vim.notify = function(message) table.insert(notes, message) end
local attached = vim.wait(60000, function()
  local clients = vim.lsp.buf_get_clients(0)
  return #clients > 0 and clients[1].initialized
end, 20)
local out = io.open('editor.txt', 'w')
out:write('attached ', tostring(attached), '\n')
out:write('type ', vim.bo.filetype, '\n')
out:write('comment ', vim.bo.commentstring, '\n')
out:write('text ', vim.api.nvim_buf_get_lines(0, 0, 1, false)[1], '\n')
vim.cmd('TuvoCompile')
vim.wait(60000, function() return #notes > 0 end, 20)
for _, note in ipairs(notes) do out:write(note, '\n') end
out:close()
vim.cmd('qa!')
LUA
    (ulimit -t 120; nvim --headless -u init.lua -c 'luafile drive.lua' song.mml </dev/null >nvim.txt 2>&1) ||
        fail "nvim failed: $(cat nvim.txt)"
    expected_type='type tuvo-mml'
    expected_comment='comment ; %s'
    expected_report="TuvoCompile: wrote $vsq"
    ;;
emacs)
    block elisp > init.el
    grep -q '("tuvommlc" "--lsp")' init.el || fail "the manual's Emacs set-up has no server command line"
    sed -i "s#(\"tuvommlc\" \"--lsp\")#(\"$program\" \"--lsp\" \"-Iparts\")#" init.el
    cat > drive.el <<'ELISP'
(find-file "song.mml")
;; Outside batch mode the first command after opening connects.
(run-hooks 'post-command-hook)
(let ((state (format "attached %s\ntype %s\ncomment %s\ntext %s\n"
                     (if (bound-and-true-p eglot--managed-mode) "true" "false") major-mode comment-start
                     (buffer-substring 1 (line-end-position)))))
  (with-temp-file "editor.txt" (insert state)))
(tuvo-mml-compile)
ELISP
    # Batch Emacs activates no packages; the eglot package's autoloads stand in.
    autoloads=$(ls /usr/share/emacs/site-lisp/elpa/eglot-*/eglot-autoloads.el 2>/dev/null | head -n 1)
    (ulimit -t 120; emacs --batch ${autoloads:+-l "$autoloads"} -l init.el -l drive.el </dev/null >emacs.txt 2>&1) ||
        fail "emacs failed: $(cat emacs.txt)"
    grep -xF "Wrote $vsq" emacs.txt >> editor.txt || true
    expected_type='type tuvo-mml-mode'
    expected_comment='comment ; '
    expected_report="Wrote $vsq"
    ;;
*)
    fail "unknown editor $editor"
    ;;
esac

grep -qx 'attached true' editor.txt || fail "the server was not attached to the song"
grep -qx "$expected_type" editor.txt || fail "the song did not get its file type or mode"
grep -qxF "$expected_comment" editor.txt || fail "the song did not get its comment start"
grep -qx 'text c d e "かえる"' editor.txt || fail "the song was not read as code page 932"
grep -qxF "$expected_report" editor.txt || fail "no report of the file written"
[ -s "$vsq" ] || fail "the compile reported $vsq but did not write it"
echo "the manual's $editor set-up works"
