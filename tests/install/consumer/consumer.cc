// A program of another project that uses the installed utility library. It
// is built against the installed package only (through find_package or
// pkg-config) and prints what a few routines answer; the install test
// compares that with the expected text.
#include <kolvu/util.h>

#include <cstdio>
#include <cstdlib>

int main() {
  // 0x95 0x5C is one double-byte character whose second byte is a
  // backslash: Strrchr steps over it, rindex does not.
  const char path[] = "dir\\\x95\x5C.h";
  const char *by_char = kolvu::Strrchr(path, '\\');
  const char *by_byte = kolvu::rindex(path, '\\');

  char *word = kolvu::setstr("point_t");
  kolvu::to_upper(word);

  std::printf("Strrchr %d rindex %d upper %s ext %s\n",
              by_char ? static_cast<int>(by_char - path) : -1,
              by_byte ? static_cast<int>(by_byte - path) : -1, word,
              kolvu::findExt(path));
  std::free(word);
  return 0;
}
