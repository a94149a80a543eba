// The wildcard engine: one search pattern ("*" any run, "?" one character, everything else literal)
// and one replace pattern built from the pieces of a matched name.
//
// A search pattern is compiled once into a token list (positions 1..N, kept 0-based here: element
// i-1 is position i) and a segment table: the "*" tokens cut the tokens into fixed-length segments.
// A match places every segment in the name; what each token covered follows from those places, so a
// match keeps only one offset per segment and allocates nothing.
//
// In file-name mode the pattern covers the whole name; in substring mode (the initial mode) it is
// wrapped in "*" on both sides and matches at its left-most place in the name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/clsFileString.h"

class clsMatching {
 public:
  // Comparison of literal pieces: 0 exact, non-zero ASCII letters without case. Nothing is rebuilt.
  int CmpMode() const { return cmpMode_; }
  void SetCmpMode(int value) { cmpMode_ = value; }

  // Writing the mode recompiles the last search pattern when the mode differs from its build.
  bool FileNameMode() const { return fileNameMode_; }
  void SetFileNameMode(bool value);

  // The search pattern, compiled at once; the last replace pattern is then paired again. Reading
  // gives the normalised pattern (in substring mode with its wrapping "*"s).
  std::u16string MatchPattern() const { return normPattern_; }
  void SetMatchPattern(const std::u16string& text);
  // The user's pattern in its normalised form, without the wrapping "*"s of substring mode.
  std::u16string MatchPatternDisp() const { return dispPattern_; }
  // 0 when a search pattern is compiled, 1 when there is none.
  int CanMatching() const { return matchStatus_; }

  bool IsMatch(const std::u16string& FileName) { return Match(FileName); }
  // dec receives the token list (element i-1 = position i); the result is N.
  int GetMatchDec(std::vector<std::u16string>& dec) const;

  // The replace pattern, paired with the search tokens at once. Reading gives the normalised form.
  std::u16string ReplacePattern() const { return normReplace_; }
  void SetReplacePattern(const std::u16string& text);
  // The replace pattern as last given.
  std::u16string ReplacePatternDisp() const { return rawReplace_; }
  // 0 usable; bit 0: no search pattern or the pairing failed (3: the replacement has more wildcards);
  // bit 2: pairing from the start and from the end disagree on some wildcard.
  int CanReplace() const { return replaceStatus_ | matchStatus_; }
  // Only while CanReplace has bit 2: true builds names from the end-first pairing, false from the
  // start-first one.
  void SetReplacePatternReverse(bool value);
  // On a match, FileName becomes the rewritten name and the result is true; otherwise it is left.
  bool MatchAndReplaceFileName(std::u16string& FileName);
  // dec receives, per search position, the paired replace token: the end-first pairing when Reverse
  // is true, else the pairing in use. The result is N.
  int GetReplaceDec(std::vector<std::u16string>& dec, bool Reverse) const;

 private:
  enum class Kind : std::uint8_t { Empty, Star, Any, Literal };

  // One literal piece of a segment, compared at a fixed offset from the segment's place.
  struct LitCheck {
    std::uint32_t segOff;   // offset inside the segment
    std::uint32_t poolOff;  // offset of its text in pool_ / foldPool_
    std::uint32_t len;
  };
  // One character a name must hold at a fixed place. exact is the pattern's character; in text
  // mode lower and upper are the two characters that equal it, and a character c equals it when
  // (c | fold) == lower (fold is 0x20 for a letter, else 0).
  struct Probe {
    bool on;
    std::size_t off;
    char16_t exact, lower, upper, fold;
  };
  struct Segment {
    std::size_t length;  // characters the segment covers
    std::uint32_t firstCheck, checkCount;
    Probe lead;  // the first character of its first literal, `lead.off` into the segment
  };
  // The first or the last segment, when it holds a literal and covers at most eight characters,
  // compared as one block of eight: a name character c in lane i passes when (c & care[i]) equals
  // exact[i], in text mode when ((c | fold[i]) & care[i]) equals lower[i] (fold is 0x20 in the
  // lanes of letters). The head block starts where the name starts; the tail block ends where
  // it ends. Lanes outside the segment and under a "?" care about nothing.
  struct Block {
    bool on;
    char16_t care[8], exact[8], lower[8], fold[8];
  };
  // Where the text a token covered lies, relative to the place of its segment. A "*" covers the gap
  // between the end of segment `seg` and the place of the next segment.
  struct TokenSpan {
    std::uint32_t seg;
    std::uint32_t off;
    std::uint32_t len;
    bool star;
  };
  // One step of building a replaced name: a literal of the replace pattern (its text in outPool_
  // from off) or the piece a search token captured (where its span says).
  struct OutStep {
    bool literal;
    std::uint32_t off, len;
    TokenSpan span;
  };

