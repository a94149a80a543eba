// The inner loops of the wildcard engine over UTF-16 names: compares of literals and of the blocks
// of eight characters at the ends of a name, and bit masks of the places of a character.
//
// Every kernel has a plain twin in `scalar`, and `active` names the set this build uses: SSE2
// where the processor has it (every x86-64 does), the plain one elsewhere or when the build sets
// CHART_TOOLS_SCALAR_MATCHING. Both sets answer alike for every input; the engine never asks
// which one it runs.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "toolkit/text/Compare.h"

// The kernels are small and run for every name; keep them in the loops that call them.
#if defined(__GNUC__)
#define MATCH_KERNEL inline __attribute__((always_inline))
#else
#define MATCH_KERNEL inline
#endif

namespace matchKernels {

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// The bit masks and scans look for one character of a pattern: a name character x is it when
// (x | fold) == c. In exact mode c is the pattern's character and fold is 0; in text mode c is the
// small letter and fold 0x20 for a letter, so that its capital is found too.

// Eight characters of a segment compared at once: a name character x in lane i passes when
// (x | set[i]) == want[i]. A literal's lane has set 0 and want its character in exact mode; in text
// mode want is the small letter and set 0x20 for a letter (the bit that joins a capital to it).
// Lanes under a "?" or outside the segment have both all ones, and pass whatever they hold.
struct alignas(16) Block {
  char16_t set[8], want[8];
};

namespace scalar {

// Eight copies of one character, as a block whose every lane looks for it.
MATCH_KERNEL Block Lanes(char16_t c, char16_t fold) {
  Block b{};
  for (int i = 0; i < 8; ++i) {
    b.set[i] = fold;
    b.want[i] = c;
  }
  return b;
}

// The n characters at s against a literal (folded in text mode): equal as text::Equal has them.
template <bool Text>
MATCH_KERNEL bool EqualRun(const char16_t* s, const char16_t* lit, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if ((Text ? text::FoldAscii(s[i]) : s[i]) != lit[i]) return false;
  }
  return true;
}

// The eight characters at `at` against a block; no lane stops the others, so nothing branches.
MATCH_KERNEL bool BlockFits(const char16_t* at, const Block& b) {
  bool ok = true;
  for (int i = 0; i < 8; ++i) ok &= char16_t(at[i] | b.set[i]) == b.want[i];
  return ok;
}

// Bit i set when s[start + i] is the character, for i < n <= 64. The vector twin may read back to
// s[0].
MATCH_KERNEL std::uint64_t MaskOf(const char16_t* s, std::size_t start, std::size_t n, char16_t c, char16_t fold) {
  std::uint64_t mask = 0;
  for (std::size_t j = 0; j < n; ++j) mask |= static_cast<std::uint64_t>(char16_t(s[start + j] | fold) == c) << j;
  return mask;
}

// Bit i set when s[i] is the character of the lanes (see Lanes), for a name of 8 to 64 characters.
MATCH_KERNEL std::uint64_t NameMask(const char16_t* s, std::size_t len, const Block& lanes) {
  return MaskOf(s, 0, len, lanes.want[0], lanes.set[0]);
}

// Left-most place in [from, end) holding the character, end <= len; kNotFound when none.
MATCH_KERNEL std::size_t FindChar(const char16_t* s, std::size_t len, std::size_t from, std::size_t end, char16_t c,
                                  char16_t fold) {
  (void)len;
  for (std::size_t q = from; q < end; ++q) {
    if (char16_t(s[q] | fold) == c) return q;
  }
  return kNotFound;
}

}  // namespace scalar

}  // namespace matchKernels

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(CHART_TOOLS_SCALAR_MATCHING)
#include <emmintrin.h>

namespace matchKernels {

inline constexpr bool kVector = true;

namespace sse2 {

using scalar::Lanes;

MATCH_KERNEL __m128i Load(const char16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Eight copies of c, moved in from a full register: a 16-bit set1 lets the compiler pass c through
// a 2-byte store and a 4-byte load, which stalls on every name.
MATCH_KERNEL __m128i Splat(char16_t c) {
  const __m128i v = _mm_cvtsi32_si128(static_cast<int>(c));
  return _mm_shuffle_epi32(_mm_shufflelo_epi16(v, 0), 0);
}

// Eight characters of the name against eight of a literal (already folded in text mode).
template <bool Text>
MATCH_KERNEL bool Equal8(__m128i v, __m128i lit) {
  if (Text) {
    // 'A'-'Z' gain 32; the signed compares leave every code unit from U+8000 up alone.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16('A' - 1)),
                                        _mm_cmplt_epi16(v, _mm_set1_epi16('Z' + 1)));
    v = _mm_add_epi16(v, _mm_and_si128(upper, _mm_set1_epi16(32)));
  }
  return _mm_movemask_epi8(_mm_cmpeq_epi16(v, lit)) == 0xFFFF;
}

template <bool Text>
MATCH_KERNEL bool EqualRun(const char16_t* s, const char16_t* lit, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (!Equal8<Text>(Load(s + i), Load(lit + i))) return false;
  }
  if (i + 4 <= n) {
    // Four characters in the low half; the high half compares zero with zero.
    if (!Equal8<Text>(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i)),
                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lit + i)))) {
      return false;
    }
    i += 4;
  }
  return scalar::EqualRun<Text>(s + i, lit + i, n - i);
}

