typedef
struct { int a; } T;
mystruct x { int a; };
struct t v = { 1 };
struct s { int a; }; int b;
#if 0
typedef int T;
#endif
/*/ c
typedef int T;
*/
struct a$b { int x; };
F(typedef);
