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

#include "clsFileString.h"

// The kernels are small and run for every name; keep them in the loops that call them.
#if defined(__GNUC__)
#define MATCH_KERNEL inline __attribute__((always_inline))
#else
#define MATCH_KERNEL inline
#endif

namespace matchKernels {

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Eight characters of a segment compared at once: a name character c in lane i passes when
// (c & care[i]) equals exact[i], in text mode when ((c | fold[i]) & care[i]) equals lower[i] (fold
// is 0x20 in the lanes of letters, the bit that joins a capital to its small letter). Lanes under
// a "?" or outside the segment care about nothing.
struct alignas(16) Block {
  char16_t care[8], exact[8], lower[8], fold[8];
};

namespace scalar {

// The n characters at s against a literal (folded in text mode): equal as FileStrComp has them.
template <bool Text>
MATCH_KERNEL bool EqualRun(const char16_t* s, const char16_t* lit, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if ((Text ? clsFileString::FoldAscii(s[i]) : s[i]) != lit[i]) return false;
  }
  return true;
}

// The eight characters at `at` against a block; no lane stops the others, so nothing branches.
template <bool Text>
MATCH_KERNEL bool BlockFits(const char16_t* at, const Block& b) {
  bool ok = true;
  for (int i = 0; i < 8; ++i) {
    ok &= Text ? char16_t((at[i] | b.fold[i]) & b.care[i]) == b.lower[i] : char16_t(at[i] & b.care[i]) == b.exact[i];
  }
  return ok;
}

// Bit i set when s[start + i] is a or b, for i < n <= 64. The vector twin may read back to s[0].
MATCH_KERNEL std::uint64_t MaskOf(const char16_t* s, std::size_t start, std::size_t n, char16_t a, char16_t b) {
  std::uint64_t mask = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const char16_t c = s[start + j];
    mask |= static_cast<std::uint64_t>(c == a || c == b) << j;
  }
  return mask;
}

// Bit i set when s[i] is a or b, for a name of 8 to 64 characters.
MATCH_KERNEL std::uint64_t NameMask(const char16_t* s, std::size_t len, char16_t a, char16_t b) {
  return MaskOf(s, 0, len, a, b);
}

// Left-most place in [from, end) holding a or b, end <= len; kNotFound when none.
MATCH_KERNEL std::size_t FindChar(const char16_t* s, std::size_t len, std::size_t from, std::size_t end, char16_t a,
                                  char16_t b) {
  (void)len;
  for (std::size_t q = from; q < end; ++q) {
    if (s[q] == a || s[q] == b) return q;
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

template <bool Text>
MATCH_KERNEL bool BlockFits(const char16_t* at, const Block& b) {
  auto field = [](const char16_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); };
  __m128i v = Load(at);
  if (Text) v = _mm_or_si128(v, field(b.fold));
  v = _mm_and_si128(v, field(b.care));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(v, field(Text ? b.lower : b.exact))) == 0xFFFF;
}

MATCH_KERNEL __m128i Hits(const char16_t* at, __m128i va, __m128i vb) {
  const __m128i v = Load(at);
  return _mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb));
}

// Bits of eight hits, in the low byte.
MATCH_KERNEL std::uint64_t Bits8(__m128i hits) {
  return static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_packs_epi16(hits, _mm_setzero_si128())) & 0xFF);
}

// A short rest is read by one load that ends at s[start + n], overlapping what was seen; that load
// may reach back before start, never before s[0].
MATCH_KERNEL std::uint64_t MaskOf(const char16_t* s, std::size_t start, std::size_t n, char16_t a, char16_t b) {
  const __m128i va = Splat(a);
  const __m128i vb = Splat(b);
  std::uint64_t mask = 0;
  std::size_t j = 0;
  for (; j + 16 <= n; j += 16) {
    const char16_t* at = s + start + j;
    mask |= static_cast<std::uint64_t>(
                _mm_movemask_epi8(_mm_packs_epi16(Hits(at, va, vb), Hits(at + 8, va, vb))) & 0xFFFF)
            << j;
  }
  if (j + 8 <= n) {
    mask |= Bits8(Hits(s + start + j, va, vb)) << j;
    j += 8;
  }
  if (j < n && start + n >= 8) return mask | (Bits8(Hits(s + start + n - 8, va, vb)) >> (8 - (n - j))) << j;
  return mask | scalar::MaskOf(s, start + j, n - j, a, b) << j;
}

// Blocks of eight characters at 0, 8, 16, ..., each moved back to end at the name's end when it
// would pass it (its bits then land on places already seen, which is harmless), so nothing beyond
// the name is read. Four blocks cover names of up to 32 characters, eight the rest; within each
// count nothing branches on the length.
MATCH_KERNEL std::uint64_t NameMask(const char16_t* s, std::size_t len, char16_t a, char16_t b) {
  const __m128i va = Splat(a);
  const __m128i vb = Splat(b);
  // In text mode a and b are the same for every character but a letter.
  const bool one = a == b;
  auto hits = [&](std::size_t at) {
    const __m128i v = Load(s + at);
    return one ? _mm_cmpeq_epi16(v, va) : _mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb));
  };
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

// A name of eight or more characters is read in blocks of eight, the last one moved back to end
// at the name's end, so the scan takes few branches; a shorter name is read one character at a
// time.
MATCH_KERNEL std::size_t FindChar(const char16_t* s, std::size_t len, std::size_t from, std::size_t end, char16_t a,
                                  char16_t b) {
  if (len < 8) return scalar::FindChar(s, len, from, end, a, b);
  const __m128i va = Splat(a);
  const __m128i vb = Splat(b);
  for (std::size_t q = from; q < end; q += 8) {
    const std::size_t at = std::min(q, len - 8);
    const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(Hits(s + at, va, vb))) >> (2 * (q - at));
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
