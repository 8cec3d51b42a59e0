// kolvu: prints the #define, typedef, struct and union definitions of
// Shift_JIS C sources.
#include "driver/cmdline.h"
#include "kolvu/exit_status.h"

int main(int argc, char **argv) { kolvu::exit_process(kolvu::run(argc, argv)); }
