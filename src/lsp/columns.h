// Columns as the editor counts them. A line is held as the bytes of its
// source (code page 932, EUC-JP or UTF-8); the editor shows it decoded and
// counts its columns in UTF-16 code units, UTF-8 bytes or code points, as
// negotiated. These functions turn a byte column of a source line into the
// editor's column and back, and find the identifier under a column.
#ifndef KOLVU_LSP_COLUMNS_H_
#define KOLVU_LSP_COLUMNS_H_

#include <cstddef>
#include <string_view>

#include "kolvu/scan.h"

namespace kolvu {

class Utf8Converter;

enum class PositionEncoding { kUtf16, kUtf8, kUtf32 };

/// "utf-16", "utf-8", "utf-32".
const char *position_encoding_name(PositionEncoding e);

/// The length in bytes of the character that starts line[at], read in
/// encoding (kAuto as code page 932); at least 1.
size_t char_length(Encoding encoding, std::string_view line, size_t at);

/// The editor's column of the byte column bytes (from 0) of line. A byte
/// column inside a character counts as that character's start.
long editor_column(Utf8Converter *conv, Encoding encoding, std::string_view line,
                   size_t bytes, PositionEncoding pe);

/// The byte column of the editor's column col: the start of the character
/// that col falls in, or the line's length past its end.
size_t byte_column(Utf8Converter *conv, Encoding encoding, std::string_view line, long col,
                   PositionEncoding pe);

/// The identifier ([A-Za-z0-9_$]+, not inside a double-byte character) that
/// holds the byte column at, or ends just before it; empty when none.
std::string_view identifier_at(Encoding encoding, std::string_view line, size_t at);

/// Line number line (from 0) of text, without its "\r\n" or "\n"; empty
/// past the end. *start, when given, is its offset in text.
std::string_view line_of(std::string_view text, long line, size_t *start = nullptr);

}  // namespace kolvu

#endif  // KOLVU_LSP_COLUMNS_H_
