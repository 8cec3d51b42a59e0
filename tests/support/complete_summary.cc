#include "support/complete_summary.h"

#include <gtest/gtest.h>

#include "kolvu/scan.h"

namespace kolvu_test {

std::string complete_summary(const std::string &src, int kinds, const char *names,
                             bool long_form) {
  using namespace kolvu;
  NameList list;
  if (names != nullptr) {
    EXPECT_TRUE(list.add_list(names));
  }
  ScanOptions opt;
  opt.kinds = kinds;
  opt.names = &list;
  opt.encoding = Encoding::kShiftJis;
  opt.complete = true;
  auto kind = [long_form](DefKind k) {
    return long_form ? std::string(kind_name(k)) : std::string(1, kind_name(k)[0]);
  };
  std::string out;
  ScanResult r = scan_definitions(src.data(), src.size(), opt, [&](const Definition &d) {
    out += kind(d.kind);
    out += ' ' + std::to_string(d.first_line) + '-' + std::to_string(d.last_line);
    if (d.parent >= 0) out += " ^" + std::to_string(d.parent);
    out += ':';
    for (size_t i = 0; i < d.name_count; ++i) {
      const DefinitionName &n = d.names[i];
      out += ' ' + kind(n.kind) + ':' + std::string(n.name) + '@' + std::to_string(n.line) + ':' +
             std::to_string(n.column);
      if (long_form && !n.scope.empty()) out += '/' + kind(n.scope_kind) + ':' + std::string(n.scope);
    }
    out += '\n';
  });
  EXPECT_EQ(r.status, ScanStatus::kOk);
  return out;
}

}  // namespace kolvu_test
