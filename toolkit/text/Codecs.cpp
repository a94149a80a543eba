#include "toolkit/text/Codecs.h"

#include <algorithm>
#include <array>
#include <memory>
#include <cstdint>
#include <cstring>

namespace text {
namespace {

#include "toolkit/text/cp932_table.inc"

constexpr char16_t kNone = 0xFFFF;

inline int LeadIndex(unsigned b) { return b <= 0x9F ? int(b - 0x81) : int(b - 0xE0 + 0x1F); }
inline unsigned LeadOf(int index) { return index < 0x1F ? unsigned(0x81 + index) : unsigned(0xE0 + index - 0x1F); }

// Reverse of the decode tables: character -> CP932 code, 0xFFFF when none.
const std::array<std::uint16_t, 0x10000>& EncodeTable() {
  static const auto table = [] {
    auto t = std::make_unique<std::array<std::uint16_t, 0x10000>>();
    t->fill(0xFFFF);
    for (unsigned b = 0; b < 256; ++b) {
      if (kCp932Single[b] != kNone) (*t)[kCp932Single[b]] = std::uint16_t(b);
    }
    for (int lead = 0; lead < kCp932LeadCount; ++lead) {
      for (int trail = 0; trail < kCp932TrailCount; ++trail) {
        const char16_t c = kCp932Double[lead * kCp932TrailCount + trail];
        if (c != kNone) (*t)[c] = std::uint16_t(LeadOf(lead) << 8 | unsigned(kCp932TrailFirst + trail));
      }
    }
    return t;
  }();
  return *table;
}

inline char16_t Escape(unsigned char b) { return char16_t(kEscapeFirst + b); }

}  // namespace

std::u16string DecodeCp932(std::string_view bytes) {
  std::u16string out;
  DecodeCp932(bytes, out);
  return out;
}

void DecodeCp932(std::string_view bytes, std::u16string& out) {
  // Never more characters than bytes: write through a pointer, then cut to what was written.
  const std::size_t n = bytes.size();
  out.resize(n);
  char16_t* w = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < n;) {
    // Runs of ASCII, the bulk of every chart, eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t eight;
      std::memcpy(&eight, p + i, 8);
      if (eight & 0x8080808080808080ULL) break;
      for (int k = 0; k < 8; ++k) w[k] = char16_t(p[i + k]);
      w += 8;
      i += 8;
    }
    if (i >= n) break;
    const unsigned b = p[i];
    if (b < 0x80) {
      *w++ = char16_t(b);
      ++i;
    } else if (IsCp932Lead(static_cast<unsigned char>(b))) {
      const unsigned char trail = i + 1 < n ? p[i + 1] : 0;
      if (IsCp932Trail(trail)) {
        // A pair in form: one character when it comes back unchanged, else two escapes, so that a
        // trail byte such as "\" or a letter is never read as a character of its own.
        const char16_t c = kCp932Double[LeadIndex(b) * kCp932TrailCount + int(trail - kCp932TrailFirst)];
        if (c != kNone) {
          *w++ = c;
        } else {
          *w++ = Escape(static_cast<unsigned char>(b));
          *w++ = Escape(trail);
        }
        i += 2;
      } else {
        *w++ = Escape(static_cast<unsigned char>(b));
        ++i;
      }
    } else {
      const char16_t c = kCp932Single[b];
      *w++ = c != kNone ? c : Escape(static_cast<unsigned char>(b));
      ++i;
    }
  }
  out.resize(static_cast<std::size_t>(w - out.data()));
}

int Cp932Code(char16_t c) {
  if (c < 0x80) return c;
  if (IsEscapeUnit(c)) return c - kEscapeFirst;
  const std::uint16_t code = EncodeTable()[c];
  return code == 0xFFFF ? -1 : code;
}

