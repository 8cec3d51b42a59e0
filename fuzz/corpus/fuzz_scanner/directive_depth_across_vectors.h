(
#txa,int y;};ype{int y;;}ex;
;
struct
{