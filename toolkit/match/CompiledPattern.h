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

#include "toolkit/match/Kernels.h"

class CompiledPattern {
 public:
  enum class Kind : std::uint8_t { Empty, Star, Any, Literal };
  static Kind KindOf(const std::u16string& token);

  // Builds the tables of a search token list.
  void Compile(const std::vector<std::u16string>& tokens);
  // Matches nothing until the next Compile.
  void Clear();
  // The steps that build a new name from a pairing: per search position, the replace token linked
  // to it; a wildcard takes what that position captured, a literal is written as it is.
  void UsePairing(const std::vector<std::u16string>& pairing);

  // Comparison of literals: true ASCII letters without case. Only the blocks change.
  void SetText(bool text) {
    text_ = text;
    head_ = head_blocks_[text];
    tail_ = tail_blocks_[text];
    middle_lanes_ = middle_blocks_[text];
  }

  // Inline, and for the most common rules decided there: a name of eight characters or more is
  // compared at each end by one block of eight, in either comparison mode alike. On names spread
  // over the heap, waiting for the name's memory is most of a call, and the instructions of a call
  // bound how many names the processor can wait for at once: the path is kept short.
  bool Matches(const std::u16string& name) const {
    const std::size_t len = name.size();
    const char16_t* s = name.data();
    if (len < block_min_) return len >= min_length_ && Settle(s, len);
    namespace kernels = matchKernels::active;
    const Route route = route_;
    // The most common rules first ("*.wav", then "#WAV?? *.wav"), each by one test: cheaper than
    // the jump through a table that the others take.
    if (route == Route::Tail) return kernels::BlockFits(s + len - 8, tail_);
    // The head rejects most names a rule does not take (a first character rarely fits), so nothing
    // more of them is read.
    if (route == Route::HeadTail) return kernels::BlockFits(s, head_) && kernels::BlockFits(s + len - 8, tail_);
    switch (route) {
      case Route::Middles:
        return Middles(s, len);
      case Route::HeadMiddles:
        return kernels::BlockFits(s, head_) && Middles(s, len);
      case Route::Head:
        return kernels::BlockFits(s, head_);
      case Route::HeadRest:
        if (!kernels::BlockFits(s, head_)) return false;
        break;
      default:
        break;
    }
    return Rest(s, len);
  }
  // On a match, name becomes the rewritten name and the result is true; otherwise it is left.
  bool MatchAndRewrite(std::u16string& name) { return Matches(name) && Rewrite(name); }

 private:
  // One literal piece of a segment, compared at a fixed offset from the segment's place.
  struct LitCheck {
    std::uint32_t segOff;   // offset inside the segment
    std::uint32_t poolOff;  // offset of its text in pool_ / fold_pool_
    std::uint32_t len;
  };
  // The first character of a segment's first literal, off characters into the segment: exact is
  // the pattern's character; in text mode a character x equals it when (x | fold) == lower.
  struct Lead {
    std::size_t off;
    char16_t exact, lower, fold;
  };
  struct Segment {
    std::size_t length;  // characters the segment covers
    std::uint32_t firstCheck, checkCount;
    Lead lead;
  };
  // Where the text a token covered lies, relative to the place of its segment. A "*" covers the gap
  // between the end of segment `seg` and the place of the next segment.
  struct TokenSpan {
    std::uint32_t seg;
    std::uint32_t off;
    std::uint32_t len;
    bool star;
  };
  // One step of building a replaced name: a literal of the replace pattern (its text in out_pool_
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
  // Places in the name [start, stop) of a character (c, fold as the kernels take it), as bits;
  // empty when stop is 0.
  struct LeadMask {
    char16_t c, fold;
    std::size_t start, stop;
    std::uint64_t mask;
  };

  // What Matches does with a name of at least block_min_ characters: the blocks alone decide
  // (Tail, Head, HeadTail), or the blocks and a count of the one middle character (Middles), or
  // the blocks only sift before the full match (Rest). The head block, when there is one, is
  // tried inline on every route: a name it rejects costs no call.
  enum class Route : std::uint8_t { Tail, Head, HeadTail, Middles, HeadMiddles, Rest, HeadRest };

  // The blocks of the first (head) or the last segment, exact and in text mode: its first eight
  // characters, or its last eight aligned to the end of the name. False when no literal falls in
  // them.
  bool MakeBlocks(const Segment& seg, bool head, matchKernels::Block (&blocks)[2]) const;
  // The rest of Route::Middles and Route::Rest, after the head block.
  bool Middles(const char16_t* s, std::size_t len) const;
  bool Rest(const char16_t* s, std::size_t len) const;
  // The whole match of a name of at least min_length_ characters.
  bool Settle(const char16_t* s, std::size_t len) const;
  bool Rewrite(std::u16string& name);
  // Places the segments of a name of at least min_length_ characters; with Places their places
  // go to place[].
  template <bool Text, bool Places>
  bool Place(const char16_t* s, std::size_t len, std::size_t* place) const;
  template <bool Text, bool Places>
  bool PlaceMiddles(const char16_t* s, std::size_t len, std::size_t* place) const;
  template <bool Text>
  bool Fits(const Segment& seg, const char16_t* at) const;
  // Left-most place in [from, from + slack] where the segment fits; kNotFound when none.
  template <bool Text>
  std::size_t Find(const Segment& seg, const char16_t* name, std::size_t len, std::size_t from, std::size_t slack,
                   LeadMask& cache) const;
  void CaptureOf(const TokenSpan& span, std::size_t& begin, std::size_t& len) const {
    if (span.star) {
      begin = seg_pos_[span.seg] + segments_[span.seg].length;
      len = seg_pos_[span.seg + 1] - begin;
    } else {
      begin = seg_pos_[span.seg] + span.off;
      len = span.len;
    }
  }

  // Read by every match, so kept together at the front.
  // Names of this many characters or more go by the route; beyond every length when the pattern is
  // one segment or none is compiled.
  std::size_t block_min_ = static_cast<std::size_t>(-1);
  // The shortest name that can match; beyond every length while nothing is compiled.
  std::size_t min_length_ = static_cast<std::size_t>(-1);
  Route route_ = Route::Rest;
  bool text_ = false;
  // The blocks of the comparison mode in use, and eight copies of the middle character.
  matchKernels::Block head_{}, tail_{}, middle_lanes_{};

  // Whether a block has a literal lane, and whether it covers its segment whole (eight characters
  // or fewer, or no literal at all).
  bool head_on_ = false, tail_on_ = false, head_whole_ = false, tail_whole_ = false;
  // More than two segments, and every one between the first and the last is the same one literal
  // character, the middle_.
  bool same_middles_ = false;
  Lead middle_{};
  std::size_t head_length_ = 0, tail_length_ = 0, middles_ = 0;
  // Exact, text mode.
  matchKernels::Block head_blocks_[2]{}, tail_blocks_[2]{}, middle_blocks_[2]{};
  std::vector<Segment> segments_;
  std::vector<LitCheck> checks_;
  std::u16string pool_, fold_pool_;
  std::vector<TokenSpan> spans_;
  std::vector<std::size_t> seg_pos_;  // place of each segment found by the last match (read only after a success)

  // The pairing in use.
  std::vector<OutStep> out_;
  bool patch_only_ = false;
  std::vector<Patch> patches_;
  std::u16string out_pool_;
  std::u16string out_buf_;
};
