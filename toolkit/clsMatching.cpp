#include "toolkit/clsMatching.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

// The inner steps of a match are small and run for every name; keep them in the match loop.
#if defined(__GNUC__)
#define CT_INLINE inline __attribute__((always_inline))
#else
#define CT_INLINE inline
#endif

namespace {

const std::u16string kStar = u"*";
const std::u16string kAny = u"?";
const std::u16string kNothing;

bool IsWildcard(const std::u16string& t) { return t == kStar || t == kAny; }

bool OnlyWildcards(const std::u16string& text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c == u'*' || c == u'?'; });
}

std::u16string Join(const std::vector<std::u16string>& tokens) {
  std::u16string out;
  for (const auto& t : tokens) out += t;
  return out;
}

}  // namespace

clsMatching::Kind clsMatching::KindOf(const std::u16string& token) {
  if (token.empty()) return Kind::Empty;
  if (token == kStar) return Kind::Star;
  if (token == kAny) return Kind::Any;
  return Kind::Literal;
}

// Splits a pattern into tokens. Search patterns keep only the first "*" of a run of adjacent
// wildcards; in substring mode a "*" that only wildcards separate from an end of the pattern also
// moves to that end. Empty tokens stand at both ends and between two wildcards, except between two
// "*"s, which only a replace pattern keeps.
std::vector<std::u16string> clsMatching::BuildTokens(const std::u16string& text, bool search, bool substring) {
  struct Piece {
    std::u16string text;
    Kind kind;
    bool removed;
  };
  std::vector<Piece> pieces;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == u'*' || text[i] == u'?') {
      pieces.push_back({std::u16string(1, text[i]), text[i] == u'*' ? Kind::Star : Kind::Any, false});
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && text[j] != u'*' && text[j] != u'?') ++j;
    pieces.push_back({text.substr(i, j - i), Kind::Literal, false});
    i = j;
  }

  if (search) {
    bool haveStar = false;
    for (auto& piece : pieces) {
      if (piece.kind == Kind::Star) {
        if (haveStar) piece.removed = true;
        haveStar = true;
      } else if (piece.kind == Kind::Literal) {
        haveStar = false;
      }
    }
    if (substring && !pieces.empty()) {
      // "*?" and "?*" match the same names; keeping the "*" outermost lets an all-wildcard
      // pattern anchor at the start of the name.
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].removed || pieces[i].kind == Kind::Any) continue;
        if (pieces[i].kind == Kind::Star) std::swap(pieces[i], pieces.front());
        break;
      }
      for (std::size_t i = pieces.size(); i-- > 0;) {
        if (pieces[i].removed || pieces[i].kind == Kind::Any) continue;
        if (pieces[i].kind == Kind::Star) std::swap(pieces[i], pieces.back());
        break;
      }
    }
  }

  std::vector<std::u16string> tokens;
  tokens.reserve(pieces.size() * 2 + 2);
  tokens.emplace_back();
  Kind prev = Kind::Empty;
  for (auto& piece : pieces) {
    if (piece.removed) continue;
    if ((piece.kind == Kind::Star && prev == Kind::Any) ||
        (piece.kind == Kind::Any && (prev == Kind::Star || prev == Kind::Any))) {
      tokens.emplace_back();
    }
    tokens.push_back(std::move(piece.text));
    prev = piece.kind;
  }
  tokens.emplace_back();
  return tokens;
}

void clsMatching::SetFileNameMode(bool value) {
  fileNameMode_ = value;
  SetMatchPattern(std::u16string(rawPattern_));
}

void clsMatching::SetMatchPattern(const std::u16string& text) {
  if (text.empty()) {
    // The old tokens stay, but nothing reads them while the status is 1.
    rawPattern_.clear();
    matchStatus_ = 1;
    builtMode_ = fileNameMode_;
    n_ = 0;
    return;
  }
  if (text == rawPattern_ && fileNameMode_ == builtMode_) return;

  rawPattern_ = text;
  builtMode_ = fileNameMode_;
  tokens_ = fileNameMode_ ? BuildTokens(text, true, false) : BuildTokens(u"*" + text + u"*", true, true);
  n_ = tokens_.size();
  normPattern_ = Join(tokens_);

  dispPattern_ = normPattern_;
  if (!fileNameMode_ && dispPattern_ != u"**" && dispPattern_.size() > 1) {
    if (dispPattern_.front() == u'*' && rawPattern_.front() != u'*') dispPattern_.erase(0, 1);
    if (dispPattern_.back() == u'*' && rawPattern_.back() != u'*') dispPattern_.pop_back();
  }

  reversedTokens_.assign(tokens_.rbegin(), tokens_.rend());
  Compile();
  matchStatus_ = 0;
  SetReplacePattern(std::u16string(rawReplace_));
}

