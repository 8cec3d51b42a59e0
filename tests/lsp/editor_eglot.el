;;; Emacs with eglot, set up by the example file $EXAMPLE loaded as it
;;; stands, drives kolvu-lsp over the tree editors_test.py writes: opens
;;; each file, jumps ($JUMPS), hovers ($HOVERS), finds the references of a
;;; name through xref ($REFERENCES), completes a name typed through
;;; completion-at-point ($COMPLETION), lists workspace symbols.
;;; What it sees is written as JSON to $RESULT; editors_test.py checks it.
(require 'package)
;; Where Debian's elpa-* packages are; -Q leaves out the site start file
;; that would add it.
(add-to-list 'package-directory-list "/usr/share/emacs/site-lisp/elpa")
(package-initialize)
(load (getenv "EXAMPLE") nil t)
(require 'eglot)
(require 'json)
(require 'xref)

(defvar kolvu-tree (file-name-as-directory (getenv "TREE")))
(defvar kolvu-out nil)
(defvar kolvu-logged nil)

(defun kolvu-put (key value) (push (cons key value) kolvu-out))

(defun kolvu-finish ()
  (kolvu-put 'logged (vconcat (nreverse kolvu-logged)))
  (let ((coding-system-for-write 'utf-8))
    (with-temp-file (getenv "RESULT")
      (insert (json-encode kolvu-out))))
  (kill-emacs 0))

;; Errors and warnings the server logs are kept.
(cl-defmethod eglot-handle-notification :before
  (_server (_method (eql window/logMessage)) &key type message &allow-other-keys)
  (when (<= type 2) (push message kolvu-logged)))

(setq eglot-sync-connect 10)

(defun kolvu-open (path)
  "Visit PATH as `C-x C-f' would: the command loop runs `post-command-hook'
after it, where eglot-ensure starts or joins the server."
  (find-file (expand-file-name path kolvu-tree))
  (run-hooks 'post-command-hook))

(defun kolvu-cursor-on (path line word)
  (kolvu-open path)
  (goto-char (point-min))
  (forward-line (1- line))
  (search-forward word)
  (backward-char 2))

(defun kolvu-jump (path line word)
  (kolvu-cursor-on path line word)
  (xref-find-definitions word)
  `((file . ,(buffer-file-name))
    (line . ,(line-number-at-pos))
    (chars . ,(- (point) (line-beginning-position)))
    (text . ,(buffer-substring-no-properties (line-beginning-position) (line-end-position)))))

(defun kolvu-servers ()
  (let (all)
    (maphash (lambda (_project servers) (dolist (s servers) (cl-pushnew s all)))
             eglot--servers-by-project)
    all))

(condition-case err
    (let ((json-array-type 'list) server (names nil) files
          (deadline (+ (float-time) 10)))
      (kolvu-open "src/main.c")
      (setq server (eglot-current-server))
      (unless server (error "no server for src/main.c"))
      ;; Indexing runs in the background: ask until the names are there, for
      ;; 10 seconds at most.
      (while (and (null names) (< (float-time) deadline))
        (setq names (mapcar (lambda (s) (plist-get s :name))
                            (jsonrpc-request server :workspace/symbol '(:query "MAX")
                                             :timeout 2)))
        (unless names (sleep-for 0.1)))
      (kolvu-put 'symbols (vconcat names))
      (kolvu-put 'jumps
                 (mapcar (lambda (j) (cons (intern (nth 0 j)) (apply #'kolvu-jump (cdr j))))
                         (json-read-from-string (getenv "JUMPS"))))
      (kolvu-put 'hovers
                 (mapcar (lambda (h)
                           (apply #'kolvu-cursor-on (cdr h))
                           (let ((r (jsonrpc-request (eglot-current-server) :textDocument/hover
                                                     (eglot--TextDocumentPositionParams))))
                             (cons (intern (car h)) (plist-get (plist-get r :contents) :value))))
                         (json-read-from-string (getenv "HOVERS"))))
      ;; References, as xref finds them.
      (let ((r (json-read-from-string (getenv "REFERENCES"))))
        (apply #'kolvu-cursor-on r)
        (kolvu-put 'references
                   (mapcar (lambda (item)
                             (let ((loc (xref-item-location item)))
                               `((file . ,(expand-file-name (xref-location-group loc)))
                                 (line . ,(xref-location-line loc))
                                 (chars . ,(xref-file-location-column loc)))))
                           (xref-backend-references
                            'eglot (xref-backend-identifier-at-point 'eglot)))))
      ;; A name typed on a new last line, then completed where it ends.
      (let ((c (json-read-from-string (getenv "COMPLETION"))))
        (kolvu-open (nth 0 c))
        (goto-char (point-max))
        (insert (nth 1 c))
        (eglot--signal-textDocument/didChange)
        (let* ((capf (eglot-completion-at-point))
               (typed (buffer-substring-no-properties (nth 0 capf) (nth 1 capf))))
          (kolvu-put 'completions (vconcat (all-completions typed (nth 2 capf)))))
        (set-buffer-modified-p nil))
      ;; Every file opened (and attached) by now; how many servers serve them.
      (dolist (path (json-read-from-string (getenv "FILES")))
        (kolvu-open path)
        (push (cons path
                    `((attached . ,(if (eq (eglot-current-server) server) t :json-false))
                      (encoding . ,(symbol-name (coding-system-base buffer-file-coding-system)))
                      (first . ,(save-excursion
                                 (goto-char (point-min))
                                 (buffer-substring-no-properties (point) (line-end-position))))))
              files))
      (kolvu-put 'files files)
      (kolvu-put 'servers (length (kolvu-servers)))
      (kolvu-put 'root (directory-file-name (expand-file-name (project-root (eglot--project server)))))
      ;; A file of a checkout inside the tree.
      (kolvu-open (getenv "VC_FILE"))
      (let ((other (eglot-current-server)))
        (kolvu-put 'vc `((other . ,(if (and other (not (eq other server))) t :json-false))
                         (root . ,(and other (directory-file-name
                                              (expand-file-name
                                               (project-root (eglot--project other)))))))))
      (mapc #'eglot-shutdown (kolvu-servers))
      (kolvu-finish))
  (error (kolvu-put 'error (format "%S" err)) (kolvu-finish)))
