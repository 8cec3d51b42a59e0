// A file's name in kolvu-index's JSON. A name of valid UTF-8 is written as
// it is. Any other name is written readably (through code page 932 when its
// bytes are that, with U+FFFD for what does not convert otherwise) and its
// bytes are kept beside it as "file_bytes", in base64, so that a script can
// always open the file a record names.
#ifndef KOLVU_INDEX_FILE_NAME_JSON_H_
#define KOLVU_INDEX_FILE_NAME_JSON_H_

#include <string>
#include <string_view>

#include "common/utf8.h"

namespace kolvu {

/// Appends the standard base64 form of bytes (with '=' padding).
void append_base64(std::string_view bytes, std::string *out);

/// Appends what follows "file": in a record: the name as a JSON string and,
/// for a name that is not UTF-8, ',"file_bytes":"BASE64"'.
void append_file_name_json(std::string_view name, Utf8Converter *conv, std::string *out);

}  // namespace kolvu

#endif  // KOLVU_INDEX_FILE_NAME_JSON_H_
