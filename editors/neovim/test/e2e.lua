-- Drives vexa-lsp through Neovim's own client: a file with two errors gets its diagnostics
-- at their lines and columns, hovering a mnemonic shows its variants, fixing the errors
-- clears the diagnostics and brings timing hints to every instruction line, and going to the
-- definition of a label reference jumps to the label. Ends Neovim with status 0 when every
-- check holds, 1 otherwise (naming the checks).
local timeout_ms = 10000
local failures = {}

local function check(ok, what)
  if not ok then
    table.insert(failures, what)
  end
  return ok
end

local function wait_for(what, condition)
  return check(vim.wait(timeout_ms, condition, 10), "timed out waiting for " .. what)
end

local source = {
  "# Two mistakes in a counting loop.",
  "        move    3, R1",
  "count:  wait    4",
  "        jump    @count",
  "        add     R1, R2",
  "        loop    R1, @count",
  "        stop",
}

-- Where the assembler's report marks each error: 0-based line, first column and the column
-- after the marked text.
local expected = {
  { line = 3, first = 8, last = 12, message = "instruction 'jump' not found" },
  { line = 4, first = 16, last = 22, message = 'does not support argument signature "R#,R#"' },
}

local function sorted_diagnostics(bufnr)
  local diagnostics = vim.diagnostic.get(bufnr)
  table.sort(diagnostics, function(a, b)
    return a.lnum < b.lnum or (a.lnum == b.lnum and a.col < b.col)
  end)
  return diagnostics
end

local function floating_window()
  for _, win in ipairs(vim.api.nvim_list_wins()) do
    if vim.api.nvim_win_get_config(win).relative ~= "" then
      return win
    end
  end
end

local function floating_text()
  local win = floating_window()
  if win then
    local buf = vim.api.nvim_win_get_buf(win)
    return table.concat(vim.api.nvim_buf_get_lines(buf, 0, -1, false), "\n")
  end
end

local function run()
  local path = vim.fn.tempname() .. ".s"
  vim.fn.writefile(source, path)
  vim.cmd("edit " .. vim.fn.fnameescape(path))
  local bufnr = vim.api.nvim_get_current_buf()
  check(vim.bo.filetype == "vexa", "file type of a .s file: " .. vim.bo.filetype)
  if not wait_for("the server to attach", function()
        return next(vim.lsp.buf_get_clients(bufnr)) ~= nil
      end) then
    return
  end

  wait_for("two diagnostics", function()
    return #vim.diagnostic.get(bufnr) == #expected
  end)
  local diagnostics = sorted_diagnostics(bufnr)
  for i, want in ipairs(expected) do
    local got = diagnostics[i] or {}
    local where = string.format("diagnostic %d: line %s, columns %s-%s", i, tostring(got.lnum),
                                tostring(got.col), tostring(got.end_col))
    check(got.lnum == want.line and got.col == want.first and got.end_col == want.last,
          string.format("%s, expected line %d, columns %d-%d", where, want.line, want.first,
                        want.last))
    check(got.severity == vim.diagnostic.severity.ERROR, where .. ": not an error")
    check(type(got.message) == "string" and got.message:find(want.message, 1, true) ~= nil,
          where .. ": message " .. tostring(got.message))
  end

  -- Hover on "move": both variants in the assembler's notation, in a floating window.
  vim.api.nvim_win_set_cursor(0, { 2, 9 })
  vim.lsp.buf.hover()
  if wait_for("the hover window", function()
        return floating_text() ~= nil
      end) then
    local text = floating_text()
    check(text:find("#,R#", 1, true) and text:find("R#,R#", 1, true),
          "hover on move lacks its signatures:\n" .. text)
  end
  while floating_window() do
    vim.api.nvim_win_close(floating_window(), true)
  end

  -- Fixing both lines clears the diagnostics; the program then runs, the loop three times.
  vim.api.nvim_buf_set_text(bufnr, 3, 8, 3, 22, { "nop" })
  vim.api.nvim_buf_set_lines(bufnr, 4, 5, true, { "        add     R1, R2, R3" })
  wait_for("the diagnostics to clear", function()
    return #vim.diagnostic.get(bufnr) == 0
  end)
  local namespace = vim.api.nvim_create_namespace("vexa_hints")
  local hints = {}
  wait_for("timing hints on the six instruction lines", function()
    hints = vim.api.nvim_buf_get_extmarks(bufnr, namespace, 0, -1, { details = true })
    return #hints == 6
  end)
  for i, hint in ipairs(hints) do
    check(hint[2] == i, string.format("timing hint %d on line %d", i, hint[2]))
  end
  local loop_hint = hints[2] and hints[2][4].virt_text[1][1] or ""
  check(loop_hint:find("3x", 1, true), "timing hint of the loop's first line: " .. loop_hint)

  -- Go to definition on the reference "@count" in line 6 lands on the label in line 3.
  vim.api.nvim_win_set_cursor(0, { 6, 22 })
  vim.lsp.buf.definition()
  if wait_for("the jump to the label", function()
        return vim.api.nvim_win_get_cursor(0)[1] ~= 6
      end) then
    local cursor = vim.api.nvim_win_get_cursor(0)
    check(cursor[1] == 3 and cursor[2] == 0,
          string.format("definition of @count at %d:%d, expected 3:0", cursor[1], cursor[2]))
  end
  vim.cmd("bwipeout!")
  os.remove(path)
end

local ok, err = pcall(run)
check(ok, "error: " .. tostring(err))
if #failures > 0 then
  io.stderr:write("neovim end-to-end test failed:\n  " .. table.concat(failures, "\n  ") .. "\n")
  vim.cmd("cquit")
else
  io.stdout:write("neovim end-to-end test passed\n")
  vim.cmd("qall!")
end
