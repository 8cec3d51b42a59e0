-- Neovim's own client drives kolvu-lsp over a Shift_JIS tree: go to the
-- definition of a macro in another file, go to a typedef whose name stands
-- after Japanese text, hover a typedef, list workspace symbols. What it sees
-- is written as JSON to $RESULT; editors_test.py checks it.
local tree = os.getenv('TREE')
local out = {}
local function finish(err)
  if err then out.error = err end
  local f = io.open(os.getenv('RESULT'), 'w')
  f:write(vim.fn.json_encode(out))
  f:close()
  vim.cmd('qall!')
end

local ok, err = pcall(function()
  -- The README's set-up (given with -u) starts the client for a C file.
  vim.cmd('edit ' .. vim.fn.fnameescape(tree .. '/src/main.c'))
  local client
  assert(vim.wait(10000, function()
    client = vim.lsp.buf_get_clients(0)[1]
    return client ~= nil and client.initialized
  end, 20), 'no client started, or not initialized')
  local client_id = client.id
  out.root = client.config.root_dir
  out.encoding = client.offset_encoding

  -- Indexing runs in the background: ask until the names are there.
  local names = {}
  assert(vim.wait(20000, function()
    local r = vim.lsp.buf_request_sync(0, 'workspace/symbol', { query = 'MAX' }, 2000)
    names = {}
    for _, res in pairs(r or {}) do
      for _, s in ipairs(res.result or {}) do table.insert(names, s.name) end
    end
    return #names > 0
  end, 100), 'no workspace symbols')
  out.symbols = names

  local function jump(line, word)
    vim.api.nvim_set_current_buf(vim.fn.bufnr(tree .. '/src/main.c'))
    local text = vim.api.nvim_buf_get_lines(0, line - 1, line, false)[1]
    local col = string.find(text, word, 1, true)
    vim.api.nvim_win_set_cursor(0, { line, col })
    local before = vim.api.nvim_buf_get_name(0)
    vim.lsp.buf.definition()
    assert(vim.wait(10000, function() return vim.api.nvim_buf_get_name(0) ~= before end, 20),
           'no jump for ' .. word)
    local cur = vim.api.nvim_win_get_cursor(0)
    return { file = vim.api.nvim_buf_get_name(0), line = cur[1], byte = cur[2],
             text = vim.api.nvim_get_current_line() }
  end
  out.macro = jump(3, 'MAX_LEN')
  out.typedef = jump(5, 'ULONG')

  -- Hover on the typedef Point.
  vim.api.nvim_set_current_buf(vim.fn.bufnr(tree .. '/src/main.c'))
  local text = vim.api.nvim_buf_get_lines(0, 3, 4, false)[1]
  vim.api.nvim_win_set_cursor(0, { 4, (string.find(text, 'Point', 1, true)) })
  local params = vim.lsp.util.make_position_params()
  local r = vim.lsp.buf_request_sync(0, 'textDocument/hover', params, 5000)
  for _, res in pairs(r or {}) do
    if res.result then out.hover = res.result.contents.value end
  end
  vim.lsp.stop_client(client_id)
end)
finish(not ok and tostring(err) or nil)