// Segment table, literal checks and the place of every token's capture inside its segment.
void clsMatching::Compile() {
  segments_.clear();
  checks_.clear();
  pool_.clear();
  foldPool_.clear();
  spans_.clear();
  spans_.reserve(tokens_.size());

  Segment seg{0, 0, 0, Probe{}};
  for (const auto& t : tokens_) {
    const auto segIndex = static_cast<std::uint32_t>(segments_.size());
    switch (KindOf(t)) {
      case Kind::Star:
        spans_.push_back({segIndex, 0, 0, true});
        segments_.push_back(seg);
        seg = Segment{0, static_cast<std::uint32_t>(checks_.size()), 0, Probe{}};
        break;
      case Kind::Any:
        spans_.push_back({segIndex, static_cast<std::uint32_t>(seg.length), 1, false});
        seg.length += 1;
        break;
      case Kind::Literal:
        spans_.push_back({segIndex, static_cast<std::uint32_t>(seg.length), static_cast<std::uint32_t>(t.size()), false});
        checks_.push_back({static_cast<std::uint32_t>(seg.length), static_cast<std::uint32_t>(pool_.size()),
                           static_cast<std::uint32_t>(t.size())});
        if (seg.checkCount++ == 0) seg.lead = MakeProbe(seg.length, t.front());
        pool_ += t;
        for (const char16_t c : t) foldPool_.push_back(clsFileString::FoldAscii(c));
        seg.length += t.size();
        break;
      case Kind::Empty:
        spans_.push_back({segIndex, static_cast<std::uint32_t>(seg.length), 0, false});
        break;
    }
  }
  segments_.push_back(seg);

  minLength_ = 0;
  for (const auto& s : segments_) minLength_ += s.length;
  segPos_.assign(segments_.size(), 0);

  tailProbe_ = Probe{};
  const Segment& last = segments_.back();
  if (segments_.size() > 1 && last.checkCount != 0) {
    const LitCheck& c = checks_[last.firstCheck + last.checkCount - 1];
    tailProbe_ = MakeProbe(last.length - c.segOff - c.len + 1, pool_[c.poolOff + c.len - 1]);
  }
  headProbe_ = segments_.front().lead;
  headBlock_ = MakeBlock(segments_.front(), 0);
  tailBlock_ = MakeBlock(last, 8 - std::min<std::size_t>(last.length, 8));
  sameMiddles_ = segments_.size() > 2 && std::all_of(segments_.begin() + 1, segments_.end() - 1, [&](const Segment& m) {
                   return m.length == 1 && m.checkCount != 0 && m.lead.exact == segments_[1].lead.exact;
                 });
}

clsMatching::Block clsMatching::MakeBlock(const Segment& seg, std::size_t lane) const {
  Block b{};
  if (seg.checkCount == 0 || seg.length > 8) return b;
  b.on = true;
  for (std::uint32_t k = seg.firstCheck; k < seg.firstCheck + seg.checkCount; ++k) {
    const LitCheck& c = checks_[k];
    for (std::uint32_t j = 0; j < c.len; ++j) {
      const std::size_t i = lane + c.segOff + j;
      b.care[i] = 0xFFFF;
      b.exact[i] = pool_[c.poolOff + j];
      b.lower[i] = foldPool_[c.poolOff + j];
      b.fold[i] = FoldBit(b.lower[i]);
    }
  }
  return b;
}

