// String operations on file names and pattern tokens with the toolkit's own comparison modes:
// 0 compares code units exactly; any other value is text mode, in which only the ASCII letters
// A-Z equal a-z (full-width letters, kana and everything else keep their identity). A letter here
// always stands alone: chart text holds each Shift-JIS pair as one character, and a stored name
// holds both bytes of a pair as escape units (platform::DecodeNativeName), so no fold, here or in
// the matcher's kernels, can take a pair's second byte for a letter. Positions count from 1.
#pragma once

#include <string>

class clsFileString {
 public:
  // -1, 0 or 1 as st1 sorts before, equal to or after st2.
  int FileStrComp(const std::u16string& st1, const std::u16string& st2, int Mode) const;
  // First position at or after Start where st2 occurs in st1, 0 when none; Start itself when st2 is
  // empty. Throws std::invalid_argument for Start < 1 with a non-empty st2.
  int FileInStr(int Start, const std::u16string& st1, const std::u16string& st2, int Mode) const;
  // Searching backwards from Start: the position of the last character of the right-most occurrence
  // of st2 that begins at or before Start, 0 when none; Start itself when st2 is empty.
  int FileInStrR(int Start, const std::u16string& st1, const std::u16string& st2, int Mode) const;
  // Number of non-overlapping occurrences of c in T, scanning from the left; 0 for an empty c.
  int GetSQNumText(const std::u16string& T, const std::u16string& c, int Mode) const;

  // Text-mode character equality, for callers that compare character by character.
  static bool CharEqualText(char16_t a, char16_t b) {
    return a == b || (FoldAscii(a) == FoldAscii(b));
  }
  static char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

 private:
  static bool EqualAt(const std::u16string& st1, std::size_t at, const std::u16string& st2, int Mode);
};
