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

const int kDtsu = DEF_SINGLE | DEF_CONT | TD_SIMPLE | TD_BLOCK | SU_STRUCT | SU_UNION;

TEST(IndexOptions, DefaultsTakeTheKindsDtsuTheUsualEndingsAndOneJobPerProcessor) {
  Parsed p = parse({"src"}, 3);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.o.paths, std::vector<std::string>{"src"});
  EXPECT_EQ(p.o.kinds, kDtsu);
  EXPECT_EQ(p.o.jobs, 3);
  EXPECT_EQ(p.o.format, IndexFormat::kJson);
  EXPECT_EQ(p.o.encoding, Encoding::kAuto);
  EXPECT_EQ(p.o.exts, default_source_exts());
  EXPECT_EQ(p.o.names.size(), 0);
}

TEST(IndexOptions, ValuesAfterAnEqualsSignOrAsTheNextArgument) {
  Parsed p = parse({"--kinds=ds", "a", "--format", "tags", "-j", "5", "--encoding=euc-jp",
                    "--ext", ".c,.inc", "b", "--names=A,B*", "--names", "C"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.o.paths, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(p.o.kinds, DEF_SINGLE | DEF_CONT | SU_STRUCT);
  EXPECT_EQ(parse({"--kinds", "all", "a"}).o.kinds, ALL_KINDS);
  EXPECT_EQ(parse({"--kinds=fx", "a"}).o.kinds, FN_BODY | VAR_EXTERN);
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
      {{"--kinds=dq", "a"}, "invalid kinds 'dq' (any of d, e, f, g, m, p, s, t, u, v, x, or all)"},
      {{"--kinds=", "a"}, "invalid kinds '' (any of d, e, f, g, m, p, s, t, u, v, x, or all)"},
      {{"-j0", "a"}, "invalid number of jobs '0' (1 to 256)"},
      {{"-j", "257", "a"}, "invalid number of jobs '257' (1 to 256)"},
      {{"--jobs=2x", "a"}, "invalid number of jobs '2x' (1 to 256)"},
      {{"--format=xml", "a"}, "invalid format 'xml' (json, tags or etags)"},
      {{"--encoding=latin1", "a"}, "invalid encoding 'latin1' (auto, sjis, utf-8 or euc-jp)"},
      {{"--ext=.c,,.h", "a"}, "invalid ending '' in '.c,,.h' (a '.' then the rest of a name, as .h)"},
      {{"--ext=h", "a"}, "invalid ending 'h' in 'h' (a '.' then the rest of a name, as .h)"},
      {{"--ext=*.h", "a"}, "invalid ending '*.h' in '*.h' (a '.' then the rest of a name, as .h)"},
      {{"--ext=.", "a"}, "invalid ending '.' in '.' (a '.' then the rest of a name, as .h)"},
      {{"--names=*_H", "a"}, "invalid name list '*_H': '*' stands only at the end of an entry"},
      {{"--names=MAX_*_X", "a"}, "invalid name list 'MAX_*_X': '*' stands only at the end of an entry"},
      {{"--names=", "a"}, "invalid name list '': an empty name"},
      {{"--names=A,,B", "a"}, "invalid name list 'A,,B': an empty name"},
      {{"--names=A,", "a"}, "invalid name list 'A,': an empty name"},
      {{"--files-from=-", "-"}, "standard input ('-') given more than once"},
      {{"--files-from=-", "--files-from", "-"}, "standard input ('-') given more than once"},
      {{"--format=json", "--update=tags", "a"}, "--update works on a tags file only (--format=tags)"},
      {{"-o"}, "option '-o' needs a value"},
      {{"-a", "-o", "-", "a"}, "--update needs a tags file, not '-'"},
      {{"--exclude=", "a"}, "an empty pattern for --exclude"},
      {{"--exclude-from=/nonexistent/x", "a"},
       "cannot read patterns from '/nonexistent/x': No such file or directory"},
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

TEST(IndexOptions, EncodingsByTheirUsualNamesInAnyCase) {
  const std::vector<std::pair<std::string, Encoding>> cases = {
      {"SJIS", Encoding::kShiftJis},   {"Shift_JIS", Encoding::kShiftJis},
      {"cp932", Encoding::kShiftJis},  {"MS932", Encoding::kShiftJis},
      {"Windows-31J", Encoding::kShiftJis}, {"UTF8", Encoding::kUtf8},
      {"utf-8", Encoding::kUtf8},      {"EUCJP", Encoding::kEucJp},
      {"euc-jp", Encoding::kEucJp},    {"AUTO", Encoding::kAuto},
  };
  for (const auto &c : cases) {
    Parsed p = parse({"--encoding=" + c.first, "--encoding=utf-8", "--encoding", c.first, "a"});
    ASSERT_TRUE(p.ok) << c.first << ": " << p.error;
    EXPECT_EQ(p.o.encoding, c.second) << c.first;
  }
}

TEST(IndexOptions, InputAndOutputOptions) {
  Parsed p = parse({"-0", "--files-from", "list", "--stdin-name=x.h", "--exclude=*_test.c",
                    "--exclude", "gen", "--follow", "-o", "out", "-"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.o.paths, std::vector<std::string>{"-"});
  EXPECT_EQ(p.o.files_from, std::vector<std::string>{"list"});
  EXPECT_TRUE(p.o.null_separated);
  EXPECT_EQ(p.o.stdin_name, "x.h");
  EXPECT_EQ(p.o.excludes, (std::vector<std::string>{"*_test.c", "gen"}));
  EXPECT_TRUE(p.o.follow);
  EXPECT_EQ(p.o.output, "out");
  EXPECT_TRUE(p.o.update.empty());
  // A list alone is enough to run.
  EXPECT_TRUE(parse({"--files-from=list"}).ok);
}

TEST(IndexOptions, UpdateWritesTagsToTheFileItUpdates) {
  struct Case {
    std::vector<std::string> args;
    std::string update, output;
  } cases[] = {
      {{"--update=TAGS", "a.c"}, "TAGS", "TAGS"},
      {{"-a", "a.c"}, "tags", "tags"},
      {{"-a", "-otags2", "a.c"}, "tags2", "tags2"},
      {{"--update=old", "-o", "new", "a.c"}, "old", "new"},
      {{"--format=tags", "-a", "a.c"}, "tags", "tags"},
  };
  for (const Case &c : cases) {
    Parsed p = parse(c.args);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.o.update, c.update);
    EXPECT_EQ(p.o.output, c.output);
    EXPECT_EQ(p.o.format, IndexFormat::kTags);
  }
}

}  // namespace
}  // namespace kolvu
