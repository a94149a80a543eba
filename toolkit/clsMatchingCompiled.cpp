#include "clsMatchingCompiled.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "clsFileString.h"

namespace kernels = matchKernels::active;

clsMatchingCompiled::Kind clsMatchingCompiled::KindOf(const std::u16string& token) {
  if (token.empty()) return Kind::Empty;
  if (token == u"*") return Kind::Star;
  if (token == u"?") return Kind::Any;
  return Kind::Literal;
}

void clsMatchingCompiled::Clear() { minLength_ = static_cast<std::size_t>(-1); }

// Segment table, literal checks and the place of every token's capture inside its segment.
void clsMatchingCompiled::Compile(const std::vector<std::u16string>& tokens) {
  segments_.clear();
  checks_.clear();
  pool_.clear();
  foldPool_.clear();
  spans_.clear();
  spans_.reserve(tokens.size());

  Segment seg{0, 0, 0, Probe{}};
  for (const auto& t : tokens) {
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

clsMatchingCompiled::EndBlock clsMatchingCompiled::MakeBlock(const Segment& seg, std::size_t lane) const {
  EndBlock b{};
  if (seg.checkCount == 0 || seg.length > 8) return b;
  b.on = true;
  for (std::uint32_t k = seg.firstCheck; k < seg.firstCheck + seg.checkCount; ++k) {
    const LitCheck& c = checks_[k];
    for (std::uint32_t j = 0; j < c.len; ++j) {
      const std::size_t i = lane + c.segOff + j;
      b.lanes.care[i] = 0xFFFF;
      b.lanes.exact[i] = pool_[c.poolOff + j];
      b.lanes.lower[i] = foldPool_[c.poolOff + j];
      b.lanes.fold[i] = FoldBit(b.lanes.lower[i]);
    }
  }
  return b;
}

clsMatchingCompiled::Probe clsMatchingCompiled::MakeProbe(std::size_t off, char16_t c) {
  const char16_t lower = clsFileString::FoldAscii(c);
  const char16_t upper = (lower >= u'a' && lower <= u'z') ? char16_t(lower - 32) : lower;
  return Probe{true, off, c, lower, upper, FoldBit(lower)};
}

template <bool Text>
MATCH_KERNEL bool clsMatchingCompiled::Fits(const Segment& seg, const char16_t* at) const {
  const char16_t* pool = Text ? foldPool_.data() : pool_.data();
  const LitCheck* c = checks_.data() + seg.firstCheck;
  for (const LitCheck* end = c + seg.checkCount; c != end; ++c) {
    if (!kernels::EqualRun<Text>(at + c->segOff, pool + c->poolOff, c->len)) return false;
  }
  return true;
}

template <bool Text>
MATCH_KERNEL std::size_t clsMatchingCompiled::Find(const Segment& seg, const char16_t* name, std::size_t len,
                                                   std::size_t from, std::size_t slack, LeadMask& cache) const {
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
      cache.mask = kernels::MaskOf(name, q, cache.stop - q, a, b);
    }
    for (std::uint64_t m = cache.mask >> (q - cache.start); m != 0; m &= m - 1) {
      const std::size_t hit = q + static_cast<std::size_t>(std::countr_zero(m));
      if (hit >= end) return matchKernels::kNotFound;
      // A segment that is that one character fits wherever the character is.
      if (seg.length == 1 || Fits<Text>(seg, name + hit - lead.off)) return hit - lead.off;
    }
  }
  return matchKernels::kNotFound;
}

// Whether the first or the last segment (tail), placed at `place`, fits: by its block when it has
// one and the name holds the eight characters the block reads.
template <bool Text>
MATCH_KERNEL bool clsMatchingCompiled::EndFits(const EndBlock& b, const Segment& seg, const char16_t* s,
                                               std::size_t len, std::size_t place, bool tail) const {
  if (b.on && len >= 8) return kernels::BlockFits<Text>(tail ? s + len - 8 : s, b.lanes);
  return seg.checkCount == 0 || Fits<Text>(seg, s + place);
}

