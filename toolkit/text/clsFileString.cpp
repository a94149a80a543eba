#include "toolkit/text/clsFileString.h"

#include <algorithm>
#include <stdexcept>

#include "toolkit/text/codecs.h"

namespace {

// Sort key of one character in text mode: its code in the ANSI code page with 'A'-'Z' raised by 32;
// a double-byte code read as a signed 16-bit number, so those sort before single bytes. Characters
// without a code (and escaped bytes) sort after everything and stay distinct from each other.
long TextKey(char16_t c) {
  if (c < 0x80) return clsFileString::FoldAscii(c);
  if (text::IsEscapeUnit(c)) return 0x10000L + c;  // a stray byte equals no character
  const int code = text::Cp932Code(c);
  if (code < 0) return 0x10000L + c;
  if (code > 0xFF) return static_cast<short>(static_cast<unsigned short>(code));
  return code;
}

}  // namespace

int clsFileString::FileStrComp(const std::u16string& st1, const std::u16string& st2, int Mode) const {
  if (Mode == 0) {
    const int r = st1.compare(st2);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
  const std::size_t n = std::min(st1.size(), st2.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t a = st1[i], b = st2[i];
    if (a == b) continue;
    const long ka = TextKey(a), kb = TextKey(b);
    if (ka != kb) return ka < kb ? -1 : 1;
  }
  if (st1.size() == st2.size()) return 0;
  return st1.size() < st2.size() ? -1 : 1;
}

bool clsFileString::EqualAt(const std::u16string& st1, std::size_t at, const std::u16string& st2, int Mode) {
  if (at + st2.size() > st1.size()) return false;
  if (Mode == 0) return st1.compare(at, st2.size(), st2) == 0;
  for (std::size_t i = 0; i < st2.size(); ++i) {
    if (!CharEqualText(st1[at + i], st2[i])) return false;
  }
  return true;
}

int clsFileString::FileInStr(int Start, const std::u16string& st1, const std::u16string& st2, int Mode) const {
  if (st2.empty()) return Start;
  if (Start < 1) throw std::invalid_argument("FileInStr: Start must be 1 or more");
  const long last = static_cast<long>(st1.size()) - static_cast<long>(st2.size()) + 1;
  for (long p = Start; p <= last; ++p) {
    if (EqualAt(st1, static_cast<std::size_t>(p - 1), st2, Mode)) return static_cast<int>(p);
  }
  return 0;
}

int clsFileString::FileInStrR(int Start, const std::u16string& st1, const std::u16string& st2, int Mode) const {
  if (st2.empty()) return Start;
  const long n = static_cast<long>(st2.size());
  // Occurrences that would run past the end never compare equal, so start where one could fit.
  const long first = std::min<long>(Start, static_cast<long>(st1.size()) - n + 1);
  for (long p = first; p >= 1; --p) {
    if (EqualAt(st1, static_cast<std::size_t>(p - 1), st2, Mode)) return static_cast<int>(p + n - 1);
  }
  return 0;
}

int clsFileString::GetSQNumText(const std::u16string& T, const std::u16string& c, int Mode) const {
  if (c.empty()) return 0;
  int count = 0;
  int p = 1;
  while ((p = FileInStr(p, T, c, Mode)) != 0) {
    ++count;
    p += static_cast<int>(c.size());
  }
  return count;
}
