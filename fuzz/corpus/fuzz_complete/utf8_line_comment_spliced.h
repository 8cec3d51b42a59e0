~#defin #defin 1	// ”\
#define DAME2 2
/* c */ #defiTH‰åHREE 3
/* a
b */ #define AFTKR_ML 2
x; #define Y 1
zdefine R struct rec
{ int a; };
typedefs {
#define LB {
 int a;
};
int b;
};
