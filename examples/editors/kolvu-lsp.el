;; kolvu-lsp in Emacs 28 or later with eglot: C sources read as Shift_JIS,
;; M-x eglot (or the hook below) in a C buffer starts the server for the
;; project; M-. goes to a definition, hover text shows through eldoc.
(modify-coding-system-alist 'file "\\.[ch]\\'" 'cp932)
(with-eval-after-load 'eglot
  (add-to-list 'eglot-server-programs '((c-mode c++-mode) "kolvu-lsp")))
(add-hook 'c-mode-hook #'eglot-ensure)