namespace {

#if defined(__SSE2__) || defined(_M_X64)
// Eight copies of c, moved in from a full register: a 16-bit set1 lets the compiler pass c through
// a 2-byte store and a 4-byte load, which stalls on every name.
CT_INLINE __m128i Splat(char16_t c) {
  const __m128i v = _mm_cvtsi32_si128(static_cast<int>(c));
  return _mm_shuffle_epi32(_mm_shufflelo_epi16(v, 0), 0);
}

// Eight characters of the name against eight of a literal (already folded in text mode).
template <bool Text>
CT_INLINE bool Equal8(__m128i v, __m128i lit) {
  if (Text) {
    // 'A'-'Z' gain 32; the signed compares leave every code unit from U+8000 up alone.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16('A' - 1)),
                                        _mm_cmplt_epi16(v, _mm_set1_epi16('Z' + 1)));
    v = _mm_add_epi16(v, _mm_and_si128(upper, _mm_set1_epi16(32)));
  }
  return _mm_movemask_epi8(_mm_cmpeq_epi16(v, lit)) == 0xFFFF;
}

// Eight characters of the name at `at` against a block (see Block).
template <bool Text>
CT_INLINE bool BlockFits(const char16_t* at, const char16_t* care, const char16_t* want, const char16_t* fold) {
  auto load = [](const char16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  __m128i v = load(at);
  if (Text) v = _mm_or_si128(v, load(fold));
  v = _mm_and_si128(v, load(care));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(v, load(want))) == 0xFFFF;
}
#endif

// The n characters at s against a literal (folded in text mode): equal as FileStrComp has them.
template <bool Text>
CT_INLINE bool EqualRun(const char16_t* s, const char16_t* lit, std::uint32_t n) {
  std::uint32_t i = 0;
#if defined(__SSE2__) || defined(_M_X64)
  for (; i + 8 <= n; i += 8) {
    if (!Equal8<Text>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)),
                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(lit + i)))) {
      return false;
    }
  }
  if (i + 4 <= n) {
    // Four characters in the low half; the high half compares zero with zero.
    if (!Equal8<Text>(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i)),
                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lit + i)))) {
      return false;
    }
    i += 4;
  }
#endif
  for (; i < n; ++i) {
    if ((Text ? clsFileString::FoldAscii(s[i]) : s[i]) != lit[i]) return false;
  }
  return true;
}

// Bit i set when s[start + i] is a or b, for i < n <= 64; s[0] .. s[start + n - 1] must be
// readable. A short rest is read by one load that ends at s[start + n], overlapping what was seen.
CT_INLINE std::uint64_t MaskOf(const char16_t* s, std::size_t start, std::size_t n, char16_t a, char16_t b) {
  std::uint64_t mask = 0;
  std::size_t j = 0;
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i va = Splat(a);
  const __m128i vb = Splat(b);
  auto hits = [&](const char16_t* at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return _mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb));
  };
  auto bits8 = [&](const char16_t* at) {
    return static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_packs_epi16(hits(at), _mm_setzero_si128())) & 0xFF);
  };
  for (; j + 16 <= n; j += 16) {
    const char16_t* at = s + start + j;
    mask |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_packs_epi16(hits(at), hits(at + 8))) & 0xFFFF) << j;
  }
  if (j + 8 <= n) {
    mask |= bits8(s + start + j) << j;
    j += 8;
  }
  if (j < n && start + n >= 8) return mask | (bits8(s + start + n - 8) >> (8 - (n - j))) << j;
#endif
  for (; j < n; ++j) {
    const char16_t c = s[start + j];
    mask |= static_cast<std::uint64_t>(c == a || c == b) << j;
  }
  return mask;
}

// Left-most place in [from, end) holding a or b; npos when none. end <= len. A name of eight or
// more characters is read in blocks of eight, the last one moved back to end at the name's end, so
// the scan takes few branches; a shorter name is read one character at a time.
CT_INLINE std::size_t FindChar(const char16_t* s, std::size_t len, std::size_t from, std::size_t end, char16_t a,
                               char16_t b) {
#if defined(__SSE2__) || defined(_M_X64)
  if (len >= 8) {
    const __m128i va = Splat(a);
    const __m128i vb = Splat(b);
    for (std::size_t q = from; q < end; q += 8) {
      const std::size_t at = std::min(q, len - 8);
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
      const unsigned m =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)))) >>
          (2 * (q - at));
      if (m != 0) {
        const std::size_t hit = q + static_cast<std::size_t>(std::countr_zero(m)) / 2;
        return hit < end ? hit : std::u16string::npos;
      }
    }
    return std::u16string::npos;
  }
