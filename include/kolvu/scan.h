// The definition scanner as a library: the #define, typedef, struct and
// union definitions of a C source (in the complete mode also its functions,
// prototypes, enums and their constants, members, variables and extern
// declarations), handed to the caller one record at a time, with their
// names, lines, offsets and text.
//
// A scan has no state outside its own call: any number may run at once, on
// any threads, each with its own options; a NameList may be shared by scans
// running at once while nothing is added to it. Nothing here writes to
// standard output or standard error or ends the process: every failure is
// returned.
//
// A scan runs in one of two modes:
// - The tool's mode (the default): the text of each record is exactly what
//   the kolvu tool writes for that definition. For a file without a line of
//   1023 bytes or more, the texts of its records, in the order given, are
//   byte for byte what the tool writes for that file with the same kinds
//   (its banner aside), and with the same name list where no wanted name is
//   longer than 32 bytes. Unlike the tool, it takes lines of any length.
// - The complete mode (ScanOptions::complete), for lookups: every
//   definition is a record with its own bytes of the source, nested ones
//   too, whatever its layout.
// In both, every record lists every name its definition introduces, and the
// scanner reads a file as text: carriage returns are dropped and a Ctrl-Z
// byte ends the file.
#ifndef KOLVU_SCAN_H_
#define KOLVU_SCAN_H_

#include <cstddef>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kolvu {

/// The kind bits that select definitions. 0 selects every #define and
/// nothing else.
enum KindBits {
  DEF_SINGLE = 0x01,  // #define on one line
  DEF_CONT = 0x02,    // #define continued with a backslash
  TD_SIMPLE = 0x04,   // typedef ending at its own ';' on its first line
  TD_BLOCK = 0x08,    // typedef of a struct or union with a body
  SU_STRUCT = 0x10,   // struct definition
  SU_UNION = 0x20,    // union definition
  // The other definitions of C, found in the complete mode only (the tool's
  // mode ignores these bits). A record of another kind is handed over for
  // a name these select (a struct's record for its members).
  FN_BODY = 0x40,       // function definition, its body included
  FN_PROTO = 0x80,      // function declaration, extern or not
  EN_TYPE = 0x100,      // enum definition (with its body)
  EN_CONST = 0x200,     // enumeration constant: a name of its enum's record
  SU_MEMBER = 0x400,    // member of a struct or union: a name of its record
  VAR_DEF = 0x800,      // variable defined at file scope
  VAR_EXTERN = 0x1000,  // variable declared extern
  /// Every kind bit.
  ALL_KINDS = 0x1fff,
};

enum class DefKind {
  kDefine,
  kTypedef,
  kStruct,
  kUnion,
  kFunction,    // a function definition
  kPrototype,   // a function declaration
  kEnum,        // an enum's tag, or its record
  kEnumerator,  // an enumeration constant
  kMember,      // a member of a struct or union
  kVariable,    // a variable defined at file scope
  kExtern,      // a variable declared extern
};

/// "define", "typedef", "struct", "union", "function", "prototype", "enum",
/// "enumerator", "member", "variable" or "extern".
const char *kind_name(DefKind kind);

/// How the bytes of a source are read.
enum class Encoding {
  kAuto,      // per source, from its text as read: kUtf8 when all of it is
              // valid UTF-8 and it holds a byte of 0x80 or above; else
              // kEucJp or kShiftJis, whichever reading scores more common
              // kana and kanji (a sequence the encoding does not allow
              // counts against it; one far ahead early wins), kShiftJis on a
              // tie and for plain ASCII. A pipe is judged by its first
              // megabyte, anything else whole
  kShiftJis,  // code page 932: the second byte of a double-byte character
              // (which may be a backslash, a quote or a brace) is no ASCII
  kUtf8,      // ASCII-compatible: no byte is the second byte of anything
  kEucJp,     // ASCII-compatible, read as kUtf8 is
};

