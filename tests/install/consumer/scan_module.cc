// A loadable module built with -shared -fPIC against the installed scanner
// library, as an editor's module or a ctypes shim would be: one C function
// that counts the definitions of a file.
#include <kolvu/scan.h>

extern "C" long kolvu_module_count(const char *path) {
  kolvu::ScanOptions options;
  options.kinds = kolvu::DEF_SINGLE | kolvu::DEF_CONT | kolvu::TD_SIMPLE | kolvu::TD_BLOCK |
                  kolvu::SU_STRUCT | kolvu::SU_UNION;
  long seen = 0;
  kolvu::ScanResult r =
      kolvu::scan_definitions_file(path, options, [&seen](const kolvu::Definition &) { ++seen; });
  return r.status == kolvu::ScanStatus::kOk && r.definitions == seen ? seen : -1;
}
