// kolvu-index: the definitions of C sources as JSON Lines or a tags file.
#include "index/index_cli.h"

int main(int argc, char **argv) { return kolvu::index_main(argc, argv, 1, 2); }
