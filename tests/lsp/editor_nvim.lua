-- Neovim's own client, started by the set-up given with -u, drives
-- kolvu-lsp over the tree editors_test.py writes: opens each file, jumps
-- ($JUMPS), hovers ($HOVERS), lists the references of a name into the
-- quickfix list ($REFERENCES), completes a name typed ($COMPLETION), lists
-- workspace symbols. What it sees is
-- written as JSON to $RESULT; editors_test.py checks it.
local tree = os.getenv('TREE')
local out = { logged = {}, files = {}, jumps = {}, hovers = {}, references = {}, completions = {} }
local function finish(err)
  if err then out.error = err end
  local f = io.open(os.getenv('RESULT'), 'w')
  f:write(vim.fn.json_encode(out))
  f:close()
  vim.cmd('qall!')
end

-- Errors and warnings the server logs are kept.
local log_message = vim.lsp.handlers['window/logMessage']
vim.lsp.handlers['window/logMessage'] = function(err, result, ctx, config)
  if result and result.type <= 2 then table.insert(out.logged, result.message) end
  return log_message(err, result, ctx, config)
end

local function open(path)
  vim.cmd('edit ' .. vim.fn.fnameescape(tree .. '/' .. path))
end

local function client_of(buf)
  for _, c in pairs(vim.lsp.buf_get_clients(buf)) do
    if c.name == 'kolvu-lsp' then return c end
  end
end

local function cursor_on(path, line, word)
  open(path)
  local text = vim.api.nvim_buf_get_lines(0, line - 1, line, false)[1]
  vim.api.nvim_win_set_cursor(0, { line, (string.find(text, word, 1, true)) })
end

local ok, err = pcall(function()
  open('src/main.c')
  local client
  assert(vim.wait(10000, function()
    client = client_of(0)
    return client ~= nil and client.initialized
  end, 20), 'no client started, or not initialized')

  -- Indexing runs in the background: ask until the names are there, for
  -- 10 seconds at most, by a deadline of our own (a vim.wait whose
  -- condition waited itself was seen to run three times its limit).
  local names, deadline = {}, vim.loop.hrtime() + 10e9
  repeat
    local r = vim.lsp.buf_request_sync(0, 'workspace/symbol', { query = 'MAX' }, 2000)
    for _, res in pairs(r or {}) do
      for _, s in ipairs(res.result or {}) do table.insert(names, s.name) end
    end
    if #names == 0 then vim.wait(100) end
  until #names > 0 or vim.loop.hrtime() > deadline
  assert(#names > 0, 'no workspace symbols')
  out.symbols = names

  for _, j in ipairs(vim.fn.json_decode(os.getenv('JUMPS'))) do
    local key, path, line, word = j[1], j[2], j[3], j[4]
    cursor_on(path, line, word)
    local before = vim.api.nvim_buf_get_name(0)
    vim.lsp.buf.definition()
    assert(vim.wait(10000, function() return vim.api.nvim_buf_get_name(0) ~= before end, 20),
           'no jump for ' .. word .. ' in ' .. path)
    local cur = vim.api.nvim_win_get_cursor(0)
    out.jumps[key] = { file = vim.api.nvim_buf_get_name(0), line = cur[1], byte = cur[2],
                       text = vim.api.nvim_get_current_line() }
  end

  for _, h in ipairs(vim.fn.json_decode(os.getenv('HOVERS'))) do
    cursor_on(h[2], h[3], h[4])
    local r = vim.lsp.buf_request_sync(0, 'textDocument/hover',
                                       vim.lsp.util.make_position_params(), 5000)
    for _, res in pairs(r or {}) do
      if res.result then out.hovers[h[1]] = res.result.contents.value end
    end
  end

  -- References, as the editor's command lists them.
  local r = vim.fn.json_decode(os.getenv('REFERENCES'))
  cursor_on(r[1], r[2], r[3])
  vim.fn.setqflist({}, 'r')
  vim.lsp.buf.references()
  assert(vim.wait(10000, function() return #vim.fn.getqflist() > 0 end, 20),
         'no references for ' .. r[3])
  for _, item in ipairs(vim.fn.getqflist()) do
    table.insert(out.references, { file = vim.api.nvim_buf_get_name(item.bufnr), line = item.lnum,
                                   byte = item.col - 1 })
  end
  vim.cmd('cclose')

  -- A name typed on a new last line, then completed where it ends.
  local c = vim.fn.json_decode(os.getenv('COMPLETION'))
  open(c[1])
  local last = vim.api.nvim_buf_line_count(0)
  vim.api.nvim_buf_set_lines(0, last, last, false, { c[2] })
  vim.api.nvim_win_set_cursor(0, { last + 1, #c[2] })
  -- As the omnifunc does: the server's items, kept by the word typed.
  local typed = string.match(c[2], '[%w_]+$')
  local r2 = vim.lsp.buf_request_sync(0, 'textDocument/completion',
                                      vim.lsp.util.make_position_params(), 5000)
  for _, res in pairs(r2 or {}) do
    if res.result then
      for _, item in ipairs(vim.lsp.util.text_document_completion_list_to_complete_items(res.result, typed)) do
        table.insert(out.completions, item.word)
      end
    end
  end
  vim.cmd('undo')

  -- Every file opened (and attached) by now; how many servers serve them.
  for _, path in ipairs(vim.fn.json_decode(os.getenv('FILES'))) do
    open(path)
    local c = client_of(0)
    out.files[path] = { attached = c ~= nil and c.id == client.id, encoding = vim.bo.fileencoding,
                        first = vim.api.nvim_buf_get_lines(0, 0, 1, false)[1] }
  end
  local servers = 0
  for _, c in pairs(vim.lsp.get_active_clients()) do
    if c.name == 'kolvu-lsp' then servers = servers + 1 end
  end
  out.servers = servers
  out.root = client.config.root_dir

  -- A file of a checkout inside the tree.
  open(os.getenv('VC_FILE'))
  local other
  vim.wait(10000, function() other = client_of(0); return other ~= nil end, 20)
  out.vc = { other = other ~= nil and other.id ~= client.id, root = other and other.config.root_dir }
  vim.lsp.stop_client(vim.lsp.get_active_clients())
end)
finish(not ok and tostring(err) or nil)
