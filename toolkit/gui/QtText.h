// Text between the toolkit (UTF-16 code units) and Qt.
#pragma once

#include <QString>
#include <string>

#include "toolkit/text/Codecs.h"

// Unit for unit: the escape units of a stored name come back unchanged.
inline QString ToQt(const std::u16string& text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::u16string FromQt(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// A stored name or path as a person reads it.
inline QString Readable(const std::u16string& text) { return ToQt(text::ReadableName(text)); }
