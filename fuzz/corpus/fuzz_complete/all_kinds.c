ÿ#include <stdio.h>
static int counter = 0, *ptr;
extern int ext_var;
extern int proto1(void), proto2(int);
int proto3(const char *s) __attribute__((nonnull));
EXPORT(int) WINAPI wrapped(int a)
{
  int local = 1;
  return local;
}
int knr(a, b)
  int a;
  char *b;
{
  return a;
}
DECLARE_THING(x);
enum Color { RED, GREEN = 2, BLUE };
typedef enum { X1, X2 } Anon;
struct S {
  int a : 3, b;
  union { int u1; float u2; };
  struct Inner { int deep; } in;
  void (*cb)(int);
  char buf[10];
};
const char *table[] = { "a", "b", "c",
  "d" };
#if 0
int in_if0(void) { return 0; }
#else
int in_else(void) { return 1; }
#endif
#ifdef __cplusplus
extern "C" {
#endif
int in_linkage(void);
#ifdef __cplusplus
}
#endif
int knr2(a)
  int a;
{ return a; }
PyAPI_FUNC(int) py(void);
NSPR_API(void)
nspr(int);
DECLARE_X(T)
T *make(void);
