// Source trees for the kolvu-index tests: files written with their parent
// directories made as needed.
#ifndef KOLVU_TESTS_SUPPORT_TREE_H_
#define KOLVU_TESTS_SUPPORT_TREE_H_

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "support/test_util.h"

namespace kolvu_test {

using Tree = std::vector<std::pair<std::string, std::string>>;

/// Makes the directory dir/rel and those above it.
inline void make_dirs(const TempDir &dir, const std::string &rel) {
  for (size_t slash = rel.find('/'); ; slash = rel.find('/', slash + 1)) {
    ::mkdir((dir.path() + "/" + rel.substr(0, slash)).c_str(), 0755);
    if (slash == std::string::npos) return;
  }
}

/// Writes each (relative name, bytes) of tree below dir; a name ending in
/// '/' makes an empty directory.
inline void write_tree(const TempDir &dir, const Tree &tree) {
  for (const auto &f : tree) {
    size_t slash = f.first.rfind('/');
    if (slash != std::string::npos) make_dirs(dir, f.first.substr(0, slash));
    if (slash == f.first.size() - 1) continue;
    dir.write(f.first, f.second);
  }
}

/// Makes the symbolic link dir/rel pointing to target.
inline void link_in(const TempDir &dir, const std::string &target, const std::string &rel) {
  if (::symlink(target.c_str(), (dir.path() + "/" + rel).c_str()) != 0) throw std::runtime_error("symlink " + rel);
}

}  // namespace kolvu_test

#endif  // KOLVU_TESTS_SUPPORT_TREE_H_
