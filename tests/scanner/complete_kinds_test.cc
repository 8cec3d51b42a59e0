// The complete mode's other kinds of definition: functions, prototypes,
// enums and their constants, members, variables and extern declarations,
// one row a shape, with the records' kinds, line spans, names, scopes and
// places; and the kind bits that select them.
#include <gtest/gtest.h>

#include <string>

#include "kolvu/scan.h"
#include "support/complete_summary.h"

namespace kolvu {
namespace {

std::string kinds_summary(const std::string &src, int kinds = ALL_KINDS,
                          const char *names = nullptr) {
  return kolvu_test::complete_summary(src, kinds, names, true);
}

struct Row {
  const char *what;
  const char *src;
  const char *want;
};

void check(const Row *rows, size_t n, int kinds = ALL_KINDS) {
  for (size_t i = 0; i < n; ++i) EXPECT_EQ(kinds_summary(rows[i].src, kinds), rows[i].want) << rows[i].what;
}

TEST(CompleteKinds, FunctionsAndPrototypes) {
  const Row rows[] = {
      {"a definition runs from its type to its body's '}'; its locals are no names",
       "static inline int\nadd(int a, int b)\n{\n  int sum = a + b;\n  return sum;\n}\n",
       "function 1-6: function:add@2:1\n"},
      {"prototypes, extern or not, two in one declaration; a definition beside them",
       "int f(void), g(int);\nextern char *h(const char *s) __attribute__((nonnull));\n"
       "int f(void) { return 0; }\n",
       "prototype 1-1: prototype:f@1:5 prototype:g@1:14\n"
       "prototype 2-2: prototype:h@2:14\n"
       "function 3-3: function:f@3:5\n"},
      {"K&R parameter declarations stand between the list and the body",
       "int knr(a, b)\n  int a;\n  char *b;\n{\n  return a;\n}\nint after;\n",
       "function 1-6: function:knr@1:5\n"
       "variable 7-7: variable:after@7:5\n"},
      {"macros around the name or the return type are stepped over",
       "EXPORT(int) WINAPI wrapped(int a) { return a; }\n"
       "BOOL STDCALL plain(void);\n"
       "PyAPI_FUNC(void *) py_alloc(size_t n);\n"
       "NSPR_API(void)\nnspr_add(int h);\n"
       "__declspec(dllexport) int exported(void);\n"
       "int old_style OF((int a, int b));\n"
       "extern int glibc_like (int __c) __THROW __attribute__ ((__const__));\n"
       "void (*signal(int sig, void (*func)(int)))(int);\n",
       "function 1-1: function:wrapped@1:20\n"
       "prototype 2-2: prototype:plain@2:14\n"
       "prototype 3-3: prototype:py_alloc@3:20\n"
       "prototype 4-5: prototype:nspr_add@5:1\n"
       "prototype 6-6: prototype:exported@6:27\n"
       "prototype 7-7: prototype:old_style@7:5\n"
       "prototype 8-8: prototype:glibc_like@8:12\n"
       "prototype 9-9: prototype:signal@9:8\n"},
      {"an attribute's macro after a function's parameters, with a type's macro before; "
       "a type's macro in capitals before a last name",
       "FT_EXPORT( FT_Error )\nFT_GetFile( const char *name,\n  long *index )\n"
       "  FT_DEPRECATED_ATTRIBUTE;\nextern NCURSES_EXPORT_VAR(char) PC;\n",
       "prototype 1-4: prototype:FT_GetFile@2:1\n"
       "extern 5-5: extern:PC@5:33\n"},
      {"a macro called at file scope is no function, with or without its ';'",
       "DECLARE_THING(x);\nMODULE_LICENSE(\"GPL\");\n"
       "DECLARE_FUNCTIONS(T)\nT *make_t(void);\n"
       "_Static_assert(sizeof(int) == 4, \"int\");\n",
       "prototype 4-4: prototype:make_t@4:4\n"},
  };
  check(rows, sizeof rows / sizeof rows[0]);
}

TEST(CompleteKinds, VariablesAndExterns) {
  const Row rows[] = {
      {"file-scope variables, several in one declaration; extern declarations",
       "static int counter = 0, *ptr;\nextern int ext_var;\nextern const char *names[];\n"
       "int (*handler)(int);\nunsigned char buf[16] = { 0 };\n",
       "variable 1-1: variable:counter@1:12 variable:ptr@1:26\n"
       "extern 2-2: extern:ext_var@2:12\n"
       "extern 3-3: extern:names@3:20\n"
       "variable 4-4: variable:handler@4:7\n"
       "variable 5-5: variable:buf@5:15\n"},
      {"an initializer of any length, over lines and with braces, ends at its ';'",
       "const char *table[] = {\n  \"a; b\", \"{\",\n  \"c\",\n};\nint next;\n",
       "variable 1-4: variable:table@1:13\n"
       "variable 5-5: variable:next@5:5\n"},
      {"a struct defined in a declaration: the variable holds the struct",
       "struct point { int x, y; } origin = { 0, 0 };\nstruct point *corner;\nstruct fwd;\n",
       "variable 1-1: variable:origin@1:28\n"
       "struct 1-1 ^0: struct:point@1:8 member:x@1:20/struct:point member:y@1:23/struct:point\n"
       "variable 2-2: variable:corner@2:15\n"},
      {"extern \"C\" { ... } holds declarations at file scope",
       "#ifdef __cplusplus\nextern \"C\" {\n#endif\nint in_c(void);\nint in_c_var;\n"
       "#ifdef __cplusplus\n}\n#endif\nint after_c;\n",
       "prototype 4-4: prototype:in_c@4:5\n"
       "variable 5-5: variable:in_c_var@5:5\n"
       "variable 9-9: variable:after_c@9:5\n"},
      {"a C++ class's constructors and destructors, in its body and outside it; another "
       "class's name there, or a macro call, declares nothing",
       "class EXPORT Obj : public Base {\npublic:\n  Obj();\n  virtual ~Obj();\n"
       "  Obj(int a) : v(a) { }\n  ~Other();\n  DECLARE_STUFF(x);\n};\n"
       "Obj::~Obj() { }\n",
       "prototype 3-3: prototype:Obj@3:3\n"
       "prototype 4-4: prototype:~Obj@4:11\n"
       "function 5-5: function:Obj@5:3\n"
       "function 9-9: function:~Obj@9:6\n"},
  };
  check(rows, sizeof rows / sizeof rows[0]);
}

TEST(CompleteKinds, EnumsAndMembers) {
  const Row rows[] = {
      {"an enum's tag and constants; a variable of it",
       "enum Color { RED, GREEN = 2, BLUE = GREEN << 1 } paint;\n",
       "variable 1-1: variable:paint@1:50\n"
       "enum 1-1 ^0: enum:Color@1:6 enumerator:RED@1:14/enum:Color enumerator:GREEN@1:19/enum:Color enumerator:BLUE@1:30/enum:Color\n"},
      {"a typedef'd enum: its constants are the typedef's, scoped by its tag or first name",
       "typedef enum { X1, X2 } Anon, *PAnon;\ntypedef enum Tagged { Y1 } Tagged_t;\n",
       "typedef 1-1: enumerator:X1@1:16/typedef:Anon enumerator:X2@1:20/typedef:Anon typedef:Anon@1:25 typedef:PAnon@1:32\n"
       "typedef 2-2: enum:Tagged@2:14 enumerator:Y1@2:23/enum:Tagged typedef:Tagged_t@2:28\n"},
      {"members: bit-fields, arrays, function pointers, nested anonymous and named ones",
       "struct S {\n  int a : 3, b;\n  union { int u1; float u2; };\n"
       "  struct Inner { int deep; } in;\n  void (*cb)(int);\n  char buf[10];\n"
       "  unsigned : 4;\n};\n",
       "struct 1-8: struct:S@1:8 member:a@2:7/struct:S member:b@2:14/struct:S member:u1@3:15/struct:S member:u2@3:25/struct:S member:in@4:30/struct:S member:cb@5:10/struct:S member:buf@6:8/struct:S\n"
       "union 3-3 ^0:\n"
       "struct 4-4 ^0: struct:Inner@4:10 member:deep@4:22/struct:Inner\n"},
      {"a typedef'd struct's members are the typedef's, scoped by its tag, else its first name",
       "typedef struct { struct { int p; } q; int r; } T, *PT;\n"
       "typedef struct Node { struct Node *next; } Node;\n",
       "typedef 1-1: member:p@1:31/typedef:T member:q@1:36/typedef:T member:r@1:43/typedef:T typedef:T@1:48 typedef:PT@1:52\n"
       "struct 1-1 ^0:\n"
       "typedef 2-2: struct:Node@2:16 member:next@2:36/struct:Node typedef:Node@2:44\n"},
      {"members in every branch of a conditional group; a macro's member line",
       "struct flags {\n#if BIG\n  unsigned hi : 4, lo : 4;\n#else\n  unsigned lo : 4, hi : 4;\n"
       "#endif\n  LIST_ENTRY(flags) link;\n};\n",
       "struct 1-8: struct:flags@1:8 member:hi@3:12/struct:flags member:lo@3:20/struct:flags member:lo@5:12/struct:flags member:hi@5:20/struct:flags member:link@7:21/struct:flags\n"},
  };
  check(rows, sizeof rows / sizeof rows[0]);
}

TEST(CompleteKinds, BranchesAndDoubleByteText) {
  const Row rows[] = {
      {"a name in #if 0 or in a later branch is a definition; braces there leave nothing",
       "#if 0\nint in_if0(void) { return 0; }\nstruct gone {\n#endif\n"
       "#ifdef A\nint x1;\n#else\nlong x1;\n#endif\nint last(void);\n",
       "function 2-2: function:in_if0@2:5\n"
       "variable 6-6: variable:x1@6:5\n"
       "variable 8-8: variable:x1@8:6\n"
       "prototype 10-10: prototype:last@10:5\n"},
      {"a declaration begun before a group reads its first branch",
       "int\n#ifdef WIDE\nwide_f(long a)\n#else\nnarrow_f(a) int a;\n#endif\n{\n  return 0;\n}\n",
       "function 1-9: function:wide_f@3:1\n"},
      {"trail bytes 0x5C and 0x7B in comments and literals before and inside definitions",
       "int sjis_a; // \x95\x5c\n"
       "const char *s = \"\x83\x5c\";\n"
       "int sjis_b(void) { /* \x83\x7b */ return '\x83\x7b'; }\n"
       "enum { K_SJIS /* \x95\x5c */ = 1, NEXT };\n",
       "variable 1-1: variable:sjis_a@1:5\n"
       "variable 2-2: variable:s@2:13\n"
       "function 3-3: function:sjis_b@3:5\n"
       "enum 4-4: enumerator:K_SJIS@4:8 enumerator:NEXT@4:29\n"},
      {"a lead byte before a quote: the quote still closes the literal",
       "const char *q = \"\x82\";\nint after_quote(void);\n",
       "variable 1-1: variable:q@1:13\n"
       "prototype 2-2: prototype:after_quote@2:5\n"},
  };
  check(rows, sizeof rows / sizeof rows[0]);
}

TEST(CompleteKinds, KindBitsSelectRecordsAndNames) {
  const std::string src =
      "struct S { int m; };\n"
      "enum E { C1 };\n"
      "int f(void);\n"
      "int f(void) { return 0; }\n"
      "int v;\n"
      "extern int x;\n"
      "typedef enum { T1 } T;\n";
  struct Select {
    int kinds;
    const char *want;
  } selects[] = {
      {SU_MEMBER,
       "struct 1-1: member:m@1:16/struct:S\n"},
      {EN_CONST,
       "enum 2-2: enumerator:C1@2:10/enum:E\n"
       "typedef 7-7: enumerator:T1@7:16/typedef:T\n"},
      {EN_TYPE,
       "enum 2-2: enum:E@2:6\n"},
      {FN_PROTO | VAR_EXTERN,
       "prototype 3-3: prototype:f@3:5\n"
       "extern 6-6: extern:x@6:12\n"},
      {FN_BODY | VAR_DEF,
       "function 4-4: function:f@4:5\n"
       "variable 5-5: variable:v@5:5\n"},
      {SU_STRUCT | TD_SIMPLE,
       "struct 1-1: struct:S@1:8\n"
       "typedef 7-7: typedef:T@7:21\n"},
  };
  for (const Select &s : selects) EXPECT_EQ(kinds_summary(src, s.kinds), s.want) << s.kinds;
  // A name list wants a record for any of the names it keeps.
  EXPECT_EQ(kinds_summary(src, ALL_KINDS, "C1,v"), "enum 2-2: enum:E@2:6 enumerator:C1@2:10/enum:E\n"
            "variable 5-5: variable:v@5:5\n");
  EXPECT_EQ(kinds_summary(src, SU_STRUCT, "m"), "");
}

}  // namespace
}  // namespace kolvu
