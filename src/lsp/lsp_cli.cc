#include "lsp/lsp_cli.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "lsp/options.h"
#include "lsp/server.h"

#ifndef KOLVU_VERSION
#define KOLVU_VERSION "unknown"
#endif

#include "common/cli.h"
#include "util/processors.h"

namespace kolvu {

namespace {

const char kHelp[] =
    "Usage: kolvu-lsp [OPTION]...\n"
    "Serve the definitions and the uses of names of the C sources of a\n"
    "workspace to an editor, as a language server over standard input and\n"
    "output: go to definition and declaration, hover with the definition's\n"
    "text in UTF-8, references, highlights, completion, workspace and\n"
    "document symbols. Sources may be Shift_JIS (code page 932),\n"
    "EUC-JP or UTF-8.\n"
    "\n"
    "  --kinds=LETTERS    kinds to index, any of d (define), e (enumerator),\n"
    "                     f (function), g (enum), m (member), p (prototype),\n"
    "                     s (struct), t (typedef), u (union), v (variable),\n"
    "                     x (extern variable), or all (the default)\n"
    "  --encoding=ENC     auto (default: UTF-8 when a file is valid UTF-8\n"
    "                     with a byte of 0x80 or above, else Shift_JIS),\n"
    "                     sjis, utf-8 or euc-jp\n"
    "  --ext=LIST         file name endings taken from directories, separated\n"
    "                     by commas; default .c,.h,.cc,.cpp,.cxx,.hh,.hpp,.hxx\n"
    "  --exclude=GLOB     leave out the paths that match GLOB (may be repeated)\n"
    "  --follow           follow symbolic links to directories\n"
    "  -j, --jobs=N       index with N workers (default: the processors)\n"
    "      --stdio        accepted and ignored: standard input and output are\n"
    "                     the only transport\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "The client's initializationOptions may set kinds, encoding, extensions,\n"
    "exclude, follow and workers as well.\n"
    "\n"
    "Exit status: 0 on exit after shutdown, 1 on exit or the end of input\n"
    "without shutdown, 2 on a usage error.\n";

}  // namespace

int lsp_main(int argc, char **argv, int in_fd, int out_fd, int err_fd) {
  LspCommandLine cl;
  std::string error;
  if (!parse_lsp_command_line(argc, argv, usable_processors(), &cl, &error)) {
    write_all(err_fd, "kolvu-lsp: " + error + "\nTry 'kolvu-lsp --help' for more information.\n");
    return kLspUsage;
  }
  if (cl.help || cl.version) {
    std::string text = cl.help ? kHelp : "kolvu-lsp " KOLVU_VERSION "\n";
    return write_all(out_fd, text) ? kLspOk : kLspNoShutdown;
  }
  // An editor that goes away closes the pipe: a write then fails and is
  // reported, instead of a signal ending the server mid-message.
  ::signal(SIGPIPE, SIG_IGN);
  return serve(cl.settings, KOLVU_VERSION, in_fd, out_fd, err_fd) == 0 ? kLspOk : kLspNoShutdown;
}

}  // namespace kolvu
