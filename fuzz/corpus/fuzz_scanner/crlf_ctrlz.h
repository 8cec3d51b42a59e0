0struct a {int x;}; struct b {int y;};
union w {
  struct { int p; } in;
};
struct s { char k[2]; } }} ;
/* left open
#define HIDDEN 1
