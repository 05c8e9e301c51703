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

}  // namespace norvane
