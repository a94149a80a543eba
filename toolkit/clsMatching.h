// The wildcard engine: one search pattern ("*" any run, "?" one character, everything else literal)
// and one replace pattern built from the pieces of a matched name.
//
// A search pattern is compiled once into a token list (positions 1..N, kept 0-based here: element
// i-1 is position i) and the matcher of clsMatchingCompiled, which also holds the rewriting that
// the pairing of a replace pattern asks for.
//
// In file-name mode the pattern covers the whole name; in substring mode (the initial mode) it is
// wrapped in "*" on both sides and matches at its left-most place in the name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "toolkit/clsMatchingCompiled.h"
#include "toolkit/text/clsFileString.h"

class clsMatching {
 public:
  // Comparison of literal pieces: 0 exact, non-zero ASCII letters without case. Nothing is rebuilt.
  int CmpMode() const { return cmpMode_; }
  void SetCmpMode(int value) {
    cmpMode_ = value;
    compiled_.SetText(value != 0);
  }

  // Writing the mode recompiles the last search pattern when the mode differs from its build.
  bool FileNameMode() const { return fileNameMode_; }
  void SetFileNameMode(bool value);

  // The search pattern, compiled at once; the last replace pattern is then paired again. Reading
  // gives the normalised pattern (in substring mode with its wrapping "*"s).
  std::u16string MatchPattern() const { return normPattern_; }
  void SetMatchPattern(const std::u16string& text);
  // 0 when a search pattern is compiled, 1 when there is none.
  int CanMatching() const { return matchStatus_; }

  bool IsMatch(const std::u16string& FileName) { return compiled_.Matches(FileName); }
  // dec receives the token list (element i-1 = position i); the result is N.
  int GetMatchDec(std::vector<std::u16string>& dec) const;

  // The replace pattern, paired with the search tokens at once.
  void SetReplacePattern(const std::u16string& text);
  // 0 usable; bit 0: no search pattern or the pairing failed (3: the replacement has more wildcards);
  // bit 2: pairing from the start and from the end disagree on some wildcard.
  int CanReplace() const { return replaceStatus_ | matchStatus_; }
  // Only while CanReplace has bit 2: true builds names from the end-first pairing, false from the
  // start-first one.
  void SetReplacePatternReverse(bool value);
  // On a match, FileName becomes the rewritten name and the result is true; otherwise it is left.
  // Inline like IsMatch, so that a name the rule does not take costs no call.
  bool MatchAndReplaceFileName(std::u16string& FileName) {
    return (CanReplace() & 1) == 0 && compiled_.MatchAndRewrite(FileName);
  }
  // dec receives, per search position, the paired replace token: the end-first pairing when Reverse
  // is true, else the pairing in use. The result is N.
  int GetReplaceDec(std::vector<std::u16string>& dec, bool Reverse) const;

 private:
  static std::vector<std::u16string> BuildTokens(const std::u16string& text, bool search, bool substring);
  int Pair(const std::vector<std::u16string>& P, const std::vector<std::u16string>& Q,
           std::vector<std::u16string>& pairing) const;
  void UsePairing(const std::vector<std::u16string>& pairing);

  // Kept by value at the front: a match reads it and nothing else of the object.
  clsMatchingCompiled compiled_;
  int cmpMode_ = 0;
  bool fileNameMode_ = false;
  bool builtMode_ = false;
  int matchStatus_ = 1;
  int replaceStatus_ = 1;
  std::u16string normPattern_, rawPattern_;
  std::vector<std::u16string> tokens_, reversedTokens_;
  std::size_t n_ = 0;  // token count; 0 while no pattern is compiled

  std::u16string rawReplace_;
  std::vector<std::u16string> startFirst_, endFirst_, inUse_;

  clsFileString fs_;
};
