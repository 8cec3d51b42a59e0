#include "support/run_binary.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace kolvu_test {

Outcome run_kolvu(const std::vector<std::string> &args, const std::string &cwd, bool merged) {
  return run_program(KOLVU_BINARY, args, cwd, merged);
}

Outcome run_kolvu_shell(const std::string &cwd, const std::string &rest) {
  return run_program_shell(KOLVU_BINARY, cwd, rest);
}

Outcome run_program(const std::string &binary, const std::vector<std::string> &args,
                    const std::string &cwd, bool merged) {
  return run_in_child(
      [&] {
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(binary.c_str()));
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        if (::chdir(cwd.c_str()) != 0) ::_exit(126);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
      },
      merged);
}

Outcome run_program_shell(const std::string &binary, const std::string &cwd,
                          const std::string &rest) {
  return run_in_child([&] {
    std::string cmd = "cd '" + cwd + "' && '" + binary + "' " + rest + "; exit ${PIPESTATUS[0]}";
    ::execl("/bin/bash", "bash", "-c", cmd.c_str(), static_cast<char *>(nullptr));
    ::_exit(127);
  });
}

}  // namespace kolvu_test
