// Many files in a row: whatever the order in which the files are read, the
// output and the diagnostics must come out as from scanning one file after
// the other, also where both streams share one file and the 512-byte
// blocks show where each diagnostic stands.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/golden.h"

namespace kolvu_test {
namespace {

// What one file argument contributes, in order: output bytes, then
// optionally a diagnostic.
struct Piece {
  std::string out;
  std::string err;
};

// Both streams in one file: a diagnostic stands after every full 512-byte
// block that already had a byte after it.
std::string merged(const std::vector<Piece> &pieces) {
  std::string out, file;
  size_t written = 0;
  for (const Piece &p : pieces) {
    out += p.out;
    if (!p.err.empty()) {
      size_t full = out.empty() ? 0 : (out.size() - 1) / 512 * 512;
      file += out.substr(written, full - written);
      written = full;
      file += p.err;
    }
  }
  return file + out.substr(written);
}

std::string defines_for(int i, int count) {
  std::string s;
  for (int k = 0; k < count; ++k) s += "#define F" + std::to_string(i) + "_" + std::to_string(k) + " 1\n";
  return s;
}

TEST(FileRuns, ManyFilesKeepTheirOrderWithDiagnostics) {
  Files files;
  std::vector<std::string> args = {"-d"};
  std::vector<Piece> pieces;
  for (int i = 0; i < 60; ++i) {
    std::string name = "f" + std::to_string(i) + ".h";
    args.push_back(name);
    if (i % 7 == 3) {  // missing
      pieces.push_back({"", name + ": not found\n"});
      continue;
    }
    std::string text = defines_for(i, i % 5 * 9 + 1);
    files.push_back({name, "int x;\n" + text + "struct s { int a; };\n"});
    pieces.push_back({text, ""});
  }
  std::string out, err;
  for (const Piece &p : pieces) {
    out += p.out;
    err += p.err;
  }
  expect_run(files, args, {out, err, 0});

  TempDir dir;
  for (const auto &f : files) dir.write(f.first, f.second);
  Outcome r = run_kolvu(args, dir.path(), true);
  EXPECT_EQ(r.out, merged(pieces));
  EXPECT_EQ(r.status, 0);
}

TEST(FileRuns, OverLongLineInALaterFileEndsTheRunThere) {
  Files files;
  std::vector<std::string> args;
  std::vector<Piece> pieces;
  for (int i = 0; i < 30; ++i) {
    std::string name = "f" + std::to_string(i) + ".h";
    args.push_back(name);
    std::string text = defines_for(i, 7);
    if (i == 17) {
      std::string bad(1500, 'z');
      files.push_back({name, text + bad + "\n#define AFTER 1\n"});
      pieces.push_back({text, bad.substr(0, 1023) + " \nError: too long line found!\n"});
      break;
    }
    files.push_back({name, text});
    pieces.push_back({text, ""});
  }
  args.push_back("never.h");  // not reached
  std::string out, err;
  for (const Piece &p : pieces) {
    out += p.out;
    err += p.err;
  }
  expect_run(files, args, {out, err, 1});

  TempDir dir;
  for (const auto &f : files) dir.write(f.first, f.second);
  Outcome r = run_kolvu(args, dir.path(), true);
  EXPECT_EQ(r.out, merged(pieces));
  EXPECT_EQ(r.status, 1);
}

TEST(FileRuns, LargeOutputsAndOddFilesAmongPlainOnes) {
  Files files;
  std::vector<std::string> args = {"-N"};
  std::string out, err;
  for (int i = 0; i < 8; ++i) {
    std::string name = "big" + std::to_string(i) + ".h";
    std::string text = defines_for(i, i == 0 ? 3 : 30000);  // about 500 KB, more than is held
    files.push_back({name, text});
    args.push_back(name);
    out += "/* === " + name + " === */\n" + text;
    if (i == 4) {
      args.push_back(".");
      err += ".: not found\n";
      args.push_back("/dev/null");
    }
  }
  expect_run(files, args, {out, err, 0});
}

TEST(FileRuns, AnInputThatIsAlsoTheOutputIsReadInItsTurn) {
  // "kolvu -d big.h out.h >out.h": when out.h's turn comes it holds the
  // first 64 KB block of big.h's output (the rest is still held), and that
  // is what it gives; read before its turn, it would have been empty.
  TempDir dir;
  std::string big = defines_for(0, 5000);  // about 70 KB of output
  ASSERT_GT(big.size(), 65536u);
  ASSERT_LT(big.size(), 2 * 65536u);
  // Megabytes of comment first: out.h's turn comes late.
  std::string comment;
  while (comment.size() < 4000000) comment += "/* nothing to see here, nothing at all */\n";
  dir.write("big.h", comment + big);
  dir.write("first_block.h", big.substr(0, 65536));
  std::string tail = run_kolvu({"-d", "first_block.h"}, dir.path()).out;
  ASSERT_FALSE(tail.empty());
  Outcome r = run_kolvu_shell(dir.path(), "-d big.h out.h >out.h");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_file(dir.path() + "/out.h"), big + tail);
}

TEST(FileRuns, OptionsBetweenFilesHoldForTheFilesAfterThem) {
  // Files are worked on ahead of their turn; each must still be scanned
  // with the kinds, banner and name list in force in its turn: the output
  // is that of each file run alone with the options before it.
  TempDir dir;
  const char *const names[] = {"Alpha", "Beta", "Gamma", "Delta"};
  dir.write("names.txt", "Gamma\nDel*\n");
  std::vector<std::string> options, args;
  std::string want;
  for (int i = 0; i < 120; ++i) {
    switch (i % 17) {
      case 3: options.push_back("-t"); break;
      case 6: options.push_back("-l"); options.push_back(names[i % 4]); break;
      case 9: options.push_back("-Ns"); break;
      case 12: options.push_back("-l"); options.push_back("F=names.txt"); break;
      case 15: options.push_back("-u"); break;
      default: break;
    }
    std::string text;
    for (int k = 0; k < (i % 5) * 7 + 1; ++k) {
      const char *n = names[(i + k) % 4];
      text += "#define " + std::string(n) + std::to_string(k) + " 1\n";
      text += "typedef int " + std::string(n) + ";\n";
      text += "struct " + std::string(n) + " {\n  int x;\n};\n";
      text += "union " + std::string(n) + " { int a; };\n";
    }
    if (i % 23 == 5) {  // more than one read
      for (int k = 0; k < 3000; ++k)
        text += "/* filler, seventy bytes or so of comment to pass over */\n";
    }
    std::string name = "f" + std::to_string(i) + ".h";
    dir.write(name, text);
    args.insert(args.end(), options.begin(), options.end());
    options.clear();
    std::vector<std::string> alone = args;  // every option so far, and the file
    alone.erase(std::remove_if(alone.begin(), alone.end(),
                               [](const std::string &a) { return a[0] == 'f'; }),
                alone.end());
    alone.push_back(name);
    Outcome one = run_kolvu(alone, dir.path());
    ASSERT_EQ(one.err, "");
    want += one.out;
    args.push_back(name);
  }
  Outcome all = run_kolvu(args, dir.path());
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.err, "");
  EXPECT_TRUE(all.out == want) << "sizes " << all.out.size() << " and " << want.size();
  EXPECT_GT(want.size(), 10000u);
}

