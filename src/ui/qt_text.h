#pragma once
#include <QString>
#include <string>

#include "core/sjis.h"

namespace norvane {

// Text between the program (UTF-8 texts, Shift_JIS data) and Qt's strings.
inline QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
inline QString FromSjis(const std::string& sjis) { return Q(SjisToUtf8(sjis)); }
inline std::string ToSjis(const QString& text) { return Utf8ToSjis(text.toStdString()); }

}  // namespace norvane