bool EncodeCp932(std::u16string_view text, std::string& out) {
  // At most two bytes a character: each block is written through a pointer, then cut to what was
  // written, so that a huge text never makes the output reserve twice its size.
  constexpr std::size_t kBlock = 1 << 16;
  bool ok = true;
  const auto& table = EncodeTable();
  for (std::size_t from = 0; from < text.size(); from += kBlock) {
    const std::u16string_view block = text.substr(from, kBlock);
    const std::size_t start = out.size();
    out.resize(start + block.size() * 2);
    char* w = out.data() + start;
    for (const char16_t c : block) {
      if (c < 0x80) {
        *w++ = char(c);
      } else if (IsEscapeUnit(c)) {
        *w++ = char(c - kEscapeFirst);
      } else {
        const std::uint16_t code = table[c];
        if (code == 0xFFFF) {
          *w++ = '?';
          ok = false;
        } else if (code > 0xFF) {
          *w++ = char(code >> 8);
          *w++ = char(code & 0xFF);
        } else {
          *w++ = char(code);
        }
      }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
  }
  return ok;
}

bool CanEncodeCp932(std::u16string_view text) {
  for (const char16_t c : text) {
    if (Cp932Code(c) < 0) return false;
  }
  return true;
}

std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  auto cont = [&](std::size_t k) { return k < n && (static_cast<unsigned char>(bytes[k]) & 0xC0) == 0x80; };
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.push_back(char16_t(b));
      ++i;
      continue;
    }
    std::uint32_t cp = 0;
    std::size_t len = 0;
    if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
      cp = (b & 0x1Fu) << 6 | (static_cast<unsigned char>(bytes[i + 1]) & 0x3Fu);
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF && cont(i + 1) && cont(i + 2)) {
      cp = (b & 0x0Fu) << 12 | (static_cast<unsigned char>(bytes[i + 1]) & 0x3Fu) << 6 |
           (static_cast<unsigned char>(bytes[i + 2]) & 0x3Fu);
      // Overlong forms and encoded surrogates are not UTF-8.
      if (cp >= 0x800 && !(cp >= 0xD800 && cp <= 0xDFFF)) len = 3;
    } else if (b >= 0xF0 && b <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      cp = (b & 0x07u) << 18 | (static_cast<unsigned char>(bytes[i + 1]) & 0x3Fu) << 12 |
           (static_cast<unsigned char>(bytes[i + 2]) & 0x3Fu) << 6 |
           (static_cast<unsigned char>(bytes[i + 3]) & 0x3Fu);
      if (cp >= 0x10000 && cp <= 0x10FFFF) len = 4;
    }
    if (len == 0) {
      out.push_back(Escape(b));
      ++i;
    } else if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
      i += len;
    } else {
      out.push_back(char16_t(cp));
      i += len;
    }
  }
  return out;
}

bool EncodeUtf8(std::u16string_view text, std::string& out) {
  bool ok = true;
  const std::size_t n = text.size();
  std::size_t ascii = 0;
  while (ascii < n && text[ascii] < 0x80) ++ascii;
  const std::size_t start = out.size();
  out.resize(start + ascii);
  for (std::size_t i = 0; i < ascii; ++i) out[start + i] = char(text[i]);
  for (std::size_t i = ascii; i < n; ++i) {
    std::uint32_t cp = text[i];
    if (cp < 0x80) {
      out.push_back(char(cp));
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsEscapeUnit(char16_t(cp))) {
      out.push_back(char(cp - kEscapeFirst));
      continue;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
      ok = false;
    }
    if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
  return ok;
}

std::u16string DecodeNativeName(std::string_view bytes) {
  std::u16string text = DecodeUtf8(bytes);
  bool utf8 = true;
  for (const char16_t c : text) utf8 = utf8 && !IsEscapeUnit(c);
  if (utf8) return text;
  text.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (p[i] < 0x80) {
      text.push_back(char16_t(p[i]));
      continue;
    }
    text.push_back(Escape(p[i]));
    if (IsCp932Lead(p[i]) && i + 1 < bytes.size() && IsCp932Trail(p[i + 1])) text.push_back(Escape(p[++i]));
  }
  return text;
}

std::u16string DecodeNativePath(std::string_view bytes) {
  std::u16string path;
  for (std::size_t i = 0; i <= bytes.size();) {
    const std::size_t slash = std::min(bytes.find('/', i), bytes.size());
    path += DecodeNativeName(bytes.substr(i, slash - i));
    if (slash < bytes.size()) path.push_back(u'/');
    i = slash + 1;
  }
  return path;
}

std::string ToCp932(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  EncodeCp932(text, out);
  return out;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  EncodeUtf8(text, out);
  return out;
}

