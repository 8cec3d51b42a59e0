#include "lsp/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kolvu {
namespace {

bool parse(std::vector<std::string> args, LspCommandLine *cl, std::string *error) {
  args.insert(args.begin(), "kolvu-lsp");
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  return parse_lsp_command_line(static_cast<int>(argv.size()), argv.data(), 4, cl, error);
}

TEST(LspOptions, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    int kinds, workers;
    Encoding enc;
    std::vector<std::string> exts, excludes;
    const char *error;
  };
  const int all = ALL_KINDS;
  const std::vector<std::string> dflt = {".c", ".h", ".cc", ".cpp", ".cxx", ".hh", ".hpp", ".hxx"};
  const Case cases[] = {
      {{}, true, all, 4, Encoding::kAuto, dflt, {}, ""},
      {{"--kinds=dt", "-j2", "--encoding", "sjis"}, true, DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK, 2,
       Encoding::kShiftJis, dflt, {}, ""},
      {{"--ext=c,.h", "--exclude=build", "--excl", "gen/*", "--stdio"}, true, all, 4, Encoding::kAuto,
       {".c", ".h"}, {"build", "gen/*"}, ""},
      {{"--jobs", "256", "--enc=euc-jp"}, true, all, 256, Encoding::kEucJp, dflt, {}, ""},
      {{"--kinds=fpx"}, true, FN_BODY | FN_PROTO | VAR_EXTERN, 4, Encoding::kAuto, dflt, {}, ""},
      {{"--kinds=egmv"}, true, EN_CONST | EN_TYPE | SU_MEMBER | VAR_DEF, 4, Encoding::kAuto, dflt, {}, ""},
      {{"--kinds=all"}, true, all, 4, Encoding::kAuto, dflt, {}, ""},
      {{"--kinds=z"}, false, 0, 0, Encoding::kAuto, {}, {}, "invalid kinds 'z' (any of d e f g m p s t u v x, or all)"},
      {{"--kinds="}, false, 0, 0, Encoding::kAuto, {}, {}, "invalid kinds '' (any of d e f g m p s t u v x, or all)"},
      {{"-j", "0"}, false, 0, 0, Encoding::kAuto, {}, {}, "invalid number of workers '0' (1 to 256)"},
      {{"-j"}, false, 0, 0, Encoding::kAuto, {}, {}, "option '-j' needs a value"},
      {{"--e=x"}, false, 0, 0, Encoding::kAuto, {}, {}, "ambiguous option '--e'"},
      {{"--help=1"}, false, 0, 0, Encoding::kAuto, {}, {}, "option '--help' takes no value"},
      {{"--ext=c,,h"}, false, 0, 0, Encoding::kAuto, {}, {}, "invalid file name ending ''"},
      {{"--exclude="}, false, 0, 0, Encoding::kAuto, {}, {}, "empty exclusion pattern"},
      {{"src"}, false, 0, 0, Encoding::kAuto, {}, {}, "unexpected argument 'src'"},
      {{"-x"}, false, 0, 0, Encoding::kAuto, {}, {}, "unknown option '-x'"},
  };
  for (const Case &c : cases) {
    LspCommandLine cl;
    std::string error;
    std::string shown = c.args.empty() ? "(none)" : c.args[0];
    ASSERT_EQ(parse(c.args, &cl, &error), c.ok) << shown << ": " << error;
    if (!c.ok) {
      EXPECT_EQ(error, c.error) << shown;
      continue;
    }
    EXPECT_EQ(cl.settings.kinds, c.kinds) << shown;
    EXPECT_EQ(cl.settings.workers, c.workers) << shown;
    EXPECT_EQ(cl.settings.encoding, c.enc) << shown;
    EXPECT_EQ(cl.settings.exts, c.exts) << shown;
    EXPECT_EQ(cl.settings.excludes, c.excludes) << shown;
  }
  LspCommandLine cl;
  std::string error;
  ASSERT_TRUE(parse({"--version", "--bogus"}, &cl, &error));
  EXPECT_TRUE(cl.version);
  LspCommandLine follow;
  EXPECT_FALSE(follow.settings.follow);
  ASSERT_TRUE(parse({"--fol"}, &follow, &error));
  EXPECT_TRUE(follow.settings.follow);
  EXPECT_FALSE(parse({"--follow=yes"}, &follow, &error));
}

TEST(LspOptions, Exclusions) {
  struct Case {
    const char *path;
    std::vector<std::string> patterns;
    bool excluded;
  };
  const Case cases[] = {
      {"build/x.h", {"build"}, true},
      {"a/build/x.h", {"build"}, true},
      {"a/builder/x.h", {"build"}, false},
      {"src/x.gen.h", {"*.gen.h"}, true},
      {"src/x.h", {"*.gen.h"}, false},
      {"gen/a/b.h", {"gen/*"}, true},
      {"src/gen/b.h", {"gen/*"}, false},
      {"src/gen/b.h", {"*/gen"}, true},
      {"src/x.h", {}, false},
      {"src/x.h", {"nothing", "src"}, true},
      {"src/x1.h", {"x[0-9].h"}, true},
      {"src/xa.h", {"x[!a].h"}, false},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(is_excluded(c.path, c.patterns), c.excluded) << c.path;
  }
}

}  // namespace
}  // namespace kolvu