TEST(FileRuns, AFewFileDescriptorsAreEnough) {
  // With six descriptors (the three standard ones, a source, a list file
  // and one more), files must not be held open ahead of their turn: the
  // list files between them must still open.
  TempDir dir;
  dir.write("names.txt", "Big*\n");
  std::vector<std::string> args = {"-d"};
  std::string want;
  for (int i = 0; i < 8; ++i) {
    std::string name = "big" + std::to_string(i) + ".h";
    std::string text = defines_for(i, 12000);  // more than one read
    text += "#define Big" + std::to_string(i) + " 1\n";
    dir.write(name, text);
    args.push_back(name);
    args.push_back("-l");
    args.push_back("F=names.txt");
    want += i == 0 ? text : "#define Big" + std::to_string(i) + " 1\n";
  }
  Outcome r = run_in_child([&] {
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);  // whatever the test runner left open
    struct rlimit few = {6, 6};
    if (::setrlimit(RLIMIT_NOFILE, &few) != 0 || ::chdir(dir.path().c_str()) != 0) ::_exit(99);
    std::vector<char *> argv = {const_cast<char *>(KOLVU_BINARY)};
    for (std::string &a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    ::execv(KOLVU_BINARY, argv.data());
    ::_exit(98);
  });
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out == want) << "sizes " << r.out.size() << " and " << want.size();
}

}  // namespace
}  // namespace kolvu_test
