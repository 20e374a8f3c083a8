-- The server's inlay hints as virtual text after their lines, aligned in one column (Neovim
-- 0.7 shows no inlay hints itself): requested after each change, shown when the answer still
-- fits the buffer, and again when the server asks for a refresh.
local M = {}

local namespace = vim.api.nvim_create_namespace("vexa_hints")
local delay_ms = 100
local timers = {}

vim.cmd("highlight default link VexaInlayHint Comment")

local function label_text(label)
  if type(label) == "string" then
    return label
  end
  local parts = {}
  for _, part in ipairs(label or {}) do
    table.insert(parts, part.value)
  end
  return table.concat(parts)
end

function M.show(bufnr, result)
  vim.api.nvim_buf_clear_namespace(bufnr, namespace, 0, -1)
  local by_line = {}
  for _, hint in ipairs(result or {}) do
    local line = hint.position.line
    by_line[line] = by_line[line] or {}
    table.insert(by_line[line], label_text(hint.label))
  end
  -- One column for all hints, just right of the longest line that has one.
  local lines = vim.api.nvim_buf_get_lines(bufnr, 0, -1, false)
  local column = 0
  for line in pairs(by_line) do
    if lines[line + 1] then
      column = math.max(column, vim.fn.strdisplaywidth(lines[line + 1]))
    end
  end
  for line, texts in pairs(by_line) do
    if lines[line + 1] then
      vim.api.nvim_buf_set_extmark(bufnr, namespace, line, 0, {
        virt_text = { { table.concat(texts, "  "), "VexaInlayHint" } },
        virt_text_win_col = column + 2,
        hl_mode = "combine",
      })
    end
  end
end

function M.request(bufnr)
  if not vim.api.nvim_buf_is_loaded(bufnr) then
    return
  end
  local last = vim.api.nvim_buf_line_count(bufnr) - 1
  local last_text = vim.api.nvim_buf_get_lines(bufnr, last, last + 1, false)[1] or ""
  local params = {
    textDocument = vim.lsp.util.make_text_document_params(bufnr),
    range = {
      start = { line = 0, character = 0 },
      ["end"] = { line = last, character = select(2, vim.str_utfindex(last_text)) },
    },
  }
  local tick = vim.api.nvim_buf_get_changedtick(bufnr)
  vim.lsp.buf_request(bufnr, "textDocument/inlayHint", params, function(err, result)
    -- An answer for an older text would put its hints on the wrong lines; a newer request
    -- is on its way then.
    if err or not vim.api.nvim_buf_is_loaded(bufnr)
        or vim.api.nvim_buf_get_changedtick(bufnr) ~= tick then
      return
    end
    M.show(bufnr, result)
  end)
end

local function schedule(bufnr)
  local timer = timers[bufnr]
  if not timer then
    timer = vim.loop.new_timer()
    timers[bufnr] = timer
  end
  timer:stop()
  timer:start(delay_ms, 0, vim.schedule_wrap(function()
    M.request(bufnr)
  end))
end

function M.attach(bufnr)
  local group = vim.api.nvim_create_augroup("vexa_hints_" .. bufnr, { clear = true })
  vim.api.nvim_create_autocmd({ "TextChanged", "TextChangedI", "InsertLeave" }, {
    group = group,
    buffer = bufnr,
    callback = function()
      schedule(bufnr)
    end,
  })
  vim.api.nvim_create_autocmd({ "BufUnload" }, {
    group = group,
    buffer = bufnr,
    callback = function()
      if timers[bufnr] then
        timers[bufnr]:close()
        timers[bufnr] = nil
      end
    end,
  })
  schedule(bufnr)
end

-- Handler of workspace/inlayHint/refresh: ask again for every buffer showing hints.
function M.refresh(_, _, ctx)
  for bufnr in pairs(timers) do
    if vim.lsp.buf_is_attached(bufnr, ctx.client_id) then
      M.request(bufnr)
    end
  end
  return vim.NIL
end

return M
