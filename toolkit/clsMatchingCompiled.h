// The compiled form of a search pattern, and of the rewriting that a replace pattern paired with
// it asks for.
//
// The "*" tokens cut the token list into fixed-length segments. A match places every segment in
// the name: the first at the start, the last at the end, each middle one at its left-most place
// after the one before, so every middle "*" takes the shortest text and the last "*" the rest.
// What each token covered follows from those places: a match keeps one offset per segment and
// allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "matchKernels.h"

class clsMatchingCompiled {
 public:
  enum class Kind : std::uint8_t { Empty, Star, Any, Literal };
  static Kind KindOf(const std::u16string& token);

  // Builds the tables of a search token list (element i-1 is position i).
  void Compile(const std::vector<std::u16string>& tokens);
  // Matches nothing until the next Compile.
  void Clear();
  // The steps that build a new name from a pairing: per search position, the replace token linked
  // to it; a wildcard takes what that position captured, a literal is written as it is.
  void UsePairing(const std::vector<std::u16string>& pairing);

  // text: ASCII letters compare without case. Inline so that the many names that fail the length
  // or a probe cost no call.
  bool Matches(const std::u16string& name, bool text) {
    const std::size_t len = name.size();
    if (len < minLength_) return false;
    const char16_t* s = name.data();
    if (text) return Passes<true>(s, len) && MatchIn<true>(s, len);
    return Passes<false>(s, len) && MatchIn<false>(s, len);
  }
  // On a match, name becomes the rewritten name and the result is true; otherwise it is left.
  bool MatchAndRewrite(std::u16string& name, bool text);

 private:
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
  // compared as one block: the head block starts where the name starts, the tail block ends where
  // it ends.
  struct EndBlock {
    bool on;
    matchKernels::Block lanes;
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
  // When every piece of the new name has the length of the search token it stands for (a rule
  // such as "#WAV?? *.wav" to "#WAV?? *.ogg"), the captures stay where they are and only the
  // replace pattern's literals are written over the name, each where its search token lay.
  struct Patch {
    TokenSpan span;
    std::uint32_t poolOff;
  };
  // Places in the name [start, stop) of the character pair (a, b), as bits; empty when stop is 0.
  struct LeadMask {
    char16_t a, b;
    std::size_t start, stop;
    std::uint64_t mask;
  };

  EndBlock MakeBlock(const Segment& seg, std::size_t lane) const;
  static Probe MakeProbe(std::size_t off, char16_t c);
  // 0x20 for a lower-case letter (the bit that joins it with its capital), else 0.
  static char16_t FoldBit(char16_t lower) { return (lower >= u'a' && lower <= u'z') ? 0x20 : 0; }
  template <bool Text>
  static bool Holds(char16_t c, const Probe& p) {
    return Text ? char16_t(c | p.fold) == p.lower : c == p.exact;
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
  bool EndFits(const EndBlock& b, const Segment& seg, const char16_t* s, std::size_t len, std::size_t place,
               bool tail) const;
  // Left-most place in [from, from + slack] where the segment fits; kNotFound when none.
  template <bool Text>
  std::size_t Find(const Segment& seg, const char16_t* name, std::size_t len, std::size_t from, std::size_t slack,
                   LeadMask& cache) const;
  void CaptureOf(const TokenSpan& span, std::size_t& begin, std::size_t& len) const {
    if (span.star) {
      begin = segPos_[span.seg] + segments_[span.seg].length;
      len = segPos_[span.seg + 1] - begin;
    } else {
      begin = segPos_[span.seg] + span.off;
      len = span.len;
    }
  }

  // The shortest name that can match; beyond every length while nothing is compiled.
  std::size_t minLength_ = static_cast<std::size_t>(-1);
  // The last character of the last segment (off counted back from the end of the name) and the
  // first literal character of the first segment: tested first, they reject most names at once.
  Probe tailProbe_{}, headProbe_{};
  EndBlock headBlock_{}, tailBlock_{};
  // More than two segments, and every one between the first and the last is the same one literal
  // character.
  bool sameMiddles_ = false;
  std::vector<Segment> segments_;
  std::vector<LitCheck> checks_;
  std::u16string pool_, foldPool_;
  std::vector<TokenSpan> spans_;
  std::vector<std::size_t> segPos_;  // place of each segment found by the last match (read only after a success)

  // The pairing in use.
  std::vector<OutStep> out_;
  bool patchOnly_ = false;
  std::vector<Patch> patches_;
  std::u16string outPool_;
  std::u16string outBuf_;
};
