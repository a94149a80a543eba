// Lossless text codecs: CP932 for charts, settings and rule files; UTF-8 (or escaped bytes) for
// native names on POSIX. Pure computation: no call to the system.
//
// Decoding never fails and never loses a byte: a byte or pair that would not come back unchanged is
// decoded into the escape unit U+DC00 + byte (a lone low surrogate that real text never holds), and
// the encoders turn every escape unit back into its byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace text {

inline constexpr char16_t kEscapeFirst = 0xDC00;
inline constexpr char16_t kEscapeLast = 0xDCFF;

inline bool IsEscapeUnit(char16_t c) { return c >= kEscapeFirst && c <= kEscapeLast; }

// The bytes that begin a Shift-JIS pair, and those that can end one (ASCII letters among them).
inline bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool IsCp932Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// CP932 (Windows Shift-JIS) bytes to text; the second form reuses `out`'s storage.
std::u16string DecodeCp932(std::string_view bytes);
void DecodeCp932(std::string_view bytes, std::u16string& out);
// Appends the CP932 bytes of `text` to `out`. Returns false when a character has no CP932 code; that
// character is written as "?" so the caller can choose another encoding instead.
bool EncodeCp932(std::u16string_view text, std::string& out);
// True when every character of `text` has a CP932 code (escape units always do).
bool CanEncodeCp932(std::u16string_view text);
// CP932 code of one character: 0x00-0xFF for a single byte, lead * 256 + trail for a pair, -1 when
// the character has none. Escape units give their byte.
int Cp932Code(char16_t c);

// UTF-8 bytes to text; bytes that are not well-formed UTF-8 become escape units.
std::u16string DecodeUtf8(std::string_view bytes);
// Appends the UTF-8 bytes of `text` to `out`. Returns false when `text` holds a lone surrogate that
// is not an escape unit; it is written as U+FFFD.
bool EncodeUtf8(std::u16string_view text, std::string& out);

// A stored name's bytes as text, read in one encoding as a whole: UTF-8 where the whole name is
// UTF-8; else ASCII stays and every other byte is an escape unit, both bytes of a Shift-JIS pair
// included, so that no comparison ignoring case can take the second byte of a pair for a letter.
// Lossless: ToUtf8 gives the bytes back.
std::u16string DecodeNativeName(std::string_view bytes);
// A path's bytes: each name between "/" read as DecodeNativeName reads it.
std::u16string DecodeNativePath(std::string_view bytes);

// Convenience forms that return the bytes (unencodable characters replaced as above).
std::string ToCp932(std::u16string_view text);
std::string ToUtf8(std::u16string_view text);

// Valid UTF-8 that holds at least one character beyond ASCII.
bool IsUtf8Text(std::string_view bytes);
// A UTF-8 byte-order mark, which a file may begin with.
inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// The lines of one of the programs' own files (settings, rules): UTF-8 after a byte-order mark, or
// when the bytes are valid UTF-8 holding more than ASCII; else CP932. CR LF, a lone CR and a lone LF
// each end a line, so a file edited on any system reads the same.
std::vector<std::u16string> DecodeTextLines(std::string_view bytes);
// Lines each ended by CR LF: CP932 when every character fits, else UTF-8 after a byte-order mark,
// so that nothing typed is ever turned into "?".
std::string EncodeTextLines(const std::vector<std::u16string>& lines);

// Stored names, or paths and messages holding them, as a person can read them. A name whose bytes
// are not UTF-8 but are Shift-JIS text as a whole (common after unpacking a Japanese archive) shows
// as that text; else each byte that is no text shows as a visible mark "\xNN". Path separators and
// text beyond ASCII part the names. Operations keep using the stored name itself.
std::u16string ReadableName(std::u16string_view name);

}  // namespace text
