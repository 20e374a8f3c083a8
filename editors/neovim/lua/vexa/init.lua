-- Starts vexa-lsp for the buffers of file type "vexa" (one server for all of them) through
-- Neovim's own client, and shows the server's timing hints as virtual text.
local hints = require("vexa.hints")

local M = {}

local defaults = {
  -- The server: a command list, or nil for g:vexa_lsp_path or "vexa-lsp" on PATH.
  cmd = nil,
  -- How many instructions the simulation behind the timing hints may execute.
  instruction_budget = 1000000,
  inlay_hints = true,
  -- Buffer-local K, gd, gr, <leader>rn and <leader>f.
  keymaps = true,
  on_attach = nil,
}

local config = vim.deepcopy(defaults)
local client_id = nil

local function command()
  if type(config.cmd) == "string" then
    return { config.cmd }
  end
  return config.cmd or { vim.g.vexa_lsp_path or "vexa-lsp" }
end

local function capabilities()
  local caps = vim.lsp.protocol.make_client_capabilities()
  caps.textDocument.inlayHint = { dynamicRegistration = false }
  caps.workspace.inlayHint = { refreshSupport = true }
  return caps
end

local function on_attach(client, bufnr)
  vim.bo[bufnr].omnifunc = "v:lua.vim.lsp.omnifunc"
  if config.keymaps then
    local function map(lhs, fn)
      vim.keymap.set("n", lhs, fn, { buffer = bufnr, silent = true })
    end
    map("K", vim.lsp.buf.hover)
    map("gd", vim.lsp.buf.definition)
    map("gr", vim.lsp.buf.references)
    map("<leader>rn", vim.lsp.buf.rename)
    map("<leader>f", vim.lsp.buf.format or vim.lsp.buf.formatting)
  end
  if config.inlay_hints and (client.server_capabilities or {}).inlayHintProvider then
    hints.attach(bufnr)
  end
  if config.on_attach then
    config.on_attach(client, bufnr)
  end
end

-- The running client's id, starting the server when none runs; nil when it cannot start.
function M.start()
  if client_id and vim.lsp.get_client_by_id(client_id) then
    return client_id
  end
  local cmd = command()
  if vim.fn.executable(cmd[1]) ~= 1 then
    vim.notify("vexa: language server '" .. cmd[1] .. "' not found", vim.log.levels.WARN)
    return nil
  end
  local settings = { vexa = { instructionBudget = config.instruction_budget } }
  client_id = vim.lsp.start_client({
    name = "vexa-lsp",
    cmd = cmd,
    root_dir = vim.fn.getcwd(),
    capabilities = capabilities(),
    init_options = { instructionBudget = config.instruction_budget },
    settings = settings,
    handlers = { ["workspace/inlayHint/refresh"] = hints.refresh },
    on_init = function(client)
      client.notify("workspace/didChangeConfiguration", { settings = settings })
    end,
    on_attach = on_attach,
  })
  return client_id
end

function M.attach(bufnr)
  local id = M.start()
  if id then
    vim.lsp.buf_attach_client(bufnr, id)
  end
end

function M.setup(opts)
  config = vim.tbl_deep_extend("force", vim.deepcopy(defaults), opts or {})
  local group = vim.api.nvim_create_augroup("vexa_lsp", { clear = true })
  vim.api.nvim_create_autocmd("FileType", {
    group = group,
    pattern = "vexa",
    callback = function(args)
      M.attach(args.buf)
    end,
  })
  for _, bufnr in ipairs(vim.api.nvim_list_bufs()) do
    if vim.api.nvim_buf_is_loaded(bufnr) and vim.bo[bufnr].filetype == "vexa" then
      M.attach(bufnr)
    end
  end
end

return M
