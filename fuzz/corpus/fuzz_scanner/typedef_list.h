T,Point*
typedef struct {
  int x;
  char name[8]; /* ƒ\ */
} T;
typedef struct tag {
  int y;
} PointXY;
typedef struct other { int z; } U;
typedef int Point3;