MATCH_KERNEL bool BlockFits(const char16_t* at, const Block& b) {
  auto field = [](const char16_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); };
  const __m128i v = _mm_or_si128(Load(at), field(b.set));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(v, field(b.want))) == 0xFFFF;
}

// Lanes of the eight characters at `at` that are the character (see above).
MATCH_KERNEL __m128i Hits(const char16_t* at, __m128i vc, __m128i vfold) {
  return _mm_cmpeq_epi16(_mm_or_si128(Load(at), vfold), vc);
}

// Bits of eight hits, in the low byte.
MATCH_KERNEL std::uint64_t Bits8(__m128i hits) {
  return static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_packs_epi16(hits, _mm_setzero_si128())) & 0xFF);
}

// Bits of sixteen hits, the first eight in the low byte.
MATCH_KERNEL std::uint64_t Bits16(__m128i first, __m128i second) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(first, second))));
}

// A short rest is read by one load that ends at s[start + n], overlapping what was seen; that load
// may reach back before start, never before s[0].
MATCH_KERNEL std::uint64_t MaskOf(const char16_t* s, std::size_t start, std::size_t n, char16_t c, char16_t fold) {
  const __m128i vc = Splat(c);
  const __m128i vfold = Splat(fold);
  std::uint64_t mask = 0;
  std::size_t j = 0;
  for (; j + 16 <= n; j += 16) {
    const char16_t* at = s + start + j;
    mask |= Bits16(Hits(at, vc, vfold), Hits(at + 8, vc, vfold)) << j;
  }
  if (j + 8 <= n) {
    mask |= Bits8(Hits(s + start + j, vc, vfold)) << j;
    j += 8;
  }
  // j < 64 below: a shift by 64 would be undefined.
  if (j == n) return mask;
  if (start + n >= 8) return mask | (Bits8(Hits(s + start + n - 8, vc, vfold)) >> (8 - (n - j))) << j;
  return mask | scalar::MaskOf(s, start + j, n - j, c, fold) << j;
}

// Sixteen characters at a time from the start, and the last sixteen (or, in a shorter name, the
// first and the last eight) read where they end at the name's end: their bits land again on places
// already seen, which is harmless, and nothing beyond the name is read.
MATCH_KERNEL std::uint64_t NameMask(const char16_t* s, std::size_t len, const Block& lanes) {
  const __m128i vc = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.want));
  const __m128i vfold = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.set));
  if (len < 16) {
    const std::uint64_t m = Bits16(Hits(s, vc, vfold), Hits(s + len - 8, vc, vfold));
    return (m & 0xFF) | (m >> 8) << (len - 8);
  }
  std::uint64_t mask = 0;
  for (std::size_t q = 0; q + 16 < len; q += 16) mask |= Bits16(Hits(s + q, vc, vfold), Hits(s + q + 8, vc, vfold)) << q;
  return mask | Bits16(Hits(s + len - 16, vc, vfold), Hits(s + len - 8, vc, vfold)) << (len - 16);
}

// A name of eight or more characters is read in blocks of eight, the last one moved back to end
// at the name's end, so the scan takes few branches; a shorter name is read one character at a
// time.
MATCH_KERNEL std::size_t FindChar(const char16_t* s, std::size_t len, std::size_t from, std::size_t end, char16_t c,
                                  char16_t fold) {
  if (len < 8) return scalar::FindChar(s, len, from, end, c, fold);
  const __m128i vc = Splat(c);
  const __m128i vfold = Splat(fold);
  for (std::size_t q = from; q < end; q += 8) {
    const std::size_t at = std::min(q, len - 8);
    const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(Hits(s + at, vc, vfold))) >> (2 * (q - at));
    if (m != 0) {
      const std::size_t hit = q + static_cast<std::size_t>(std::countr_zero(m)) / 2;
      return hit < end ? hit : kNotFound;
    }
  }
  return kNotFound;
}

}  // namespace sse2

namespace active = sse2;

}  // namespace matchKernels

#else

namespace matchKernels {
inline constexpr bool kVector = false;
namespace active = scalar;
}  // namespace matchKernels

#endif
