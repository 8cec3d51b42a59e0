" kolvu-lsp in Vim with the vim-lsp plugin: Shift_JIS sources read as such.
set fileencodings=ucs-bom,utf-8,cp932
if executable('kolvu-lsp')
  augroup kolvu_lsp
    autocmd!
    autocmd User lsp_setup call lsp#register_server({
          \ 'name': 'kolvu-lsp',
          \ 'cmd': {server_info -> ['kolvu-lsp']},
          \ 'root_uri': {server_info -> lsp#utils#path_to_uri(getcwd())},
          \ 'allowlist': ['c', 'cpp'],
          \ })
  augroup END
endif
nmap gd <plug>(lsp-definition)
nmap K <plug>(lsp-hover)
nmap gD <plug>(lsp-declaration)
nmap gr <plug>(lsp-references)
autocmd FileType c,cpp setlocal omnifunc=lsp#complete
