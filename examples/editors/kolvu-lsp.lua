-- kolvu-lsp in Neovim 0.8 or later, in init.lua, no plugin needed: one
-- server per project for C and C++ files; each file read as UTF-8 when it
-- is, else as Shift_JIS (code page 932). The project is the version-control
-- checkout holding the file (.git, .hg, .svn, .bzr); outside one, the
-- nearest folder upward holding a file named .kolvu; else the file's folder.
vim.opt.fileencodings = 'ucs-bom,utf-8,cp932,euc-jp,default,latin1'

vim.api.nvim_create_autocmd('FileType', {
  pattern = { 'c', 'cpp' },
  callback = function(args)
    local file = vim.api.nvim_buf_get_name(args.buf)
    if file == '' or vim.bo[args.buf].buftype ~= '' then return end
    local dir = vim.fs.dirname(file)
    local function upward(markers)
      local found = vim.fs.find(markers, { upward = true, path = dir })[1]
      return found and vim.fs.dirname(found)
    end
    vim.lsp.start({
      name = 'kolvu-lsp',
      cmd = { 'kolvu-lsp' },
      root_dir = upward({ '.git', '.hg', '.svn', '.bzr' }) or upward({ '.kolvu' }) or dir,
    }, { bufnr = args.buf })
    local opts = { buffer = args.buf }
    vim.keymap.set('n', 'gd', vim.lsp.buf.definition, opts)
    vim.keymap.set('n', 'K', vim.lsp.buf.hover, opts)
    vim.keymap.set('n', '<leader>s', vim.lsp.buf.workspace_symbol, opts)
    vim.keymap.set('n', 'gD', vim.lsp.buf.declaration, opts)
    vim.keymap.set('n', 'gr', vim.lsp.buf.references, opts)
    vim.bo[args.buf].omnifunc = 'v:lua.vim.lsp.omnifunc'  -- CTRL-X CTRL-O completes names
  end,
})
