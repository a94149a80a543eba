#include "toolkit/match/CompiledPattern.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "toolkit/text/Compare.h"

namespace kernels = matchKernels::active;

namespace {

constexpr std::size_t kNever = static_cast<std::size_t>(-1);

// 0x20 for a lower-case letter (the bit that joins it with its capital), else 0.
char16_t FoldBit(char16_t lower) { return (lower >= u'a' && lower <= u'z') ? 0x20 : 0; }

}  // namespace

CompiledPattern::Kind CompiledPattern::KindOf(const std::u16string& token) {
  if (token.empty()) return Kind::Empty;
  if (token == u"*") return Kind::Star;
  if (token == u"?") return Kind::Any;
  return Kind::Literal;
}

void CompiledPattern::Clear() {
  min_length_ = kNever;
  block_min_ = kNever;
}

// Segment table, literal checks and the place of every token's capture inside its segment.
void CompiledPattern::Compile(const std::vector<std::u16string>& tokens) {
  segments_.clear();
  checks_.clear();
  pool_.clear();
  fold_pool_.clear();
  spans_.clear();
  spans_.reserve(tokens.size());

  Segment seg{0, 0, 0, Lead{}};
  for (const auto& t : tokens) {
    const auto segIndex = static_cast<std::uint32_t>(segments_.size());
    switch (KindOf(t)) {
      case Kind::Star:
        spans_.push_back({segIndex, 0, 0, true});
        segments_.push_back(seg);
        seg = Segment{0, static_cast<std::uint32_t>(checks_.size()), 0, Lead{}};
        break;
      case Kind::Any:
        spans_.push_back({segIndex, static_cast<std::uint32_t>(seg.length), 1, false});
        seg.length += 1;
        break;
      case Kind::Literal:
        spans_.push_back({segIndex, static_cast<std::uint32_t>(seg.length), static_cast<std::uint32_t>(t.size()), false});
        checks_.push_back({static_cast<std::uint32_t>(seg.length), static_cast<std::uint32_t>(pool_.size()),
                           static_cast<std::uint32_t>(t.size())});
        if (seg.checkCount++ == 0) {
          const char16_t lower = text::FoldAscii(t.front());
          seg.lead = Lead{seg.length, t.front(), lower, FoldBit(lower)};
        }
        pool_ += t;
        for (const char16_t c : t) fold_pool_.push_back(text::FoldAscii(c));
        seg.length += t.size();
        break;
      case Kind::Empty:
        spans_.push_back({segIndex, static_cast<std::uint32_t>(seg.length), 0, false});
        break;
    }
  }
  segments_.push_back(seg);

  min_length_ = 0;
  for (const auto& s : segments_) min_length_ += s.length;
  seg_pos_.assign(segments_.size(), 0);

  const std::size_t count = segments_.size();
  const Segment& first = segments_.front();
  const Segment& last = segments_.back();
  head_on_ = MakeBlocks(first, true, head_blocks_);
  tail_on_ = MakeBlocks(last, false, tail_blocks_);
  head_whole_ = first.length <= 8 || first.checkCount == 0;
  tail_whole_ = last.length <= 8 || last.checkCount == 0;
  same_middles_ = count > 2 && std::all_of(segments_.begin() + 1, segments_.end() - 1, [&](const Segment& m) {
                   return m.length == 1 && m.checkCount != 0 && m.lead.exact == segments_[1].lead.exact;
                 });
  middle_ = count > 2 ? segments_[1].lead : Lead{};
  middle_blocks_[0] = kernels::Lanes(middle_.exact, 0);
  middle_blocks_[1] = kernels::Lanes(middle_.lower, middle_.fold);
  SetText(text_);
  head_length_ = first.length;
  tail_length_ = last.length;
  middles_ = count - std::min<std::size_t>(count, 2);

  // One segment must fill the name exactly; that is left to Settle.
  block_min_ = count == 1 ? kNever : std::max<std::size_t>(min_length_, 8);
  const bool wholeEnds = head_whole_ && tail_whole_;
  if (count == 2 && wholeEnds && (head_on_ || tail_on_)) {
    route_ = !head_on_ ? Route::Tail : !tail_on_ ? Route::Head : Route::HeadTail;
  } else if (same_middles_ && wholeEnds) {
    route_ = head_on_ ? Route::HeadMiddles : Route::Middles;
  } else {
    route_ = head_on_ ? Route::HeadRest : Route::Rest;
  }
}

bool CompiledPattern::MakeBlocks(const Segment& seg, bool head, matchKernels::Block (&blocks)[2]) const {
  matchKernels::Block& exact = blocks[0];
  matchKernels::Block& text = blocks[1];
  for (int i = 0; i < 8; ++i) exact.set[i] = exact.want[i] = text.set[i] = text.want[i] = 0xFFFF;
  bool on = false;
  // Lane i reads the segment's character base + i (base is negative for a short tail segment,
  // whose first lanes lie before it).
  const std::ptrdiff_t base = head ? 0 : static_cast<std::ptrdiff_t>(seg.length) - 8;
  for (std::uint32_t k = seg.firstCheck; k < seg.firstCheck + seg.checkCount; ++k) {
    const LitCheck& c = checks_[k];
    for (std::uint32_t j = 0; j < c.len; ++j) {
      const std::ptrdiff_t lane = static_cast<std::ptrdiff_t>(c.segOff + j) - base;
      if (lane < 0 || lane >= 8) continue;
      const auto i = static_cast<std::size_t>(lane);
      exact.set[i] = 0;
      exact.want[i] = pool_[c.poolOff + j];
      text.want[i] = fold_pool_[c.poolOff + j];
      text.set[i] = FoldBit(text.want[i]);
      on = true;
    }
  }
  return on;
}

