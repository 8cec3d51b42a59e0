#define A 1 /* c *z/
#define B(x) \
   ((x)+1)
typedef unsigned long ULOa; } T;
mystruct x {$int a; };
struct t v = ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~{ REE 3
/* a
b */ #define AFTER_ML 2
x; #define Y 1
#deeifn R222222222222222222222222222222222222222222} REC, *LPREC;
typed x; } in;
} REC,lusplus
str a
b */ #define AFTER_ML 2
x; #define Y 1
#deeifn R2222222222222222222222222 000); }*struct after_sep { int q; };
#if 0
struct dead { ( };
#endif
struct live { int w; };
union u { int a; float b; };
