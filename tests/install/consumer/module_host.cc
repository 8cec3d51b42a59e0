// Loads a module with dlopen, as a host program loads a plug-in, and calls
// its kolvu_module_count on a file.
//
//   module_host MODULE FILE      prints "N definitions"
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char **argv) {
  if (argc != 3) return 2;
  void *module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  using Count = long (*)(const char *);
  Count count = reinterpret_cast<Count>(dlsym(module, "kolvu_module_count"));
  if (count == nullptr) {
    std::fprintf(stderr, "dlsym: %s\n", dlerror());
    return 1;
  }
  std::printf("%ld definitions\n", count(argv[2]));
  dlclose(module);
  return 0;
}
