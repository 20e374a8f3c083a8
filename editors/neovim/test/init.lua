-- The end-to-end test's configuration: this folder's Neovim set-up and nothing else, with
-- the server named by $VEXA_LSP.
local neovim_dir = vim.fn.fnamemodify(debug.getinfo(1, "S").source:sub(2), ":p:h:h")
vim.opt.runtimepath:prepend(neovim_dir)
vim.opt.swapfile = false
vim.opt.shadafile = "NONE"
vim.cmd("filetype on")
require("vexa").setup({ cmd = { vim.env.VEXA_LSP or "vexa-lsp" } })
