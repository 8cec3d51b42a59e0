Åint a; // ï\
const char *s = "É\";
int b(void) { /* É{ */ return 0; }
enum { K /* ï\ */ = 1, N };
const char *q = "Ç";
struct T { int m : 3; union { int u; }; void (*cb)(int); } t;
#if 0
int z(void) { 
#else
int y(void);
#endif
