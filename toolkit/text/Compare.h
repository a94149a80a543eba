// String operations on file names and pattern tokens in one of two comparison modes: binary compares
// code units exactly; text mode lets only the ASCII letters A-Z equal a-z (full-width letters, kana
// and everything else keep their identity). A letter here always stands alone: chart text holds
// each Shift-JIS pair as one character, and a stored name holds both bytes of a pair as escape units
// (text::DecodeNativeName), so no fold, here or in the matcher's kernels, can take a pair's
// second byte for a letter. Positions count from 0; std::u16string_view::npos stands for none.
#pragma once

#include <cstddef>
#include <string_view>

namespace text {

enum class CaseMode { Binary, Text };

inline constexpr char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

// Character equality, for callers that compare character by character.
inline bool EqualChars(char16_t a, char16_t b, CaseMode mode) {
  return a == b || (mode == CaseMode::Text && FoldAscii(a) == FoldAscii(b));
}

// -1, 0 or 1 as a sorts before, equal to or after b. In text mode characters sort by their ANSI
// code page codes, double-byte codes first.
int Compare(std::u16string_view a, std::u16string_view b, CaseMode mode);
inline bool Equal(std::u16string_view a, std::u16string_view b, CaseMode mode) { return Compare(a, b, mode) == 0; }

// The first place at or after `from` where `piece` occurs in `s`; `from` itself for an empty piece
// that fits, npos when none.
std::size_t Find(std::u16string_view s, std::u16string_view piece, CaseMode mode, std::size_t from = 0);
bool StartsWith(std::u16string_view s, std::u16string_view prefix, CaseMode mode);
// Occurrences of `piece` in `s` that do not overlap, taken from the left; 0 for an empty piece.
std::size_t CountOccurrences(std::u16string_view s, std::u16string_view piece, CaseMode mode);

}  // namespace text
