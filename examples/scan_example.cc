// Lists the definitions of a C source with the scanner library: kind, name,
// lines and size of each, then how many there were.
//
//   scan_example FILE
#include <kolvu/scan.h>

#include <cstdio>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scan_example FILE\n");
    return 2;
  }
  kolvu::NameList names;  // left empty: every name is wanted
  kolvu::ScanOptions options;
  options.kinds = kolvu::DEF_SINGLE | kolvu::DEF_CONT | kolvu::TD_SIMPLE | kolvu::TD_BLOCK |
                  kolvu::SU_STRUCT | kolvu::SU_UNION;
  options.names = &names;
  kolvu::ScanResult result =
      kolvu::scan_definitions_file(argv[1], options, [](const kolvu::Definition &def) {
        std::printf("%-7s %-12.*s lines %2ld-%-2ld %3zu bytes\n", kolvu::kind_name(def.kind),
                    static_cast<int>(def.name.size()), def.name.data(), def.first_line,
                    def.last_line, def.text.size());
      });
  if (result.status != kolvu::ScanStatus::kOk) {
    std::fprintf(stderr, "%s: %s\n", argv[1], kolvu::scan_status_text(result.status));
    return 1;
  }
  std::printf("%ld definitions, read as %s\n", result.definitions,
              result.encoding == kolvu::Encoding::kShiftJis ? "Shift_JIS"
              : result.encoding == kolvu::Encoding::kEucJp  ? "EUC-JP"
                                                             : "UTF-8");
  return 0;
}
