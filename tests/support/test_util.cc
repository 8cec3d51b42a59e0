#include "support/test_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kolvu_test {

TempDir::TempDir() {
  const char *base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base != nullptr ? base : "/tmp") + "/kolvu_test.XXXXXX";
  if (::mkdtemp(&tmpl[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::string cmd = "rm -rf '" + path_ + "'";
  if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
}

std::string TempDir::write(const std::string &name, const std::string &data) const {
  std::string p = path_ + "/" + name;
  std::ofstream f(p, std::ios::binary);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!f) throw std::runtime_error("cannot write " + p);
  return p;
}

std::string read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

FedPipe::FedPipe(const std::string &bytes) : bytes_(bytes) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("cannot make a pipe");
  read_end_ = fds[0];
  int write_end = fds[1];
  writer_ = std::thread([this, write_end] {
    for (size_t at = 0; at < bytes_.size();) {
      ssize_t k = ::write(write_end, bytes_.data() + at, bytes_.size() - at);
      if (k <= 0) break;
      at += static_cast<size_t>(k);
    }
    ::close(write_end);
  });
}

FedPipe::~FedPipe() {
  writer_.join();
  ::close(read_end_);
}

Outcome run_in_child(const std::function<void()> &fn, bool merged) {
  TempDir dir;
  std::string out_path = dir.path() + "/out", err_path = dir.path() + "/err";
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int o = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = merged ? o : ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(o, 1);
    ::dup2(e, 2);
    fn();
    std::exit(0);
  }
  int st = 0;
  ::waitpid(pid, &st, 0);
  Outcome r;
  r.out = read_file(out_path);
  r.err = merged ? "" : read_file(err_path);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return r;
}

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

void headers_below(const std::string &dir, std::vector<std::string> *out) {
  DIR *d = opendir(dir.c_str());
  if (d == nullptr) return;
  std::vector<std::string> names;
  while (dirent *e = readdir(d)) names.push_back(e->d_name);
  closedir(d);
  for (const std::string &name : names) {
    if (name == "." || name == "..") continue;
    std::string path = dir + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      headers_below(path, out);
    } else if (S_ISREG(st.st_mode) && name.size() > 2 && name.substr(name.size() - 2) == ".h") {
      out->push_back(path);
    }
  }
}

}  // namespace kolvu_test