#else
  (void)len;
#endif
  for (std::size_t q = from; q < end; ++q) {
    if (s[q] == a || s[q] == b) return q;
  }
  return std::u16string::npos;
}

#if defined(__SSE2__) || defined(_M_X64)
// Bit i set when s[i] is a or b, for a name of 8 to 64 characters. The last block is moved back
// to end at the name's end, so nothing beyond the name is read.
CT_INLINE std::uint64_t NameMask(const char16_t* s, std::size_t len, char16_t a, char16_t b) {
  const __m128i va = Splat(a);
  const __m128i vb = Splat(b);
  // In text mode a and b are the same for every character but a letter.
  const bool one = a == b;
  auto hits = [&](std::size_t at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
    return one ? _mm_cmpeq_epi16(v, va) : _mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb));
  };
  // Blocks of eight characters at 0, 8, 16, ..., each moved back to end at the name's end when it
  // would pass it (its bits then land on places already seen, which is harmless). Four blocks
  // cover names of up to 32 characters, eight the rest; within each count nothing branches on
  // the length.
  std::uint64_t mask = 0;
  auto pair = [&](std::size_t q) {
    const std::size_t at0 = std::min(q, len - 8), at1 = std::min(q + 8, len - 8);
    const auto bits = static_cast<std::uint64_t>(
        static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(hits(at0), hits(at1)))));
    mask |= (bits & 0xFF) << at0 | (bits >> 8) << at1;
  };
  pair(0);
  pair(16);
  if (len > 32) {
    pair(32);
    pair(48);
  }
  return mask;
}
#endif

}  // namespace

clsMatching::Probe clsMatching::MakeProbe(std::size_t off, char16_t c) {
  const char16_t lower = clsFileString::FoldAscii(c);
  const char16_t upper = (lower >= u'a' && lower <= u'z') ? char16_t(lower - 32) : lower;
  return Probe{true, off, c, lower, upper, FoldBit(lower)};
}

template <bool Text>
CT_INLINE bool clsMatching::Fits(const Segment& seg, const char16_t* at) const {
  const char16_t* pool = Text ? foldPool_.data() : pool_.data();
  const LitCheck* c = checks_.data() + seg.firstCheck;
  for (const LitCheck* end = c + seg.checkCount; c != end; ++c) {
    if (!EqualRun<Text>(at + c->segOff, pool + c->poolOff, c->len)) return false;
  }
  return true;
}

template <bool Text>
CT_INLINE std::size_t clsMatching::Find(const Segment& seg, const char16_t* name, std::size_t len, std::size_t from,
                              std::size_t slack, LeadMask& cache) const {
  if (seg.checkCount == 0) return from;
  // Candidates are the places of the first character of the segment's first literal, taken from a
  // bit mask of up to 64 characters that later segments with the same character share.
  const Probe& lead = seg.lead;
  const char16_t a = Text ? lead.lower : lead.exact;
  const char16_t b = Text ? lead.upper : lead.exact;
  const std::size_t end = from + slack + 1 + lead.off;  // the character's places: [from + off, end)
  for (std::size_t q = from + lead.off; q < end; q = cache.stop) {
    if (q >= cache.stop || q < cache.start || cache.a != a || cache.b != b) {
      cache = LeadMask{a, b, q, std::min(q + 64, len), 0};
      cache.mask = MaskOf(name, q, cache.stop - q, a, b);
    }
    for (std::uint64_t m = cache.mask >> (q - cache.start); m != 0; m &= m - 1) {
      const std::size_t hit = q + static_cast<std::size_t>(std::countr_zero(m));
      if (hit >= end) return std::u16string::npos;
      // A segment that is that one character fits wherever the character is.
      if (seg.length == 1 || Fits<Text>(seg, name + hit - lead.off)) return hit - lead.off;
    }
  }
  return std::u16string::npos;
}

