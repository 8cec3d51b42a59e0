-- kolvu-lsp in Neovim 0.7 or later: one server for the C files of the
-- folder Neovim was started in, Shift_JIS files read as such.
vim.opt.fileencodings = { 'ucs-bom', 'utf-8', 'cp932' }
local kolvu_lsp = nil
vim.api.nvim_create_autocmd('FileType', {
  pattern = { 'c', 'cpp' },
  callback = function(args)
    kolvu_lsp = kolvu_lsp or vim.lsp.start_client({
      name = 'kolvu-lsp',
      cmd = { 'kolvu-lsp' },
      root_dir = vim.fn.getcwd(),
    })
    vim.lsp.buf_attach_client(args.buf, kolvu_lsp)
    local opts = { buffer = args.buf }
    vim.keymap.set('n', 'gd', vim.lsp.buf.definition, opts)
    vim.keymap.set('n', 'K', vim.lsp.buf.hover, opts)
    vim.keymap.set('n', '<leader>s', vim.lsp.buf.workspace_symbol, opts)
  end,
})
