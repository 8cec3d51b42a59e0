#define A 1 /* c */
#define B(x) \
   ((x)+1)
typedef unsigned long ULONG;     /* comment */
typedef int (*CMPFUNC)(const void *, const void *);
typedef char arr_t[10];
typedef struct _REC {
    int a;
#define REC_MAX 10
    struct inner { int x; } in;
} REC, *LPREC;
typedef
  enum { E1, E2 }
  E;
typedef int T __attribute__((aligned(8)));
typedef BOOL (WINAPI *PFN)(void);
static struct node *
find(int k)
{
  return 0;
}
struct s
{
  int a;
};
#ifdef __cplusplus
struct X : B {
#else
struct X {
#endif
  int y;
};
#define LP (
struct after_lp { int z; };
int f(void) { g(1'000); }
struct after_sep { int q; };
#if 0
struct dead { ( };
#endif
struct live { int w; };
union u { int a; float b; };