bool IsUtf8Text(std::string_view bytes) {
  // Checked in place, without decoding: a chart of megabytes is mostly ASCII, eight bytes at a time.
  // Accepts exactly what DecodeUtf8 decodes without an escape.
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  auto cont = [&](std::size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) { return k < n && p[k] >= lo && p[k] <= hi; };
  bool beyond_ascii = false;
  for (std::size_t i = 0; i < n;) {
    while (i + 8 <= n) {
      std::uint64_t eight;
      std::memcpy(&eight, p + i, 8);
      if (eight & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i >= n) break;
    const unsigned b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    beyond_ascii = true;
    std::size_t len = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      len = cont(i + 1) ? 2 : 0;
    } else if (b >= 0xE0 && b <= 0xEF) {
      // No overlong forms (E0 80-9F) and no encoded surrogates (ED A0-BF).
      const unsigned lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
      len = cont(i + 1, lo, hi) && cont(i + 2) ? 3 : 0;
    } else if (b >= 0xF0 && b <= 0xF4) {
      const unsigned lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
      len = cont(i + 1, lo, hi) && cont(i + 2) && cont(i + 3) ? 4 : 0;
    }
    if (len == 0) return false;
    i += len;
  }
  return beyond_ascii;
}

std::vector<std::u16string> DecodeTextLines(std::string_view bytes) {
  bool utf8 = bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark;
  if (utf8) {
    bytes.remove_prefix(kUtf8Mark.size());
  } else {
    utf8 = IsUtf8Text(bytes);
  }
  std::vector<std::u16string> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    const std::string_view line = bytes.substr(pos, end - pos);
    lines.push_back(utf8 ? DecodeUtf8(line) : DecodeCp932(line));
    pos = end;
    if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
    if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
  }
  return lines;
}

std::string EncodeTextLines(const std::vector<std::u16string>& lines) {
  bool fits = true;
  for (const auto& line : lines) fits = fits && CanEncodeCp932(line);
  std::string out;
  if (fits) {
    for (const auto& line : lines) {
      EncodeCp932(line, out);
      out.append("\r\n", 2);
    }
    // Shift-JIS bytes that also read as UTF-8 (half-width kana in pairs can) would be read back as
    // UTF-8: such a file is written in UTF-8 with its mark instead, so that it reads back the same.
    if (!IsUtf8Text(out)) return out;
    out.clear();
  }
  out = "\xEF\xBB\xBF";
  for (const auto& line : lines) {
    EncodeUtf8(line, out);
    out.append("\r\n", 2);
  }
  return out;
}

namespace {

// A name read as one: Shift-JIS text when its bytes are that as a whole, else marks for the odd
// bytes. It holds escape units and ASCII only, so its UTF-8 form is the stored bytes.
std::u16string ReadableRun(std::u16string_view run) {
  bool escaped = false;
  for (const char16_t c : run) escaped = escaped || IsEscapeUnit(c);
  if (!escaped) return std::u16string(run);
  std::string bytes;
  EncodeUtf8(run, bytes);
  std::u16string sjis = DecodeCp932(bytes);
  bool clean = true;
  for (const char16_t c : sjis) clean = clean && !IsEscapeUnit(c);
  if (clean) return sjis;
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  for (const char16_t c : run) {
    if (!IsEscapeUnit(c)) {
      out.push_back(c);
      continue;
    }
    const unsigned b = c - kEscapeFirst;
    out += u"\\x";
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
  }
  return out;
}

// What a name not stored in UTF-8 is made of: escaped bytes and printable ASCII. A path separator,
// a line break or text beyond ASCII (a UTF-8 name, a message's own words) ends it.
bool InEscapedName(char16_t c) { return IsEscapeUnit(c) || (c >= 0x20 && c < 0x7F && c != u'/' && c != u'\\'); }

}  // namespace

std::u16string ReadableName(std::u16string_view name) {
  std::u16string out;
  out.reserve(name.size());
  std::size_t i = 0;
  while (i < name.size()) {
    std::size_t j = i;
    while (j < name.size() && InEscapedName(name[j])) ++j;
    out += ReadableRun(name.substr(i, j - i));
    for (; j < name.size() && !InEscapedName(name[j]); ++j) out.push_back(name[j]);
    i = j;
  }
  return out;
}

}  // namespace text
