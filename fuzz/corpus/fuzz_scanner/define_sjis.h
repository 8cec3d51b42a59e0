#define SEP "•\"
#define ENDS_IN_TRAIL •\
int after;
#define STR "a\"b"
#define OPEN "abc\
def"
