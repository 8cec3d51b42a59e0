// kolvu: prints the #define, typedef, struct and union definitions of
// Shift_JIS C sources.
#include "driver/cmdline.h"
#include "kolvu/exit_status.h"
#include "kolvu/textio.h"

int main(int argc, char **argv) {
  kolvu::out_tool_buffering();  // before anything is written to stdout
  kolvu::exit_process(kolvu::run(argc, argv));
}
