// kolvu-lsp: the definitions of C sources in the editor, over the language
// server protocol on standard input and output.
#include "lsp/lsp_cli.h"

int main(int argc, char **argv) { return kolvu::lsp_main(argc, argv, 0, 1, 2); }
