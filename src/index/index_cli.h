// kolvu-index as a whole, without its main(): the command line, help and
// version, the walk and the run, and the exit status, decided here alone.
#ifndef KOLVU_INDEX_INDEX_CLI_H_
#define KOLVU_INDEX_INDEX_CLI_H_

namespace kolvu {

enum IndexExit {
  kIndexOk = 0,          // every path was read and all output written
  kIndexIncomplete = 1,  // some path could not be read, or a write failed
  kIndexUsage = 2,       // a usage error: nothing was done
};

/// Runs kolvu-index over argv[1..argc-1], writing to the descriptors out_fd
/// and err_fd; returns the exit status.
int index_main(int argc, char **argv, int out_fd, int err_fd);

}  // namespace kolvu

#endif  // KOLVU_INDEX_INDEX_CLI_H_