/// The names and name prefixes a definition must match. An entry wants
/// exactly its own text as a name or, ending in '*' (more exactly: up to
/// its first '*'), every longer name that begins with the bytes before it.
/// A name is the run of ASCII letters, digits and '_' where it stands, and
/// is compared whole, whatever its length. An empty list wants every name.
class NameList {
 public:
  NameList() = default;
  ~NameList();
  NameList(NameList &&other) noexcept;
  NameList &operator=(NameList &&other) noexcept;
  NameList(const NameList &) = delete;
  NameList &operator=(const NameList &) = delete;

  /// Adds one entry (copied). False, and the list unchanged, when memory
  /// runs out.
  bool add(std::string_view entry);

  /// Adds the comma-separated entries of text, as the tool's -l does. False
  /// when memory runs out (the entries before stay added).
  bool add_list(std::string_view text);

  int size() const { return count_; }
  const char *entry(int i) const { return entries_[i]; }

  /// True when the name that begins at name is wanted.
  bool wants(const char *name) const;

 private:
  friend struct ScanAccess;
  bool grow_index();

  char **entries_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
  void *index_ = nullptr;  // the hash index, rebuilt as the list grows
};

struct ScanOptions {
  int kinds = 0;                    // KindBits; 0: every #define
  const NameList *names = nullptr;  // null or empty: every name
  Encoding encoding = Encoding::kAuto;
  /// The complete mode, for lookups. Every definition of the kinds asked
  /// for is a record, including those nested in another one's body
  /// (#define lines inside a struct, structs and unions inside a struct),
  /// and every typedef whatever its layout, from `typedef` to its ';'. The
  /// text of a record is its own bytes of the source, from begin to end with
  /// carriage returns dropped: a definition, and the rest of its last line
  /// when only blanks and comments stand there. A NUL byte is read as any
  /// other byte. Braces are counted in the first branch of #if/#ifdef/
  /// #ifndef ... #elif/#else ... #endif only, and the lines of an #if 0
  /// group are no code. Records come in the order of their begin, an outer
  /// one before those it holds; a record is wanted when any of its names
  /// is. kind_bit says which kind bit selects it (TD_BLOCK for a typedef of
  /// a struct or union with a body, TD_SIMPLE for any other).
  /// With FN_BODY, FN_PROTO, EN_TYPE, EN_CONST, SU_MEMBER, VAR_DEF or
  /// VAR_EXTERN asked, the declarations at file scope (and in extern "C"
  /// { }, or a C++ class or namespace body) are read too: a function's
  /// record runs from its first token (a macro called on a line of its own
  /// before it left out) to its body's '}', K&R parameter declarations
  /// included; a prototype's or variable's to its ';' (one record a
  /// declaration: `int f(void), g(int);` has two names); an enum's from its
  /// keyword to the ';' after its body. A declaration with no type before
  /// its name (a macro called: `DECLARE_THING(x);`) is none, and macros
  /// that wrap a name or a type are stepped over. An #if 0 group is then
  /// read as a later branch is, and a record of another kind is handed over
  /// when it holds a name of a kind asked, without the names of kinds not
  /// asked. With none of these bits, the records are those above.
  bool complete = false;
};

/// One name a definition introduces.
struct DefinitionName {
  std::string_view name;  // letters, digits and '_' ('~' first for a C++ destructor)
  /// kDefine: a macro. kTypedef: a typedef's declarator. kStruct, kUnion,
  /// kEnum: a tag. kFunction, kPrototype, kVariable, kExtern: a
  /// declarator's name. kEnumerator: a constant of an enum's body. kMember:
  /// a member of a struct's or union's body, or of an anonymous one inside.
  DefKind kind;
  long line;      // from 1
  long column;    // byte column in its line of the source, from 1
  size_t offset;  // of its first byte in the source
  /// A member's or enumerator's container: the tag of its struct, union or
  /// enum (scope_kind kStruct, kUnion or kEnum), or for an anonymous one
  /// the first name of the typedef that defines it (scope_kind kTypedef);
  /// empty for other names and where the container has no name.
  std::string_view scope;
  DefKind scope_kind = DefKind::kStruct;
};