  static Kind KindOf(const std::u16string& token);
  static std::vector<std::u16string> BuildTokens(const std::u16string& text, bool search, bool substring);
  void Compile();
  Block MakeBlock(const Segment& seg, std::size_t lane) const;
  // Inline so that the many names that fail the length or a probe cost no call.
  bool Match(const std::u16string& name) {
    const std::size_t len = name.size();
    if (matchStatus_ != 0 || len < minLength_) return false;
    const char16_t* s = name.data();
    if (cmpMode_ != 0) return Passes<true>(s, len) && MatchIn<true>(s, len);
    return Passes<false>(s, len) && MatchIn<false>(s, len);
  }
  // Whether a probe is on is the same for every name; only the outcome of the two tests varies,
  // so they are joined without a branch.
  template <bool Text>
  bool Passes(const char16_t* s, std::size_t len) const {
    bool ok = true;
    if (tailProbe_.on) ok &= Holds<Text>(s[len - tailProbe_.off], tailProbe_);
    if (headProbe_.on) ok &= Holds<Text>(s[headProbe_.off], headProbe_);
    return ok;
  }
  template <bool Text>
  bool MatchIn(const char16_t* s, std::size_t len);
  template <bool Text>
#if defined(__GNUC__)
  __attribute__((noinline))
#endif
  bool PlaceMiddles(const char16_t* s, std::size_t len, std::size_t pos, std::size_t slack);
  template <bool Text>
  bool Fits(const Segment& seg, const char16_t* at) const;
  template <bool Text>
  bool EndFits(const Block& b, const Segment& seg, const char16_t* s, std::size_t len, std::size_t place,
               bool tail) const;
  // Places in the name [start, stop) of the character pair (a, b), as bits; empty when stop is 0.
  struct LeadMask {
    char16_t a, b;
    std::size_t start, stop;
    std::uint64_t mask;
  };
  // Left-most place in [from, from + slack] where the segment fits; npos when none.
  template <bool Text>
  std::size_t Find(const Segment& seg, const char16_t* name, std::size_t len, std::size_t from, std::size_t slack,
                   LeadMask& cache) const;
  static Probe MakeProbe(std::size_t off, char16_t c);
  // 0x20 for a lower-case letter (the bit that joins it with its capital), else 0.
  static char16_t FoldBit(char16_t lower) { return (lower >= u'a' && lower <= u'z') ? 0x20 : 0; }
  template <bool Text>
  static bool Holds(char16_t c, const Probe& p) {
    return Text ? char16_t(c | p.fold) == p.lower : c == p.exact;
  }
  void CaptureOf(const TokenSpan& span, std::size_t& begin, std::size_t& len) const {
    if (span.star) {
      begin = segPos_[span.seg] + segments_[span.seg].length;
      len = segPos_[span.seg + 1] - begin;
    } else {
      begin = segPos_[span.seg] + span.off;
      len = span.len;
    }
  }

  int Pair(const std::vector<std::u16string>& P, const std::vector<std::u16string>& Q,
           std::vector<std::u16string>& pairing) const;
  void UsePairing(const std::vector<std::u16string>& pairing);

  int cmpMode_ = 0;
  bool fileNameMode_ = false;
  bool builtMode_ = false;
  int matchStatus_ = 1;
  int replaceStatus_ = 1;
  std::u16string normPattern_, rawPattern_, dispPattern_;
  std::vector<std::u16string> tokens_, reversedTokens_;
  std::size_t n_ = 0;  // token count; 0 while no pattern is compiled
  std::size_t minLength_ = 0;

  std::u16string normReplace_, rawReplace_;
  std::vector<std::u16string> startFirst_, endFirst_, inUse_;

  // Compiled search side.
  std::vector<Segment> segments_;
  std::vector<LitCheck> checks_;
  std::u16string pool_, foldPool_;
  // The last character of the last segment (off counted back from the end of the name) and the
  // first literal character of the first segment: tested first, they reject most names at once.
  Probe tailProbe_{}, headProbe_{};
  Block headBlock_{}, tailBlock_{};
  // More than two segments, and every one between the first and the last is the same one literal
  // character.
  bool sameMiddles_ = false;
  std::vector<TokenSpan> spans_;
  std::vector<std::size_t> segPos_;  // place of each segment found by the last match (read only after a success)

  // Compiled pairing in use.
  std::vector<OutStep> out_;
  // When every piece of the new name has the length of the search token it stands for (a rule
  // such as "#WAV?? *.wav" to "#WAV?? *.ogg"), the captures stay where they are and only the
  // replace pattern's literals are written over the name, each where its search token lay.
  struct Patch {
    TokenSpan span;
    std::uint32_t poolOff;
  };
  bool patchOnly_ = false;
  std::vector<Patch> patches_;
  std::u16string outPool_;
  std::u16string outBuf_;

  clsFileString fs_;
};