// Whether the first or the last segment (tail), placed at `place`, fits: by its block when it has
// one and the name holds the eight characters the block reads.
template <bool Text>
CT_INLINE bool clsMatching::EndFits(const Block& b, const Segment& seg, const char16_t* s, std::size_t len,
                                    std::size_t place, bool tail) const {
#if defined(__SSE2__) || defined(_M_X64)
  if (b.on && len >= 8) return BlockFits<Text>(tail ? s + len - 8 : s, b.care, Text ? b.lower : b.exact, b.fold);
#endif
  return seg.checkCount == 0 || Fits<Text>(seg, s + place);
}

// Places every segment of a name that passed the probes: the first at the start, the last at the
// end, each middle one at its left-most place after the one before. Every middle "*" thus takes
// the shortest text and the last "*" the rest. The slack (characters beyond the minimum length)
// bounds the search.
template <bool Text>
bool clsMatching::MatchIn(const char16_t* s, std::size_t len) {
  const std::size_t slack = len - minLength_;
  const std::size_t count = segments_.size();
  const Segment* segs = segments_.data();
  if (count == 1) {
    if (slack != 0 || !Fits<Text>(segs[0], s)) return false;
    segPos_[0] = 0;
    return true;
  }
  const Segment& lastSeg = segs[count - 1];
  const std::size_t lastPos = len - lastSeg.length;
  if (!EndFits<Text>(tailBlock_, lastSeg, s, len, lastPos, true) ||
      !EndFits<Text>(headBlock_, segs[0], s, len, 0, false)) {
    return false;
  }
  std::size_t* place = segPos_.data();
  place[0] = 0;
  place[count - 1] = lastPos;
  if (count == 2) return true;
  const std::size_t pos = segs[0].length;
  return PlaceMiddles<Text>(s, len, pos, slack);
}

// The middle segments, placed after MatchIn has placed the two ends. Kept out of line so that
// the patterns without middle segments ("*.wav", "#WAV?? *.wav"), the most common rules, pay for
// no more registers than MatchIn itself needs.
template <bool Text>
bool clsMatching::PlaceMiddles(const char16_t* s, std::size_t len, std::size_t pos, std::size_t slack) {
  const std::size_t count = segments_.size();
#if defined(__SSE2__) || defined(_M_X64)
  if (sameMiddles_ && len >= 8 && len <= 64) {
    // Every middle segment is the same one character: the k middles take the first k places of
    // that character in [pos, lastPos), read off one mask of the whole name.
    const std::size_t lastPos = len - segments_[count - 1].length;
    const char16_t a = Text ? segments_[1].lead.lower : segments_[1].lead.exact;
    const char16_t b = Text ? segments_[1].lead.upper : segments_[1].lead.exact;
    // 1 <= lastPos - pos <= 64 and pos < 64, as every middle takes a character: the shifts stay
    // in range.
    std::uint64_t m = (NameMask(s, len, a, b) >> pos) & (~std::uint64_t{0} >> (64 - (lastPos - pos)));
    bool ok = true;
    for (std::size_t k = 1; k + 1 < count; ++k) {
      ok &= m != 0;
      segPos_[k] = pos + static_cast<std::size_t>(std::countr_zero(m));
      m &= m - 1;
    }
    return ok;
  }
#endif
  LeadMask cache{};
#if defined(__SSE2__) || defined(_M_X64)
  // A name of 8 to 64 characters places its one-character segments from one mask of the whole
  // name, shared while the character stays the same; a segment that does not fit only clears ok,
  // so the outcome of each search costs no branch.
  const bool whole = len >= 8 && len <= 64;
  std::uint64_t nameMask = 0;
  char16_t maskA = 0, maskB = 0;
  bool haveMask = false;
  bool ok = true;
#else
  const bool ok = true;
#endif
  for (std::size_t k = 1; k + 1 < count; ++k) {
    const Segment& seg = segments_[k];
    const bool single = seg.length == 1 && seg.checkCount != 0;
    const char16_t a = Text ? seg.lead.lower : seg.lead.exact;
    const char16_t b = Text ? seg.lead.upper : seg.lead.exact;
    std::size_t at;
#if defined(__SSE2__) || defined(_M_X64)
    if (single && whole) {
      if (!haveMask || a != maskA || b != maskB) {
        nameMask = NameMask(s, len, a, b);
        maskA = a;
        maskB = b;
        haveMask = true;
      }
      // pos < len here while ok holds; a failed search leaves pos anywhere, so keep the shift
      // in range. countr_zero of 0 is 64, beyond every slack.
      at = pos + static_cast<std::size_t>(std::countr_zero(nameMask >> (pos & 63)));
      ok &= at - pos <= slack;
      slack -= std::min(at - pos, slack);
      segPos_[k] = at;
      pos = at + 1;
      continue;
    }
    if (!ok) return false;
#endif
    // A one-character segment in a name too short or too long for one mask is found by a plain
    // scan from pos, bounded by the slack.
    at = single ? FindChar(s, len, pos, pos + slack + 1, a, b) : Find<Text>(seg, s, len, pos, slack, cache);
    if (at == std::u16string::npos) return false;
    slack -= at - pos;
    segPos_[k] = at;
    pos = at + seg.length;
  }
  return ok;
}