// Places every segment of a name that passed the probes. The slack (characters beyond the
// minimum length) bounds the search.
template <bool Text>
bool clsMatchingCompiled::MatchIn(const char16_t* s, std::size_t len) {
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
bool clsMatchingCompiled::PlaceMiddles(const char16_t* s, std::size_t len, std::size_t pos, std::size_t slack) {
  const std::size_t count = segments_.size();
  // Names of 8 to 64 characters place their one-character segments from one mask of the whole name.
  const bool whole = len >= 8 && len <= 64;
  if (sameMiddles_ && whole) {
    // Every middle segment is the same one character: the k middles take the first k places of
    // that character in [pos, lastPos), read off one mask of the whole name.
    const std::size_t lastPos = len - segments_[count - 1].length;
    const char16_t a = Text ? segments_[1].lead.lower : segments_[1].lead.exact;
    const char16_t b = Text ? segments_[1].lead.upper : segments_[1].lead.exact;
    // 1 <= lastPos - pos <= 64 and pos < 64, as every middle takes a character: the shifts stay
    // in range.
    std::uint64_t m = (kernels::NameMask(s, len, a, b) >> pos) & (~std::uint64_t{0} >> (64 - (lastPos - pos)));
    bool ok = true;
    for (std::size_t k = 1; k + 1 < count; ++k) {
      ok &= m != 0;
      segPos_[k] = pos + static_cast<std::size_t>(std::countr_zero(m));
      m &= m - 1;
    }
    return ok;
  }
  LeadMask cache{};
  // The mask is shared while the character stays the same; a segment that does not fit only
  // clears ok, so the outcome of each search costs no branch.
  std::uint64_t nameMask = 0;
  char16_t maskA = 0, maskB = 0;
  bool haveMask = false;
  bool ok = true;
  for (std::size_t k = 1; k + 1 < count; ++k) {
    const Segment& seg = segments_[k];
    const bool single = seg.length == 1 && seg.checkCount != 0;
    const char16_t a = Text ? seg.lead.lower : seg.lead.exact;
    const char16_t b = Text ? seg.lead.upper : seg.lead.exact;
    std::size_t at;
    if (single && whole) {
      if (!haveMask || a != maskA || b != maskB) {
        nameMask = kernels::NameMask(s, len, a, b);
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
    // A one-character segment in a name too short or too long for one mask is found by a plain
    // scan from pos, bounded by the slack.
    at = single ? kernels::FindChar(s, len, pos, pos + slack + 1, a, b) : Find<Text>(seg, s, len, pos, slack, cache);
    if (at == matchKernels::kNotFound) return false;
    slack -= at - pos;
    segPos_[k] = at;
    pos = at + seg.length;
  }
  return ok;
}

template bool clsMatchingCompiled::MatchIn<true>(const char16_t*, std::size_t);
template bool clsMatchingCompiled::MatchIn<false>(const char16_t*, std::size_t);
template bool clsMatchingCompiled::PlaceMiddles<true>(const char16_t*, std::size_t, std::size_t, std::size_t);
template bool clsMatchingCompiled::PlaceMiddles<false>(const char16_t*, std::size_t, std::size_t, std::size_t);

// Turns a pairing into the steps that build a replaced name: runs of literals joined, wildcards
// taking the capture of their search position.
void clsMatchingCompiled::UsePairing(const std::vector<std::u16string>& pairing) {
  out_.clear();
  outPool_.clear();
  patches_.clear();
  patchOnly_ = true;
  for (std::size_t i = 0; i < spans_.size(); ++i) {
    const std::u16string* entry = i < pairing.size() ? &pairing[i] : nullptr;
    const Kind kind = entry ? KindOf(*entry) : Kind::Empty;
    if (kind == Kind::Star || kind == Kind::Any) {
      out_.push_back({false, 0, 0, spans_[i]});
      continue;
    }
    const std::size_t size = entry ? entry->size() : 0;
    if (spans_[i].star || size != spans_[i].len) patchOnly_ = false;
    if (size == 0) continue;
    patches_.push_back({spans_[i], static_cast<std::uint32_t>(outPool_.size())});
    if (!out_.empty() && out_.back().literal) {
      out_.back().len += static_cast<std::uint32_t>(size);
    } else {
      out_.push_back({true, static_cast<std::uint32_t>(outPool_.size()), static_cast<std::uint32_t>(size), {}});
    }
    outPool_ += *entry;
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

bool clsMatchingCompiled::MatchAndRewrite(std::u16string& name, bool text) {
  if (!Matches(name, text)) return false;
  if (patchOnly_) {
    char16_t* at = name.data();
    for (const Patch& p : patches_) {
      CopyForward(at + segPos_[p.span.seg] + p.span.off, outPool_.data() + p.poolOff, p.span.len);
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

  const std::size_t oldLen = name.size();
  std::u16string& target = inPlace ? name : outBuf_;
  if (inPlace) {
    if (newLen > oldLen) name.resize(newLen);
  } else {
    outBuf_.resize(newLen);
  }
  char16_t* out = target.data();
  const char16_t* in = name.data();
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
    name.resize(newLen);
  } else {
    // The old name's storage becomes the next call's buffer: nothing is allocated once both
    // have grown to the names at hand.
    name.swap(outBuf_);
  }
  return true;
}