/// One definition. The views point into memory of the scan, valid only
/// during the call that hands the record over.
struct Definition {
  DefKind kind;
  /// The kind bit that selected it: DEF_SINGLE or DEF_CONT by the shape of
  /// a #define (also with kinds 0), TD_SIMPLE or TD_BLOCK for a typedef,
  /// SU_STRUCT or SU_UNION; FN_BODY, EN_TYPE; FN_PROTO, VAR_DEF or
  /// VAR_EXTERN by the kind of the declaration's first name (the record's
  /// kind). 0 for the rare typedef written only because the
  /// name before a later ';' was wanted, after it did not start by its own
  /// shape (the tool writes the rest of that ';''s line then).
  int kind_bit;
  /// The macro name, the struct, union or enum tag (empty for an anonymous
  /// one), the first name of a function's, prototype's or variable's
  /// declaration, or a typedef's name: the identifier before the ';' that
  /// ends it (empty when none stands there or the scan never reached that
  /// ';').
  std::string_view name;
  /// The lines (from 1) of the text's first and last bytes in the source.
  long first_line;
  long last_line;
  /// Offsets in the source, carriage returns counted: from the text's
  /// first byte up to just after its last (a '\n' that the tool adds where
  /// the last line has none is not in the source).
  size_t begin;
  size_t end;
  /// The bytes the tool writes for it, as they are in the source; in the
  /// complete mode the source bytes from begin to end, carriage returns
  /// dropped.
  std::string_view text;
  /// Every name the definition introduces, in the order of the source: a
  /// #define's macro; a typedef's declarators (REC and LPREC of
  /// `typedef struct _REC {...} REC, *LPREC;`, the name inside a function
  /// pointer's or an array's declarator) and the tag of a struct or union
  /// it defines (_REC, kind kStruct); a struct's or union's tag. None for
  /// an anonymous struct or union. In the complete mode, with their kind
  /// bits: a struct's, union's or typedef's members (those of the anonymous
  /// ones it holds too), an enum's tag and constants (in a typedef's record
  /// too), the names a function's, prototype's or variable's declaration
  /// declares. Offsets and lines as above; with the complete mode off they
  /// are those of the bytes the text was cut from.
  const DefinitionName *names = nullptr;
  size_t name_count = 0;
  /// The record's number among those handed over by this scan, from 0.
  long index = 0;
  /// In the complete mode, the index of the record whose text holds this
  /// one (a #define or struct inside a struct's body); -1 for none.
  long parent = -1;
  /// The encoding the source is read in (kAuto decided), as the scan's
  /// result will say: the text can be converted as soon as it comes.
  Encoding encoding = Encoding::kShiftJis;
};

enum class ScanStatus {
  kOk,
  kCannotOpen,  // the file does not exist, cannot be opened, or is a directory
  kCannotRead,  // a read failed
  kNoMemory,
  kTooLarge,    // 2 GiB or more; in the complete mode, a definition of 2 GiB or more
  kStopped,     // the callback asked to stop
};

struct ScanResult {
  ScanStatus status = ScanStatus::kOk;
  int error_number = 0;                 // errno of a failed open or read
  Encoding encoding = Encoding::kAuto;  // the encoding the source was read in
  long definitions = 0;                 // records handed over
};

/// Called once per definition, in order; returns false to stop the scan.
/// A null function counts the definitions (ScanResult::definitions) and
/// hands nothing over.
using DefinitionFn = bool (*)(const Definition &def, void *context);

/// Scans the bytes of a source held in memory.
ScanResult scan_definitions(const char *data, size_t size, const ScanOptions &options,
                            DefinitionFn fn, void *context);

/// The bytes a buffer given to scan_definitions_in_place needs after the
/// source's for the scan to make no copy of it.
constexpr size_t kInPlaceRoom = 128;

