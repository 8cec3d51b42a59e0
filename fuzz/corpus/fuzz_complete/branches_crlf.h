#ifdef X
struct A : B {
#else
struct A {
#endif
  int a;
#define M (
};
#if 0
it's (
#endif
int v = f(1'000);
typedef struct { int •\; } T; junk