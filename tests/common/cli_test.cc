// The walk over a command line that kolvu-index and kolvu-lsp share: what
// each argument becomes (an option with its value, an operand, a refusal),
// with a small table of options of its own.
#include "common/cli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kolvu {
namespace {

enum class Opt { kAll, kAlways, kOut, kJobs, kHelp };

const LongOption<Opt> kLongs[] = {
    {"all", Opt::kAll, false}, {"always", Opt::kAlways, false}, {"out", Opt::kOut, true},
    {"help", Opt::kHelp, false}};
const ShortOption<Opt> kShorts[] = {{'j', Opt::kJobs, true}, {'h', Opt::kHelp, false}};

// What a command line reads as: each option "name=value", operands after
// "|", or the error; the reading stops at help.
std::string read(std::vector<std::string> args, bool operands_taken) {
  args.insert(args.begin(), "prog");
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  std::vector<std::string> operands;
  std::string seen, error;
  const char *names[] = {"all", "always", "out", "jobs", "help"};
  const bool ok = read_command_line(
      static_cast<int>(argv.size()), argv.data(), kLongs, kShorts,
      operands_taken ? &operands : nullptr,
      [&](Opt opt, const std::string &value, std::string *why) {
        if (value == "bad") {
          *why = "bad value";
          return OptionStep::kFail;
        }
        seen += std::string(names[static_cast<int>(opt)]) + "=" + value + " ";
        return opt == Opt::kHelp ? OptionStep::kStop : OptionStep::kNext;
      },
      &error);
  if (!ok) return "error: " + error;
  seen += "|";
  for (const std::string &o : operands) seen += " " + o;
  return seen;
}

TEST(CommandLine, EachArgumentIsAnOptionAnOperandOrARefusal) {
  struct Case {
    std::vector<std::string> args;
    bool operands;
    const char *read;
  };
  const Case cases[] = {
      {{"--all", "-j4", "--out=x", "a", "-j", "2", "--out", "y", "-"}, true,
       "all= jobs=4 out=x jobs=2 out=y | a -"},
      {{"--alw", "--al"}, true, "error: ambiguous option '--al'"},
      {{"a", "--", "--all", "-j", "--"}, true, "| a --all -j --"},
      {{"-h", "--bogus"}, true, "help= |"},
      {{"--all", "--help", "x"}, false, "all= help= |"},
      {{"-hj"}, true, "error: unknown option '-hj'"},
      {{"-x"}, true, "error: unknown option '-x'"},
      {{"--out"}, true, "error: option '--out' needs a value"},
      {{"-j"}, true, "error: option '-j' needs a value"},
      {{"--all=1"}, true, "error: option '--all' takes no value"},
      {{"-jbad"}, true, "error: bad value"},
      {{"--"}, false, "error: no argument may follow '--'"},
      {{"-"}, false, "error: unexpected argument '-'"},
      {{"--all", "src"}, false, "error: unexpected argument 'src'"},
      {{}, false, "|"},
  };
  for (const Case &c : cases) {
    std::string shown;
    for (const std::string &a : c.args) shown += a + " ";
    EXPECT_EQ(read(c.args, c.operands), c.read) << shown;
  }
}

TEST(CommandLine, ListsSplitAtEveryComma) {
  EXPECT_EQ(split_commas("a,b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(split_commas(",a,,"), (std::vector<std::string>{"", "a", "", ""}));
  EXPECT_EQ(split_commas(""), (std::vector<std::string>{""}));
}

}  // namespace
}  // namespace kolvu
