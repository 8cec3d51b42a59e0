// Text of a source as UTF-8: code page 932 and EUC-JP as iconv(3) converts
// them (code page 932 through a table of what it makes of each character,
// built once), UTF-8 checked and copied. A byte sequence that does not
// convert becomes U+FFFD; one byte is passed over and the conversion goes
// on after it.
#ifndef KOLVU_COMMON_UTF8_H_
#define KOLVU_COMMON_UTF8_H_

#include <string>
#include <string_view>

#include "kolvu/scan.h"

namespace kolvu {

/// One converter per thread: it keeps its iconv descriptors open.
class Utf8Converter {
 public:
  Utf8Converter() = default;
  /// With use_table false, code page 932 goes through iconv(3) as well
  /// (for tests that compare the two).
  explicit Utf8Converter(bool use_table) : use_table_(use_table) {}
  ~Utf8Converter();
  Utf8Converter(const Utf8Converter &) = delete;
  Utf8Converter &operator=(const Utf8Converter &) = delete;

  /// Appends text, read in encoding (kAuto is taken as kShiftJis), to out in
  /// UTF-8. False when some bytes did not convert (each became U+FFFD), or
  /// when the system has no converter for the encoding (every byte of 0x80
  /// or above became U+FFFD).
  bool append(Encoding encoding, std::string_view text, std::string *out);

  /// The text in UTF-8: text itself when it is so already (plain ASCII, or
  /// valid UTF-8 read as UTF-8), else *scratch, cleared and filled by
  /// append. *clean is append's result.
  std::string_view view(Encoding encoding, std::string_view text, std::string *scratch,
                        bool *clean);

 private:
  void *open(Encoding encoding);

  bool use_table_ = true;
  void *sjis_ = nullptr;  // iconv_t, opened when first needed
  void *eucjp_ = nullptr;
};

}  // namespace kolvu

#endif  // KOLVU_COMMON_UTF8_H_