template bool clsMatching::MatchIn<true>(const char16_t*, std::size_t);
template bool clsMatching::MatchIn<false>(const char16_t*, std::size_t);
template bool clsMatching::PlaceMiddles<true>(const char16_t*, std::size_t, std::size_t, std::size_t);
template bool clsMatching::PlaceMiddles<false>(const char16_t*, std::size_t, std::size_t, std::size_t);

int clsMatching::GetMatchDec(std::vector<std::u16string>& dec) const {
  dec.assign(tokens_.begin(), tokens_.begin() + static_cast<std::ptrdiff_t>(std::min(n_, tokens_.size())));
  return static_cast<int>(n_);
}

void clsMatching::SetReplacePattern(const std::u16string& text) {
  rawReplace_ = text;
  replaceStatus_ = 1;
  if (n_ < 3) {
    normReplace_ = text;
    return;
  }
  if (text.empty() && fileNameMode_) {
    // Every matching name becomes empty.
    normReplace_.clear();
    startFirst_.assign(n_, std::u16string());
    endFirst_ = startFirst_;
    UsePairing(startFirst_);
    replaceStatus_ = 0;
    return;
  }

  std::u16string wrapped = text;
  if (!fileNameMode_) {
    // The added "*"s pair with the search pattern's wrapping ones and keep the text around the
    // found place; where the search pattern's own "*" (or, for an all-wildcard pattern, its "?"
    // anchored at the start) takes that role, the added one is left out.
    wrapped = u"*" + text + u"*";
    if ((OnlyWildcards(rawPattern_) && rawPattern_.front() == u'?') || rawPattern_.front() == u'*') {
      wrapped.erase(0, 1);
    }
    if (rawPattern_.back() == u'*') wrapped.pop_back();
  }
  std::vector<std::u16string> replaceTokens = BuildTokens(wrapped, false, false);
  normReplace_ = text.empty() ? std::u16string() : Join(replaceTokens);

  const int forward = Pair(replaceTokens, tokens_, startFirst_);
  std::reverse(replaceTokens.begin(), replaceTokens.end());
  const int backward = Pair(replaceTokens, reversedTokens_, endFirst_);
  replaceStatus_ = forward | backward;

  if (fs_.GetSQNumText(rawReplace_, kAny, 0) > fs_.GetSQNumText(rawPattern_, kAny, 0) ||
      fs_.GetSQNumText(rawReplace_, kStar, 0) > fs_.GetSQNumText(rawPattern_, kStar, 0)) {
    replaceStatus_ = 3;
  }

  if ((CanReplace() & 1) == 0) {
    UsePairing(startFirst_);
    for (std::size_t i = 2; i + 1 <= n_; ++i) {
      const std::u16string& entry = startFirst_[i - 1];
      if (IsWildcard(entry) && entry != endFirst_[n_ - i]) {
        replaceStatus_ |= 4;
        break;
      }
    }
  }
}

