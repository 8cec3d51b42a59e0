;;; Emacs with eglot drives kolvu-lsp over a Shift_JIS tree: go to the
;;; definition of a macro in another file, go to a typedef whose name stands
;;; after Japanese text, hover a typedef, list workspace symbols.  What it
;;; sees is written as JSON to $RESULT; editors_test.py checks it.
(require 'package)
;; Where Debian's elpa-* packages are; -Q leaves out the site start file
;; that would add it.
(add-to-list 'package-directory-list "/usr/share/emacs/site-lisp/elpa")
(package-initialize)
(require 'eglot)
(require 'json)
;; The set-up the README gives, as it stands.
(load (getenv "EXAMPLE") nil t)
(require 'xref)

(defvar kolvu-tree (getenv "TREE"))
(defvar kolvu-out nil)

(defun kolvu-put (key value) (push (cons key value) kolvu-out))

(defun kolvu-finish ()
  (let ((coding-system-for-write 'utf-8))
    (with-temp-file (getenv "RESULT")
      (insert (json-encode kolvu-out))))
  (kill-emacs 0))

;; The tree is one project, whatever version control says.
(add-hook 'project-find-functions (lambda (_dir) (cons 'transient kolvu-tree)))
(setq eglot-sync-connect 10)

(defun kolvu-main-c () (find-file (expand-file-name "src/main.c" kolvu-tree)))

(defun kolvu-jump (line word)
  (kolvu-main-c)
  (goto-char (point-min))
  (forward-line (1- line))
  (search-forward word)
  (backward-char 2)
  (xref-find-definitions word)
  `((file . ,(buffer-file-name))
    (line . ,(line-number-at-pos))
    (chars . ,(- (point) (line-beginning-position)))
    (text . ,(buffer-substring-no-properties (line-beginning-position) (line-end-position)))))

(condition-case err
    (progn
      (kolvu-main-c)
      (c-mode)
      (apply #'eglot (eglot--guess-contact))
      (let ((server (eglot-current-server)) (names nil) (tries 0))
        (unless server (error "no server"))
        (while (and (null names) (< tries 200))
          (setq names (mapcar (lambda (s) (plist-get s :name))
                              (jsonrpc-request server :workspace/symbol '(:query "MAX"))))
          (unless names (sleep-for 0.1))
          (setq tries (1+ tries)))
        (kolvu-put 'symbols (vconcat names))
        (kolvu-put 'macro (kolvu-jump 3 "MAX_LEN"))
        (kolvu-put 'typedef (kolvu-jump 5 "ULONG"))
        (kolvu-main-c)
        (goto-char (point-min))
        (forward-line 3)
        (search-forward "Point")
        (backward-char 2)
        (let ((h (jsonrpc-request server :textDocument/hover
                                  (eglot--TextDocumentPositionParams))))
          (kolvu-put 'hover (plist-get (plist-get h :contents) :value)))
        (eglot-shutdown server))
      (kolvu-finish))
  (error (kolvu-put 'error (format "%S" err)) (kolvu-finish)))
