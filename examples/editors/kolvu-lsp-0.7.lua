-- kolvu-lsp in Neovim 0.7 (Debian 12), in init.lua, no plugin needed: one
-- server per project for C and C++ files; each file read as UTF-8 when it
-- is, else as Shift_JIS (code page 932). The project is the version-control
-- checkout holding the file (.git, .hg, .svn, .bzr); outside one, the
-- nearest folder upward holding a file named .kolvu; else the file's folder.
vim.opt.fileencodings = 'ucs-bom,utf-8,cp932,euc-jp,default,latin1'

local function kolvu_root(file)
  local function upward(markers)
    local dir = vim.fn.fnamemodify(file, ':p:h')
    while true do
      for _, marker in ipairs(markers) do
        if vim.loop.fs_stat(dir .. '/' .. marker) then return dir end
      end
      local parent = vim.fn.fnamemodify(dir, ':h')
      if parent == dir then return nil end
      dir = parent
    end
  end
  return upward({ '.git', '.hg', '.svn', '.bzr' }) or upward({ '.kolvu' })
      or vim.fn.fnamemodify(file, ':p:h')
end

local kolvu_clients = {}  -- client id by project root
vim.api.nvim_create_autocmd('FileType', {
  pattern = { 'c', 'cpp' },
  callback = function(args)
    local file = vim.api.nvim_buf_get_name(args.buf)
    if file == '' or vim.bo[args.buf].buftype ~= '' then return end
    local root = kolvu_root(file)
    local id = kolvu_clients[root]
    if not (id and vim.lsp.get_client_by_id(id)) then
      id = vim.lsp.start_client({ name = 'kolvu-lsp', cmd = { 'kolvu-lsp' }, root_dir = root })
      kolvu_clients[root] = id
    end
    if not id then return end
    vim.lsp.buf_attach_client(args.buf, id)
    local opts = { buffer = args.buf }
    vim.keymap.set('n', 'gd', vim.lsp.buf.definition, opts)
    vim.keymap.set('n', 'K', vim.lsp.buf.hover, opts)
    vim.keymap.set('n', '<leader>s', vim.lsp.buf.workspace_symbol, opts)
    vim.keymap.set('n', 'gD', vim.lsp.buf.declaration, opts)
    vim.keymap.set('n', 'gr', vim.lsp.buf.references, opts)
    vim.bo[args.buf].omnifunc = 'v:lua.vim.lsp.omnifunc'  -- CTRL-X CTRL-O completes names
  end,
})