template <bool Text>
MATCH_KERNEL bool CompiledPattern::Fits(const Segment& seg, const char16_t* at) const {
  const char16_t* pool = Text ? fold_pool_.data() : pool_.data();
  const LitCheck* c = checks_.data() + seg.firstCheck;
  for (const LitCheck* end = c + seg.checkCount; c != end; ++c) {
    if (!kernels::EqualRun<Text>(at + c->segOff, pool + c->poolOff, c->len)) return false;
  }
  return true;
}

template <bool Text>
MATCH_KERNEL std::size_t CompiledPattern::Find(const Segment& seg, const char16_t* name, std::size_t len,
                                                   std::size_t from, std::size_t slack, LeadMask& cache) const {
  if (seg.checkCount == 0) return from;
  // Candidates are the places of the first character of the segment's first literal, taken from a
  // bit mask of up to 64 characters that later segments with the same character share.
  const Lead& lead = seg.lead;
  const char16_t c = Text ? lead.lower : lead.exact;
  const char16_t fold = Text ? lead.fold : 0;
  const std::size_t end = from + slack + 1 + lead.off;  // the character's places: [from + off, end)
  for (std::size_t q = from + lead.off; q < end; q = cache.stop) {
    if (q >= cache.stop || q < cache.start || cache.c != c || cache.fold != fold) {
      cache = LeadMask{c, fold, q, std::min(q + 64, len), 0};
      cache.mask = kernels::MaskOf(name, q, cache.stop - q, c, fold);
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

// Route::Middles: the ends are whole in their blocks, and the middles are one character each, the
// same one. They fit when the name holds that character as many times as there are middles
// between the two ends, which one mask of a name of up to 64 characters tells.
bool CompiledPattern::Middles(const char16_t* s, std::size_t len) const {
  if (tail_on_ && !kernels::BlockFits(s + len - 8, tail_)) return false;
  if (len > 64) return Settle(s, len);
  // Every middle takes a character, so 1 <= room <= 64 and the head is shorter than 64: the
  // shifts stay in range.
  const std::size_t room = len - head_length_ - tail_length_;
  std::uint64_t m = (kernels::NameMask(s, len, middle_lanes_) >> head_length_) & (~std::uint64_t{0} >> (64 - room));
  for (std::size_t k = 1; k < middles_; ++k) m &= m - 1;
  return m != 0;
}

// Route::Rest: the blocks sift, the full match decides.
bool CompiledPattern::Rest(const char16_t* s, std::size_t len) const {
  if (tail_on_ && !kernels::BlockFits(s + len - 8, tail_)) return false;
  return Settle(s, len);
}

bool CompiledPattern::Settle(const char16_t* s, std::size_t len) const {
  return text_ ? Place<true, false>(s, len, nullptr) : Place<false, false>(s, len, nullptr);
}

template <bool Text, bool Places>
MATCH_KERNEL bool CompiledPattern::Place(const char16_t* s, std::size_t len, std::size_t* place) const {
  const std::size_t count = segments_.size();
  if (count == 1) {
    if (len != min_length_ || !Fits<Text>(segments_[0], s)) return false;
    if (Places) place[0] = 0;
    return true;
  }
  const Segment& last = segments_[count - 1];
  const std::size_t lastPos = len - last.length;
  const bool blocks = len >= 8;
  if (blocks) {
    bool ok = true;
    if (head_on_) ok &= kernels::BlockFits(s, head_);
    if (tail_on_) ok &= kernels::BlockFits(s + len - 8, tail_);
    if (!ok) return false;
  }
  if (!(blocks && head_whole_) && !Fits<Text>(segments_[0], s)) return false;
  if (!(blocks && tail_whole_) && !Fits<Text>(last, s + lastPos)) return false;
  if (Places) {
    place[0] = 0;
    place[count - 1] = lastPos;
  }
  return count == 2 || PlaceMiddles<Text, Places>(s, len, place);
}

// The middle segments, each at its left-most place after the one before, between the two ends
// that Place has fitted. The slack (characters beyond the minimum length) bounds every search.
template <bool Text, bool Places>
bool CompiledPattern::PlaceMiddles(const char16_t* s, std::size_t len, std::size_t* place) const {
  const std::size_t count = segments_.size();
  std::size_t pos = segments_[0].length;
  std::size_t slack = len - min_length_;
  // Names of 8 to 64 characters place their one-character segments from one mask of the whole name.
  const bool whole = len >= 8 && len <= 64;
  if (same_middles_ && whole) {
    // Every middle segment is the same one character: the k middles take the first k places of
    // that character in [pos, lastPos), read off one mask of the whole name.
    const std::size_t lastPos = len - segments_[count - 1].length;
    // 1 <= lastPos - pos <= 64 and pos < 64, as every middle takes a character: the shifts stay
    // in range.
    std::uint64_t m = (kernels::NameMask(s, len, middle_blocks_[Text]) >> pos) & (~std::uint64_t{0} >> (64 - (lastPos - pos)));
    if (!Places) {
      // Only whether there are enough of them.
      for (std::size_t k = 2; k + 1 < count; ++k) m &= m - 1;
      return m != 0;
    }
    bool ok = true;
    for (std::size_t k = 1; k + 1 < count; ++k) {
      ok &= m != 0;
      place[k] = pos + static_cast<std::size_t>(std::countr_zero(m));
      m &= m - 1;
    }
    return ok;
  }
  LeadMask cache{};
  // The mask is shared while the character stays the same; a segment that does not fit only
  // clears ok, so the outcome of each search costs no branch.
  std::uint64_t nameMask = 0;
  char16_t maskC = 0, maskFold = 0;
  bool haveMask = false;
  bool ok = true;
  for (std::size_t k = 1; k + 1 < count; ++k) {
    const Segment& seg = segments_[k];
    const bool single = seg.length == 1 && seg.checkCount != 0;
    const char16_t c = Text ? seg.lead.lower : seg.lead.exact;
    const char16_t fold = Text ? seg.lead.fold : 0;
    std::size_t at;
    if (single && whole) {
      if (!haveMask || c != maskC || fold != maskFold) {
        nameMask = kernels::NameMask(s, len, kernels::Lanes(c, fold));
        maskC = c;
        maskFold = fold;
        haveMask = true;
      }
      // pos < len here while ok holds; a failed search leaves pos anywhere, so keep the shift
      // in range. countr_zero of 0 is 64, beyond every slack.
      at = pos + static_cast<std::size_t>(std::countr_zero(nameMask >> (pos & 63)));
      ok &= at - pos <= slack;
      slack -= std::min(at - pos, slack);
      if (Places) place[k] = at;
      pos = at + 1;
      continue;
    }
    if (!ok) return false;
    // A one-character segment in a name too short or too long for one mask is found by a plain
    // scan from pos, bounded by the slack.
    at = single ? kernels::FindChar(s, len, pos, pos + slack + 1, c, fold) : Find<Text>(seg, s, len, pos, slack, cache);
    if (at == matchKernels::kNotFound) return false;
    slack -= at - pos;
    if (Places) place[k] = at;
    pos = at + seg.length;
  }
  return ok;
}

// Turns a pairing into the steps that build a replaced name: runs of literals joined, wildcards
// taking the capture of their search position.
void CompiledPattern::UsePairing(const std::vector<std::u16string>& pairing) {
  out_.clear();
  out_pool_.clear();
  patches_.clear();
  patch_only_ = true;
  for (std::size_t i = 0; i < spans_.size(); ++i) {
    const std::u16string* entry = i < pairing.size() ? &pairing[i] : nullptr;
    const Kind kind = entry ? KindOf(*entry) : Kind::Empty;
    if (kind == Kind::Star || kind == Kind::Any) {
      out_.push_back({false, 0, 0, spans_[i]});
      continue;
    }
    const std::size_t size = entry ? entry->size() : 0;
    if (spans_[i].star || size != spans_[i].len) patch_only_ = false;
    if (size == 0) continue;
    patches_.push_back({spans_[i], static_cast<std::uint32_t>(out_pool_.size())});
    if (!out_.empty() && out_.back().literal) {
      out_.back().len += static_cast<std::uint32_t>(size);
    } else {
      out_.push_back({true, static_cast<std::uint32_t>(out_pool_.size()), static_cast<std::uint32_t>(size), {}});
    }
    out_pool_ += *entry;
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

// Called for names that Matches took: the places are found again, this time kept. Two segments
// can only lie at the two ends.
bool CompiledPattern::Rewrite(std::u16string& name) {
  if (segments_.size() == 2) {
    seg_pos_[1] = name.size() - tail_length_;
  } else if (!(text_ ? Place<true, true>(name.data(), name.size(), seg_pos_.data())
                     : Place<false, true>(name.data(), name.size(), seg_pos_.data()))) {
    return false;
  }
  if (patch_only_) {
    char16_t* at = name.data();
    for (const Patch& p : patches_) {
      CopyForward(at + seg_pos_[p.span.seg] + p.span.off, out_pool_.data() + p.poolOff, p.span.len);
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
  std::u16string& target = inPlace ? name : out_buf_;
  if (inPlace) {
    if (newLen > oldLen) name.resize(newLen);
  } else {
    out_buf_.resize(newLen);
  }
  char16_t* out = target.data();
  const char16_t* in = name.data();
  std::size_t w = 0;
  for (const OutStep& step : out_) {
    if (step.literal) {
      CopyForward(out + w, out_pool_.data() + step.off, step.len);
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
    name.swap(out_buf_);
  }
  return true;
}
