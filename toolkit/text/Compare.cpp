#include "toolkit/text/Compare.h"

#include <algorithm>

#include "toolkit/text/Codecs.h"

namespace {

// Sort key of one character in text mode: its code in the ANSI code page with 'A'-'Z' raised by 32;
// a double-byte code read as a signed 16-bit number, so those sort before single bytes. Characters
// without a code (and escaped bytes) sort after everything and stay distinct from each other.
long TextKey(char16_t c) {
  if (c < 0x80) return text::FoldAscii(c);
  if (text::IsEscapeUnit(c)) return 0x10000L + c;  // a stray byte equals no character
  const int code = text::Cp932Code(c);
  if (code < 0) return 0x10000L + c;
  if (code > 0xFF) return static_cast<short>(static_cast<unsigned short>(code));
  return code;
}

}  // namespace

namespace text {

int Compare(std::u16string_view a, std::u16string_view b, CaseMode mode) {
  if (mode == CaseMode::Binary) {
    const int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    const long ka = TextKey(a[i]), kb = TextKey(b[i]);
    if (ka != kb) return ka < kb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::size_t Find(std::u16string_view s, std::u16string_view piece, CaseMode mode, std::size_t from) {
  if (mode == CaseMode::Binary) return s.find(piece, from);
  if (from > s.size() || piece.size() > s.size() - from) return std::u16string_view::npos;
  const std::size_t last = s.size() - piece.size();
  for (std::size_t at = from; at <= last; ++at) {
    if (StartsWith(s.substr(at), piece, mode)) return at;
  }
  return std::u16string_view::npos;
}

bool StartsWith(std::u16string_view s, std::u16string_view prefix, CaseMode mode) {
  if (prefix.size() > s.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (!EqualChars(s[i], prefix[i], mode)) return false;
  }
  return true;
}

std::size_t CountOccurrences(std::u16string_view s, std::u16string_view piece, CaseMode mode) {
  if (piece.empty()) return 0;
  std::size_t count = 0;
  std::size_t at = Find(s, piece, mode);
  while (at != std::u16string_view::npos) {
    ++count;
    at = Find(s, piece, mode, at + piece.size());
  }
  return count;
}

}  // namespace text
