#pragma once
#include <string>
#include <string_view>

namespace norvane {

// How loading treats a document, by the encoding its XML declaration names.
enum class DeclaredFamily {
  None,      // no declaration, or no encoding in it
  Utf8,      // UTF-8
  Japanese,  // Shift_JIS, EUC-JP, ISO-2022-JP and their other names
  Other,     // any other encoding the XML library can decode
  Unknown,   // a name the XML library does not know
};

// The encoding named by the XML declaration at the start of bytes (after a byte-order
// mark; UTF-16 declarations are read too); empty when there is none.
std::string DeclaredEncoding(std::string_view bytes);
DeclaredFamily FamilyOf(const std::string& encoding);
// Whether bytes start with an XML declaration, in any code DeclaredEncoding reads.
bool HasDeclaration(std::string_view bytes);

// The charset parameter of a Content-Type header value ("text/xml; charset=EUC-JP"),
// unquoted; empty when there is none or it is not a plain name.
std::string CharsetOf(std::string_view contentType);

// How a document's bytes are read.
enum class ByteCode {
  Utf8,
  ShiftJis,  // CP932
  EucJp,
  Jis,       // ISO-2022-JP
  Utf16LE,
  Utf16BE,
  Named,     // a code iconv converts from, by its name (windows-1252, KOI8-R, ...)
};

struct TextReading {
  ByteCode code = ByteCode::Utf8;
  std::string name;  // Named only
};

// The code of fetched or stored bytes, decided in the order browsers use: a byte-order
// mark; UTF-16 by its zero bytes; the XML declaration; the charset the server named; the
// Japanese detector; windows-1252. A single-byte name (ISO-8859-1, US-ASCII,
// windows-1252) over bytes that are well-formed UTF-8 with multi-byte characters means
// UTF-8, and otherwise windows-1252. A Japanese name yields to what the bytes prove
// (JIS escapes, a code the detector ruled out, the three-byte UTF-8 scan). A UTF-16 name
// over bytes that are not UTF-16, or a name nobody knows, is passed over.
TextReading DecideTextReading(std::string_view bytes, std::string_view httpCharset = {});

// Bytes read as UTF-16 or a Named code, as well-formed UTF-8 without a byte-order mark.
// A byte that forms no character becomes U+FFFD, except that windows-1252's five
// unassigned bytes become the C1 controls of the same value, as browsers read them.
// False when iconv does not know the name.
bool DecodeToUtf8(std::string_view bytes, const TextReading& reading, std::string& utf8);

// Well-formed UTF-8 for the XML library: each ill-formed sequence becomes U+FFFD and
// the text ends at the first zero byte.
std::string CleanUtf8(std::string_view bytes);

// Program text (Shift_JIS) as DOM text (UTF-8); bytes that form no Shift_JIS character
// become U+FFFD.
std::string SjisToDom(std::string_view sjis);

// DOM text (UTF-8) as program text; characters without a Shift_JIS form become '?'.
std::string DomToSjis(std::string_view utf8);

// A serialised document (UTF-8) as Shift_JIS bytes that still mean the same document:
// a character Shift_JIS lacks becomes a numeric character reference in text and in
// attribute values (inside CDATA the section is closed around the reference); in names
// and processing instructions, where no reference is possible, it becomes "_<hex code>_"
// (U+00E9 is "_E9_"), in comments '?'.
std::string SerialisedToSjis(std::string_view utf8);

// Makes the XML library's "Shift_JIS" write a character reference wherever CP932 has no
// form that reads back as the same character. Once, at XmlInit.
void RegisterShiftJisHandler();

}  // namespace norvane