// Pairs replace tokens P with search tokens Q (both 1-based in the comments, 0-based in the
// vectors). pairing receives, per search position, the replace token linked to it. Result 0, or
// 3 when P has more "*" or "?" tokens than Q, or 1 when the links cannot be completed in order.
int clsMatching::Pair(const std::vector<std::u16string>& P, const std::vector<std::u16string>& Q,
                      std::vector<std::u16string>& pairing) const {
  const std::size_t p = P.size(), q = Q.size();
  pairing.assign(q, std::u16string());
  auto tp = [&](std::size_t i) -> const std::u16string& { return P[i - 1]; };
  auto tq = [&](std::size_t j) -> const std::u16string& { return Q[j - 1]; };

  const auto starsP = std::count(P.begin(), P.end(), kStar), starsQ = std::count(Q.begin(), Q.end(), kStar);
  const auto anysP = std::count(P.begin(), P.end(), kAny), anysQ = std::count(Q.begin(), Q.end(), kAny);
  if (starsP > starsQ || anysP > anysQ) return 3;

  // link[i]: search position of replace position i; back[j]: replace position of search position j.
  std::vector<std::size_t> link(p + 1, 0), back(q + 1, 0);
  auto connect = [&](std::size_t i, std::size_t j) {
    link[i] = j;
    back[j] = i;
  };
  const std::size_t m = std::min(p, q);

  // Tokens both patterns share at the start and at the end stay where they are.
  std::size_t k1 = 0;
  for (std::size_t i = 2; i + 1 <= m && tp(i) == tq(i); ++i) {
    connect(i, i);
    k1 = i;
  }
  std::size_t k2 = 0;
  for (std::size_t j = 2; j + k1 <= m && tp(p - j + 1) == tq(q - j + 1); ++j) {
    connect(p - j + 1, q - j + 1);
    k2 = j;
  }
  // A literal that the replace pattern only extends (a -> a_c) stays with its search literal.
  if (k1 + k2 < m) {
    if (k1 != 0 && link[k1 + 1] == 0 && fs_.FileInStr(1, tp(k1 + 1), tq(k1 + 1), 1) != 0) connect(k1 + 1, k1 + 1);
    if (k2 != 0 && link[p - k2] == 0 && fs_.FileInStr(1, tp(p - k2), tq(q - k2), 1) != 0) connect(p - k2, q - k2);
  }

  enum class Class { Star, Any, Literal, Wildcard };
  std::vector<Class> classes;
  if (starsP == starsQ) classes.push_back(Class::Star);
  if (anysP == anysQ) classes.push_back(Class::Any);
  classes.push_back(Class::Literal);
  classes.push_back(Class::Wildcard);
  for (const Class cls : classes) {
    std::size_t lastLink = 0;
    for (std::size_t i = 2; i + 1 <= p; ++i) {
      const std::u16string& t = tp(i);
      bool ofClass = false;
      switch (cls) {
        case Class::Star: ofClass = t == kStar; break;
        case Class::Any: ofClass = t == kAny; break;
        case Class::Literal: ofClass = KindOf(t) == Kind::Literal; break;
        case Class::Wildcard: ofClass = IsWildcard(t); break;
      }
      if (!ofClass || link[i] != 0) {
        lastLink = std::max(lastLink, link[i]);
        continue;
      }
      std::size_t bound = q + 1;
      for (std::size_t later = i + 1; later <= p; ++later) {
        if (link[later] != 0) {
          bound = link[later];
          break;
        }
      }
      for (std::size_t j = lastLink + 1; j < bound; ++j) {
        if (back[j] == 0 && fs_.FileStrComp(tq(j), t, 1) == 0) {
          connect(i, j);
          lastLink = j;
          break;
        }
      }
    }
  }

  // Links must be mutual and keep the order of both patterns.
  std::size_t prev = 0;
  for (std::size_t i = 1; i <= p; ++i) {
    if (link[i] == 0) continue;
    if (back[link[i]] != i || link[i] <= prev) return 1;
    prev = link[i];
  }
  for (std::size_t j = 1; j <= q; ++j) {
    if (back[j] != 0 && link[back[j]] != j) return 1;
  }

  // The remaining replace tokens take the search positions right after the previous link.
  std::size_t cursor = 1;
  for (std::size_t i = 2; i + 1 <= p; ++i) {
    if (link[i] != 0) {
      cursor = link[i] + 1;
      continue;
    }
    if (cursor > q || back[cursor] != 0) return 1;
    connect(i, cursor);
    ++cursor;
  }

  for (std::size_t j = 1; j <= q; ++j) {
    if (back[j] != 0) pairing[j - 1] = tp(back[j]);
  }
  return 0;
}

