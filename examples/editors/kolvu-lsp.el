;; kolvu-lsp in Emacs 28 or later with eglot (Debian 12: elpa-eglot; built
;; in from Emacs 29), in init.el: the server starts in C and C++ buffers,
;; tree-sitter modes too; M-. goes to a definition, hover text shows
;; through eldoc.

;; Each file's encoding is Emacs' own guess, with Shift_JIS (code page 932)
;; preferred to the other 8-bit encodings: a UTF-8 file stays UTF-8.
(set-coding-system-priority 'utf-8 'cp932)

;; One server per project: the version-control checkout holding the file,
;; or, outside one, the nearest folder upward holding a file named .kolvu.
(defun kolvu-lsp-project (dir)
  (let ((root (locate-dominating-file dir ".kolvu")))
    (and root (cons 'transient (expand-file-name root)))))
;; After project.el is loaded, so that its own version-control finder stays
;; in the list, first.
(with-eval-after-load 'project
  (add-hook 'project-find-functions #'kolvu-lsp-project 90))

(with-eval-after-load 'eglot
  (add-to-list 'eglot-server-programs
               '((c-mode c++-mode c-ts-mode c++-ts-mode) "kolvu-lsp")))
(dolist (hook '(c-mode-hook c++-mode-hook c-ts-mode-hook c++-ts-mode-hook))
  (add-hook hook #'eglot-ensure))
