// The command line of kolvu-index: defaults, both forms of a value,
// abbreviations, "--", and the one-line messages of usage errors.
#include "index/options.h"

#include "common/walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kolvu {
namespace {

struct Parsed {
  bool ok;
  std::string error;
  IndexOptions o;
};

Parsed parse(std::vector<std::string> args, int processors = 2) {
  args.insert(args.begin(), "kolvu-index");
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  Parsed p;
  p.ok = parse_index_options(static_cast<int>(argv.size()), argv.data(), processors, &p.o, &p.error);
  return p;
}

const int kAllKinds = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;

TEST(IndexOptions, DefaultsTakeEveryKindTheUsualEndingsAndOneJobPerProcessor) {
  Parsed p = parse({"src"}, 3);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.o.paths, std::vector<std::string>{"src"});
  EXPECT_EQ(p.o.kinds, kAllKinds);
  EXPECT_EQ(p.o.jobs, 3);
  EXPECT_EQ(p.o.format, IndexFormat::kJson);
  EXPECT_EQ(p.o.encoding, Encoding::kAuto);
  EXPECT_EQ(p.o.exts, default_source_exts());
  EXPECT_EQ(p.o.names.size(), 0);
}

TEST(IndexOptions, ValuesAfterAnEqualsSignOrAsTheNextArgument) {
  Parsed p = parse({"--kinds=ds", "a", "--format", "tags", "-j", "5", "--encoding=euc-jp",
                    "--ext", "c,.inc", "b", "--names=A,B*", "--names", "C"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.o.paths, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(p.o.kinds, DEF_SINGLE | DEF_CONT | SU_STRUCT);
  EXPECT_EQ(p.o.format, IndexFormat::kTags);
  EXPECT_EQ(p.o.jobs, 5);
  EXPECT_EQ(p.o.encoding, Encoding::kEucJp);
  EXPECT_EQ(p.o.exts, (std::vector<std::string>{".c", ".inc"}));
  ASSERT_EQ(p.o.names.size(), 3);
  EXPECT_STREQ(p.o.names.entry(1), "B*");
  EXPECT_TRUE(p.o.names.wants("Bx"));
  EXPECT_FALSE(p.o.names.wants("D"));
}

TEST(IndexOptions, JobsJoinedToTheLetterAndAbbreviatedLongOptions) {
  Parsed p = parse({"-j1", "--form=tags", "--enc", "sjis", "--jo=7", "x"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.o.jobs, 7);
  EXPECT_EQ(p.o.format, IndexFormat::kTags);
  EXPECT_EQ(p.o.encoding, Encoding::kShiftJis);
  // "--names" is itself an option, though "--names-from" begins with it.
  EXPECT_TRUE(parse({"--names=A", "x"}).ok);
  Parsed amb = parse({"--n=A", "x"});
  EXPECT_FALSE(amb.ok);
  EXPECT_EQ(amb.error, "ambiguous option '--n'");
}

TEST(IndexOptions, AfterTwoDashesEverythingIsAPath) {
  Parsed p = parse({"--", "--help", "-j2", "-"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_FALSE(p.o.help);
  EXPECT_EQ(p.o.paths, (std::vector<std::string>{"--help", "-j2", "-"}));
}

TEST(IndexOptions, HelpAndVersionNeedNoPath) {
  EXPECT_TRUE(parse({"--help"}).o.help);
  EXPECT_TRUE(parse({"-h"}).o.help);
  EXPECT_TRUE(parse({"--vers"}).o.version);
}

TEST(IndexOptions, UsageErrorsSayWhatIsWrong) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no path given"},
      {{"--x", "a"}, "unknown option '--x'"},
      {{"-q", "a"}, "unknown option '-q'"},
      {{"a", "--kinds"}, "option '--kinds' needs a value"},
      {{"--kinds=dx", "a"}, "invalid kinds 'dx' (any of d, t, s, u)"},
      {{"--kinds=", "a"}, "invalid kinds '' (any of d, t, s, u)"},
      {{"-j0", "a"}, "invalid number of jobs '0' (1 to 256)"},
      {{"-j", "257", "a"}, "invalid number of jobs '257' (1 to 256)"},
      {{"--jobs=2x", "a"}, "invalid number of jobs '2x' (1 to 256)"},
      {{"--format=xml", "a"}, "invalid format 'xml' (json or tags)"},
      {{"--encoding=latin1", "a"}, "invalid encoding 'latin1' (auto, sjis, utf-8 or euc-jp)"},
      {{"--ext=c,,h", "a"}, "invalid extension list 'c,,h'"},
      {{"--help=yes"}, "option '--help' takes no value"},
      {{"--names-from=/nonexistent/names", "a"},
       "cannot read names from '/nonexistent/names': No such file or directory"},
  };
  for (const auto &c : cases) {
    Parsed p = parse(c.first);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, c.second);
  }
}

}  // namespace
}  // namespace kolvu