/// As scan_definitions, over a source in a buffer of capacity bytes that the
/// caller lets the scan change: the source is read as text where it lies
/// (carriage returns dropped, the text after them moved down) and the bytes
/// after it are written. With kInPlaceRoom bytes or more after the source,
/// no copy of it is made; with fewer, a copy is scanned.
ScanResult scan_definitions_in_place(char *data, size_t size, size_t capacity,
                                     const ScanOptions &options, DefinitionFn fn, void *context);

/// Reads the file at path whole, then scans it.
ScanResult scan_definitions_file(const char *path, const ScanOptions &options, DefinitionFn fn,
                                 void *context);

/// Reads the source from fd (a file, a pipe, a terminal: read(2) until it
/// says the end) and scans it; fd stays open. kCannotRead with errno in
/// error_number when a read fails.
ScanResult scan_definitions_fd(int fd, const ScanOptions &options, DefinitionFn fn,
                               void *context);

/// The same with any callable taking a const Definition & and returning
/// bool (or nothing, to go on to the end).
template <typename F>
ScanResult scan_definitions(const char *data, size_t size, const ScanOptions &options, F &&f);
template <typename F>
ScanResult scan_definitions_in_place(char *data, size_t size, size_t capacity,
                                     const ScanOptions &options, F &&f);
template <typename F>
ScanResult scan_definitions_file(const char *path, const ScanOptions &options, F &&f);
template <typename F>
ScanResult scan_definitions_fd(int fd, const ScanOptions &options, F &&f);

/// A short English text for a status ("cannot open", "out of memory" ...).
const char *scan_status_text(ScanStatus status);

/// The bytes of the character that starts at p (left > 0 bytes of text) in
/// encoding, as the scanner steps it: Shift_JIS (and kAuto) pairs a lead
/// byte (0x80-0x9F, 0xE0-0xFC) with the next byte unless that is '\n';
/// EUC-JP's 0x8E and 0xA1-0xFE lead two bytes and 0x8F three; UTF-8 takes a
/// valid sequence. At least 1, at most left.
size_t encoded_char_length(Encoding encoding, const char *p, size_t left);

// ---- Implementation of the templates ------------------------------------

namespace scan_detail {
template <typename F>
bool call(const Definition &def, void *context) {
  F &f = *static_cast<F *>(context);
  if constexpr (std::is_same_v<decltype(f(def)), void>) {
    f(def);
    return true;
  } else {
    return static_cast<bool>(f(def));
  }
}
}  // namespace scan_detail

template <typename F>
ScanResult scan_definitions(const char *data, size_t size, const ScanOptions &options, F &&f) {
  using Fn = std::remove_reference_t<F>;
  return scan_definitions(data, size, options, &scan_detail::call<Fn>,
                          const_cast<void *>(static_cast<const void *>(&f)));
}

template <typename F>
ScanResult scan_definitions_in_place(char *data, size_t size, size_t capacity,
                                     const ScanOptions &options, F &&f) {
  using Fn = std::remove_reference_t<F>;
  return scan_definitions_in_place(data, size, capacity, options, &scan_detail::call<Fn>,
                                   const_cast<void *>(static_cast<const void *>(&f)));
}

template <typename F>
ScanResult scan_definitions_file(const char *path, const ScanOptions &options, F &&f) {
  using Fn = std::remove_reference_t<F>;
  return scan_definitions_file(path, options, &scan_detail::call<Fn>,
                               const_cast<void *>(static_cast<const void *>(&f)));
}

template <typename F>
ScanResult scan_definitions_fd(int fd, const ScanOptions &options, F &&f) {
  using Fn = std::remove_reference_t<F>;
  return scan_definitions_fd(fd, options, &scan_detail::call<Fn>,
                             const_cast<void *>(static_cast<const void *>(&f)));
}

}  // namespace kolvu

#endif  // KOLVU_SCAN_H_
