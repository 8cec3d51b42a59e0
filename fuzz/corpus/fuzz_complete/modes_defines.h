#define DAME1 1	// ”\
#define DAME2 2
/* c */ #define THREE 3
/* a
b */ #define AFTER_ML 2
x; #define Y 1
#define R struct rec
{ int a; };
struct s {
#define LB {
 int a;
};
int b;
};
