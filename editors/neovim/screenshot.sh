#!/usr/bin/env bash
# Captures docs/neovim.png: Neovim with this set-up in an xterm under Xvfb, the bundled pulse
# sequence with its timing hints above, and a copy with two mistakes and their diagnostics
# below. Needs xvfb, xterm, imagemagick and fonts-dejavu; usage: screenshot.sh path/to/vexa-lsp
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
server=$(realpath "${1:?usage: $0 path/to/vexa-lsp}")
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

cp "$root/examples/pulse_sequence.s" "$work/pulse_sequence.s"
sed -e 's/wait            250/wait            3  /' -e 's/set_mrk         1  /set_mrk         16 /' \
    "$work/pulse_sequence.s" >"$work/pulse_typo.s"
cat >"$work/init.lua" <<LUA
vim.opt.runtimepath:prepend("$root/editors/neovim")
vim.opt.swapfile = false
vim.opt.shadafile = "NONE"
vim.opt.termguicolors = true
vim.opt.number = true
vim.opt.signcolumn = "yes"
vim.opt.fillchars = { eob = " " }
vim.cmd("colorscheme desert")
vim.cmd("highlight VexaInlayHint guifg=#9a9a9a gui=italic")
require("vexa").setup({ cmd = { "$server" } })
LUA

export DISPLAY=:77
Xvfb "$DISPLAY" -screen 0 1700x800x24 >/dev/null 2>&1 &
sleep 1
(cd "$work" && xterm -geometry 180x32+0+0 -fa 'DejaVu Sans Mono' -fs 10 -bg '#333333' \
    -fg '#d0d0d0' -bw 0 -e nvim -u init.lua -o pulse_sequence.s pulse_typo.s) &
sleep 4
import -window root "$work/screen.png"
convert "$work/screen.png" -trim +repage -dither None -colors 64 "$root/docs/neovim.png"