// Turns a pairing into the steps that build a replaced name: runs of literals joined, wildcards
// taking the capture of their search position.
void clsMatching::UsePairing(const std::vector<std::u16string>& pairing) {
  inUse_ = pairing;
  out_.clear();
  outPool_.clear();
  patches_.clear();
  patchOnly_ = true;
  for (std::size_t i = 0; i < spans_.size(); ++i) {
    const std::u16string& entry = i < pairing.size() ? pairing[i] : kNothing;
    if (IsWildcard(entry)) {
      out_.push_back({false, 0, 0, spans_[i]});
      continue;
    }
    if (spans_[i].star || entry.size() != spans_[i].len) patchOnly_ = false;
    if (entry.empty()) continue;
    patches_.push_back({spans_[i], static_cast<std::uint32_t>(outPool_.size())});
    if (!out_.empty() && out_.back().literal) {
      out_.back().len += static_cast<std::uint32_t>(entry.size());
    } else {
      out_.push_back({true, static_cast<std::uint32_t>(outPool_.size()), static_cast<std::uint32_t>(entry.size()), {}});
    }
    outPool_ += entry;
  }
}

void clsMatching::SetReplacePatternReverse(bool value) {
  if ((CanReplace() & 4) == 0) return;
  if (value) {
    UsePairing(std::vector<std::u16string>(endFirst_.rbegin(), endFirst_.rend()));
  } else {
    UsePairing(startFirst_);
  }
}

namespace {

// Copies n characters to a place at or before the source (or to another buffer); pieces are short.
inline void CopyForward(char16_t* to, const char16_t* from, std::size_t n) {
  if (n > 32) {
    std::memmove(to, from, n * sizeof(char16_t));
    return;
  }
  for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
}

}  // namespace

bool clsMatching::MatchAndReplaceFileName(std::u16string& FileName) {
  if ((CanReplace() & 1) != 0) return false;
  if (!Match(FileName)) return false;
  if (patchOnly_) {
    char16_t* name = FileName.data();
    for (const Patch& p : patches_) {
      CopyForward(name + segPos_[p.span.seg] + p.span.off, outPool_.data() + p.poolOff, p.span.len);
    }
    return true;
  }

  // The new name can be written over the old one, left to right, when no piece lands beyond the
  // start of a captured piece still to be read; most rules keep their captures where they were.
  std::size_t newLen = 0;
  bool inPlace = true;
  for (const OutStep& step : out_) {
    if (step.literal) {
      newLen += step.len;
      continue;
    }
    std::size_t begin, len;
    CaptureOf(step.span, begin, len);
    if (newLen > begin) inPlace = false;
    newLen += len;
  }

  const std::size_t oldLen = FileName.size();
  std::u16string& target = inPlace ? FileName : outBuf_;
  if (inPlace) {
    if (newLen > oldLen) FileName.resize(newLen);
  } else {
    outBuf_.resize(newLen);
  }
  char16_t* out = target.data();
  const char16_t* in = FileName.data();
  std::size_t w = 0;
  for (const OutStep& step : out_) {
    if (step.literal) {
      CopyForward(out + w, outPool_.data() + step.off, step.len);
      w += step.len;
    } else {
      std::size_t begin, len;
      CaptureOf(step.span, begin, len);
      if (out + w != in + begin) CopyForward(out + w, in + begin, len);
      w += len;
    }
  }
  if (inPlace) {
    FileName.resize(newLen);
  } else {
    // The old name's storage becomes the next call's buffer: nothing is allocated once both
    // have grown to the names at hand.
    FileName.swap(outBuf_);
  }
  return true;
}

int clsMatching::GetReplaceDec(std::vector<std::u16string>& dec, bool Reverse) const {
  if (Reverse) {
    dec.assign(endFirst_.rbegin(), endFirst_.rend());
  } else {
    dec = inUse_;
  }
  dec.resize(n_);
  return static_cast<int>(n_);
}
