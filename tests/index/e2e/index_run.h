// Running the built kolvu-index in a fresh directory for the end-to-end
// tests, and the expected forms of its output.
#ifndef KOLVU_TESTS_INDEX_E2E_INDEX_RUN_H_
#define KOLVU_TESTS_INDEX_E2E_INDEX_RUN_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/golden.h"
#include "support/run_binary.h"
#include "support/tree.h"

namespace kolvu_test {

inline Outcome index_run(const TempDir &dir, const std::vector<std::string> &args) {
  return run_program(KOLVU_INDEX_BINARY, args, dir.path());
}

/// Runs "'kolvu-index' <rest>" through bash in dir.
inline Outcome index_shell(const TempDir &dir, const std::string &rest) {
  return run_program_shell(KOLVU_INDEX_BINARY, dir.path(), rest);
}

inline void expect_index(const Tree &tree, const std::vector<std::string> &args, const Expect &want) {
  TempDir dir;
  write_tree(dir, tree);
  Outcome r = index_run(dir, args);
  expect_same_bytes(r.out, want.out);
  expect_same_bytes(r.err, want.err);
  EXPECT_EQ(r.status, want.status);
}

inline std::string usage_error(const std::string &message) {
  return "kolvu-index: " + message + "\nTry 'kolvu-index --help' for more information.\n";
}

inline bool have(const char *program) {
  return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

/// One JSON record of a one-line definition whose only name stands after
/// the first blank of its text, at bytes [begin, end) of its file.
inline std::string rec(const std::string &file, int line, const std::string &kind,
                       const std::string &name, const std::string &text_json, size_t begin,
                       size_t end) {
  std::string names;
  if (!name.empty()) {
    size_t column = text_json.find(" " + name) + 2;
    names = "{\"name\":\"" + name + "\",\"kind\":\"" + kind + "\",\"line\":" +
            std::to_string(line) + ",\"column\":" + std::to_string(column) + "}";
  }
  return "{\"file\":\"" + file + "\",\"line\":" + std::to_string(line) + ",\"end_line\":" +
         std::to_string(line) + ",\"kind\":\"" + kind + "\",\"name\":\"" + name +
         "\",\"names\":[" + names + "],\"begin\":" + std::to_string(begin) +
         ",\"end\":" + std::to_string(end) + ",\"text\":\"" + text_json + "\"}\n";
}

/// The record of "#define NAME 1" on line 1 of file.
inline std::string def1(const std::string &file, const std::string &name) {
  return rec(file, 1, "define", name, "#define " + name + " 1\\n", 0, name.size() + 11);
}

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_INDEX_E2E_INDEX_RUN_H_
