#include "toolkit/clsMatching.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fnmatch.h>
#endif

#include <algorithm>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "toolkit/clsFileString.h"
#include "toolkit/matchKernels.h"

namespace {

using Tokens = std::vector<std::u16string>;
using Result = std::optional<std::u16string>;  // nullopt: no match

// The caller order of every program: comparison and mode first, then the patterns.
clsMatching Make(const std::u16string& search, bool fileNameMode = true, int cmpMode = 1) {
  clsMatching m;
  m.SetCmpMode(cmpMode);
  m.SetFileNameMode(fileNameMode);
  m.SetMatchPattern(search);
  return m;
}

clsMatching MakeRule(const std::u16string& search, const std::u16string& replace, bool fileNameMode = true,
                     int cmpMode = 1) {
  clsMatching m = Make(search, fileNameMode, cmpMode);
  m.SetReplacePattern(replace);
  return m;
}

// The rewritten name; a name that does not match must come back untouched.
Result Apply(clsMatching& m, const std::u16string& name) {
  std::u16string work = name;
  if (m.MatchAndReplaceFileName(work)) return work;
  EXPECT_EQ(work, name);
  return std::nullopt;
}

std::string Show(const Tokens& t) {
  std::string s = "(";
  for (std::size_t i = 0; i < t.size(); ++i) s += (i ? "|" : "") + U8(t[i]);
  return s + ")";
}

}  // namespace

TEST(clsMatchingCompile, TokensNormalisedAndDisplayPatterns) {
  struct Case {
    std::u16string pattern;
    bool fileNameMode;
    Tokens tokens;
    std::u16string display;
  };
  const std::vector<Case> cases = {
      {u"a**b", true, {u"", u"a", u"*", u"b", u""}, u"a*b"},
      {u"*?*x", true, {u"", u"*", u"", u"?", u"x", u""}, u"*?x"},
      {u"?*??", true, {u"", u"?", u"", u"*", u"", u"?", u"", u"?", u""}, u"?*??"},
      {u"[#]", true, {u"", u"[#]", u""}, u"[#]"},
      {u"abc", false, {u"", u"*", u"abc", u"*", u""}, u"abc"},
      {u"?", false, {u"", u"?", u"", u"*", u""}, u"?"},
      {u"x?*?*", false, {u"", u"*", u"x", u"?", u"", u"?", u"", u"*", u""}, u"x??*"},
      {u"*", false, {u"", u"*", u""}, u"*"},
      {u"*a", false, {u"", u"*", u"a", u"*", u""}, u"*a"},
      {u"?a", false, {u"", u"*", u"", u"?", u"a", u"*", u""}, u"?a"},
  };
  for (const auto& c : cases) {
    clsMatching m = Make(c.pattern, c.fileNameMode);
    Tokens t;
    EXPECT_EQ(m.GetMatchDec(t), static_cast<int>(c.tokens.size())) << U8(c.pattern);
    EXPECT_EQ(t, c.tokens) << U8(c.pattern) << " gave " << Show(t);
    std::u16string joined;
    for (const auto& token : c.tokens) joined += token;
    EXPECT_EQ(m.MatchPattern(), joined) << U8(c.pattern);
    EXPECT_EQ(m.MatchPatternDisp(), c.display) << U8(c.pattern);
    EXPECT_EQ(m.CanMatching(), 0);
  }
}

TEST(clsMatchingMatch, WholeNamesAndSubstrings) {
  struct Case {
    std::u16string pattern;
    bool fileNameMode;
    int cmpMode;
    std::u16string name;
    bool want;
  };
  const std::vector<Case> cases = {
      {u"*.wav", true, 1, u"kick.wav", true},
      {u"*.wav", true, 1, u"a.WAV", true},
      {u"*.wav", true, 1, u"x.wav.bak", false},
      {u"*.wav", true, 1, u"wav", false},
      {u"*.WAV", true, 0, u"a.wav", false},
      {u"a?c", true, 1, u"abc", true},
      {u"a?c", true, 1, u"abcd", false},
      {u"a*a", true, 1, u"a", false},  // both literals cannot share the one character
      {u"*ab*ab*", true, 1, u"xaba", false},
      {u"#WAV?? *.wav", true, 1, u"#wav01 kick.wav", true},
      {u"*\uFF21", true, 1, u"x\uFF41", false},  // full-width letters keep their case
      {u"\u3042*", true, 1, u"\u3042\xDC81", true},
      {u"\xDC61", true, 1, u"a", false},  // an escaped byte is not the letter
      {u"[a]", true, 1, u"[A]", true},    // "[" is literal
      {u"a{bcd*", true, 1, u"A[BCD", false},  // "[" and "{" differ by 32 but are no letters
      {u"abc", false, 1, u"111abc222", true},
      {u"abc", false, 1, u"111ab", false},
      {u"?", false, 1, u"z", true},
      {u"?", false, 1, u"", false},
      {u"x?*?*", false, 1, u"zzx12", true},
      {u"x?*?*", false, 1, u"ax1", false},
      {u"*", false, 1, u"", true},
  };
  for (const auto& c : cases) {
    clsMatching m = Make(c.pattern, c.fileNameMode, c.cmpMode);
    EXPECT_EQ(m.IsMatch(c.name), c.want) << U8(c.pattern) << " on " << U8(c.name) << " mode " << c.fileNameMode;
  }
  // The comparison mode takes effect at the next match, without a rebuild, on names that the
  // blocks at the ends decide (eight characters and more) and on shorter ones.
  clsMatching m = Make(u"*.WAV", true, 0);
  m.SetCmpMode(1);
  EXPECT_TRUE(m.IsMatch(u"a.wav"));
  EXPECT_TRUE(m.IsMatch(u"kick_01.wav"));
  m.SetCmpMode(0);
  EXPECT_FALSE(m.IsMatch(u"kick_01.wav"));
  EXPECT_TRUE(m.IsMatch(u"kick_01.WAV"));
}

// The end blocks read eight characters: they decide end segments of up to eight, and only sift
// for longer ones, whose characters beyond the block the full match must still compare.
TEST(clsMatchingMatch, EndSegmentsAroundEightCharacters) {
  struct Case {
    std::u16string pattern;
    std::u16string name;
    bool want;
  };
  const std::vector<Case> cases = {
      {u"*.wav", u"abc.WAV", true},   // seven characters: no block
      {u"*.wav", u"abcd.WAV", true},  // eight: both blocks read the whole name
      {u"*.wav", u"abcd.WAX", false},
      {u"ab?d*", u"ABxDefgh", true},
      {u"ab?d*", u"ABxEefgh", false},
      {u"#wav?? *.ogg", u"#WAV01 k.OGG", true},
      {u"#wav?? *.ogg", u"#WAV01_k.OGG", false},
      {u"*x.wav.backup", u"aX.WAV.backup", true},   // tail segment of twelve
      {u"*x.wav.backup", u"ay.wav.backup", false},  // differs before the last eight characters
      {u"longhead_x*", u"LONGHEAD_X.wav", true},
      {u"longhead_x*", u"LONGHEAD_Y.wav", false},
      {u"ab*_*_*yz", u"AB_cd_efgYZ", true},
      {u"ab*_*_*yz", u"AB_cdefghYZ", false},
      {u"abcdefghij", u"ABCDEFGHIJ", true},  // one segment
      {u"abcdefghij", u"ABCDEFGHIJK", false},
  };
  for (const auto& c : cases) {
    clsMatching m = Make(c.pattern, true, 1);
    // Also from storage of its own on the heap, where the sanitizer build sees a read before it.
    std::u16string own;
    own.reserve(64);
    own = c.name;
    EXPECT_EQ(m.IsMatch(c.name), c.want) << U8(c.pattern) << " on " << U8(c.name);
    EXPECT_EQ(m.IsMatch(own), c.want) << U8(c.pattern) << " on " << U8(c.name);
  }
}

// The vector kernels against their plain twins, on runs of every length up to 80 over characters
// at the edges of what text mode folds and of the signed compares.
TEST(clsMatchingKernels, VectorKernelsAgreeWithTheirScalarTwins) {
  if (!matchKernels::kVector) GTEST_SKIP() << "this build has the scalar kernels only";
  namespace vec = matchKernels::active;
  namespace plain = matchKernels::scalar;
  std::mt19937 rng(5);
  const char16_t chars[] = {u'a', u'A', u'z', u'Z', u'@', u'[', u'`', u'{', u'_', u'.', 0xFF21, 0x8041, 0xDC41, 0xFFFF};
  auto pick = [&] { return chars[rng() % std::size(chars)]; };
  auto letter = [](char16_t c) { return char16_t(c | 32) >= u'a' && char16_t(c | 32) <= u'z'; };
  auto flip = [&](char16_t c) { return letter(c) ? char16_t(c ^ 32) : c; };
  for (int round = 0; round < 3000; ++round) {
    const std::size_t len = rng() % 81;
    std::u16string s(len, u' '), lit, folded;
    for (auto& c : s) c = pick();
    for (const char16_t c : s) lit.push_back(rng() % 4 == 0 ? flip(c) : c);
    if (len != 0 && rng() % 3 == 0) lit[rng() % len] = pick();
    for (const char16_t c : lit) folded.push_back(clsFileString::FoldAscii(c));
    ASSERT_EQ(vec::EqualRun<false>(s.data(), lit.data(), len), plain::EqualRun<false>(s.data(), lit.data(), len));
    ASSERT_EQ(vec::EqualRun<true>(s.data(), folded.data(), len), plain::EqualRun<true>(s.data(), folded.data(), len));

    const char16_t lower = clsFileString::FoldAscii(pick());
    const char16_t fold = letter(lower) ? 0x20 : 0;
    for (const auto& [c, f] : {std::pair{lower, char16_t(0)}, std::pair{lower, fold}}) {
      const std::size_t start = len == 0 ? 0 : rng() % len, n = std::min<std::size_t>(len - start, 64);
      const std::size_t end = start + rng() % (len - start + 1);
      ASSERT_EQ(vec::MaskOf(s.data(), start, n, c, f), plain::MaskOf(s.data(), start, n, c, f)) << len;
      ASSERT_EQ(vec::FindChar(s.data(), len, start, end, c, f), plain::FindChar(s.data(), len, start, end, c, f));
      if (len >= 8 && len <= 64) {
        ASSERT_EQ(vec::NameMask(s.data(), len, vec::Lanes(c, f)), plain::NameMask(s.data(), len, plain::Lanes(c, f)));
      }
    }
    if (len < 8) continue;
    // A block that mostly fits the eight characters at `at`: lanes that care about nothing, exact
    // lanes and text-mode lanes.
    const char16_t* at = s.data() + rng() % (len - 7);
    matchKernels::Block b{};
    for (int i = 0; i < 8; ++i) {
      const char16_t c = rng() % 8 == 0 ? pick() : at[i], low = clsFileString::FoldAscii(c);
      const int kind = static_cast<int>(rng() % 3);
      b.set[i] = kind == 0 ? 0xFFFF : kind == 1 ? 0 : (letter(low) ? 0x20 : 0);
      b.want[i] = kind == 0 ? 0xFFFF : kind == 1 ? c : low;
    }
    ASSERT_EQ(vec::BlockFits(at, b), plain::BlockFits(at, b)) << len;
  }
}

// Text-mode literals are compared character by character; this must equal FileStrComp's notion
// of equality for every code unit: its classes of equal characters are single characters and the
// pairs of ASCII letters.
TEST(clsMatchingMatch, TextModeLiteralEqualityAgreesWithFileStrComp) {
  const clsFileString fs;
  std::vector<char16_t> all(0x10000);
  std::iota(all.begin(), all.end(), char16_t(0));
  auto str = [](char16_t c) { return std::u16string(1, c); };
  std::stable_sort(all.begin(), all.end(),
                   [&](char16_t a, char16_t b) { return fs.FileStrComp(str(a), str(b), 1) < 0; });
  int pairs = 0;
  for (std::size_t i = 0; i + 1 < all.size(); ++i) {
    const char16_t a = all[i], b = all[i + 1];
    if (a == u'*' || a == u'?') continue;
    const bool equal = fs.FileStrComp(str(a), str(b), 1) == 0;
    pairs += equal;
    // Every pair that FileStrComp equates, and a sample of the neighbours it tells apart.
    if (!equal && a % 61 != 0) continue;
    clsMatching m = Make(str(a), true, 1);
    ASSERT_EQ(m.IsMatch(str(b)), equal) << int(a) << " / " << int(b);
  }
  EXPECT_EQ(pairs, 26);
}

TEST(clsMatchingMatch, EmptyPatternMatchesNothing) {
  clsMatching fresh;
  EXPECT_EQ(fresh.CanMatching(), 1);
  EXPECT_FALSE(fresh.IsMatch(u""));

  clsMatching m = MakeRule(u"*.wav", u"*.ogg");
  m.SetMatchPattern(u"");
  EXPECT_EQ(m.CanMatching(), 1);
  EXPECT_EQ(m.CanReplace() & 1, 1);
  for (const std::u16string name : {u"", u"a.wav", u"*"}) EXPECT_FALSE(m.IsMatch(name)) << U8(name);
  EXPECT_EQ(Apply(m, u"a.wav"), std::nullopt);
  Tokens dec;
  EXPECT_EQ(m.GetMatchDec(dec), 0);
  EXPECT_TRUE(dec.empty());

  // After the empty pattern the same pattern is a new build, and pairs the replace pattern anew.
  m.SetMatchPattern(u"*.wav");
  EXPECT_EQ(m.CanReplace(), 0);
  EXPECT_EQ(Apply(m, u"a.wav"), u"a.ogg");
}

// Middle segments over more than one 64-character block of a long name.
TEST(clsMatchingMatch, ManySegmentsOnALongName) {
  std::u16string pattern, name(5000, u'a');
  for (int i = 0; i < 200; ++i) pattern += u"*ab";
  clsMatching m = Make(pattern + u"*", true, 1);
  EXPECT_FALSE(m.IsMatch(name));
  for (int i = 0; i < 200; ++i) name += u"b_a";
  EXPECT_TRUE(m.IsMatch(name));
}

TEST(clsMatchingReplace, RewritesMatchingNames) {
  struct Case {
    std::u16string search, replace;
    bool fileNameMode;
    std::u16string name;
    Result want;
  };
  const std::vector<Case> cases = {
      {u"*.wav", u"*.ogg", true, u"kick.wav", u"kick.ogg"},
      {u"*.wav", u"*.ogg", true, u"a.WAV", u"a.ogg"},
      {u"*.wav", u"*.ogg", true, u"x.wav.bak", std::nullopt},
      {u"a?c", u"x?y", true, u"abc", u"xby"},
      {u"*_*", u"*-*", true, u"a_b_c", u"a-b_c"},
      {u"*_*_*", u"*|*|*", true, u"a_b_c_d", u"a|b|c_d"},
      {u"*", u"new_*", true, u"k.wav", u"new_k.wav"},
      {u"*.wav", u"*", true, u"k.wav", u"k"},
      {u"*01*", u"*02*", true, u"a01b01c", u"a02b01c"},
      {u"s_??.wav", u"s??.wav", true, u"s_01.wav", u"s01.wav"},
      {u"?*?", u"?-*-?", true, u"abcd", u"a-bc-d"},
      {u"?a", u"?a_c", true, u"xA", u"xa_c"},
      {u"#WAV?? *.wav", u"#WAV?? *.ogg", true, u"#wav0A kick.wav", u"#WAV0A kick.ogg"},
      {u"*.wav", u"", true, u"k.wav", u""},
      {u"abc", u"xyz", false, u"111abc222", u"111xyz222"},
      {u"abc", u"xyz", false, u"ABC", u"xyz"},
      {u"abc", u"xyz", false, u"xabcabc", u"xxyzabc"},
      {u".wav", u"", false, u"k.wav", u"k"},
      {u"a?c", u"a_c", false, u"zabcz", u"za_cz"},
      {u"?", u"_", false, u"ab", u"_b"},
      {u"*", u"", false, u"ab", u""},
  };
  for (const auto& c : cases) {
    clsMatching m = MakeRule(c.search, c.replace, c.fileNameMode);
    ASSERT_EQ(m.CanReplace(), 0) << U8(c.search) << " -> " << U8(c.replace);
    EXPECT_EQ(Apply(m, c.name), c.want) << U8(c.search) << " -> " << U8(c.replace) << " on " << U8(c.name);
  }
}

TEST(clsMatchingReplace, RuleStatus) {
  struct Case {
    std::u16string search, replace;
    bool fileNameMode;
    int want;
  };
  const std::vector<Case> cases = {
      {u"*", u"**", true, 3},
      {u"?", u"??", true, 3},
      {u"*.wav", u"*.*", true, 3},
      {u"*?", u"?*", true, 1},
      {u"*_?", u"?_*", true, 1},
      {u"??*", u"*??", true, 1},  // the fill runs past the last search token
      {u"*_*", u"*", true, 4},
      {u"*_*", u"*_*", true, 0},
      {u"?*?", u"?*?", false, 3},  // the search pattern's wrapping "*" moved behind its last "?"
      {u"", u"*", true, 1},
  };
  for (const auto& c : cases) {
    clsMatching m = MakeRule(c.search, c.replace, c.fileNameMode);
    EXPECT_EQ(m.CanReplace(), c.want) << U8(c.search) << " -> " << U8(c.replace);
    if ((c.want & 1) != 0) {
      EXPECT_EQ(Apply(m, u"ab_cd"), std::nullopt) << U8(c.search) << " -> " << U8(c.replace);
    }
  }
}

// Which replace token each search position receives, from the start and from the end.
TEST(clsMatchingReplace, Pairings) {
  struct Case {
    std::u16string search, replace;
    int status;
    Tokens forward, backward;
  };
  const std::vector<Case> cases = {
      // From the end, ".ogg" finds no like and fills the first free position, the last one.
      {u"*.wav", u"*.ogg", 0, {u"", u"*", u".ogg", u""}, {u"", u"*", u"", u".ogg"}},
      // "b" extends nothing of the search pattern; it takes the empty position after the "*".
      {u"*?", u"b?", 0, {u"", u"", u"b", u"?", u""}, {u"", u"", u"b", u"?", u""}},
      // The wildcards find their like in order, skipping the unmatched "?" and "*" of the search.
      {u"?*?a*", u"*?", 0,
       {u"", u"", u"", u"*", u"", u"?", u"", u"", u""},
       {u"", u"", u"", u"*", u"", u"?", u"", u"", u""}},
      // "a_c" extends the search literal "a" next to the shared start, not the later "a_c".
      {u"?a*a_c?x", u"?a_c?y", 0,
       {u"", u"?", u"a_c", u"", u"", u"?", u"y", u""},
       {u"", u"?", u"a_c", u"", u"", u"?", u"", u"y"}},
      {u"*_*??", u"?*", 4,
       {u"", u"", u"", u"", u"", u"?", u"", u"*", u""},
       {u"", u"?", u"", u"*", u"", u"", u"", u"", u""}},
  };
  for (const auto& c : cases) {
    clsMatching m = MakeRule(c.search, c.replace);
    EXPECT_EQ(m.CanReplace(), c.status) << U8(c.search) << " -> " << U8(c.replace);
    Tokens forward, backward;
    EXPECT_EQ(m.GetReplaceDec(forward, false), static_cast<int>(c.forward.size()));
    EXPECT_EQ(m.GetReplaceDec(backward, true), static_cast<int>(c.backward.size()));
    EXPECT_EQ(forward, c.forward) << U8(c.search) << " -> " << U8(c.replace) << " gave " << Show(forward);
    EXPECT_EQ(backward, c.backward) << U8(c.search) << " -> " << U8(c.replace) << " gave " << Show(backward);
  }
  clsMatching m = MakeRule(u"?*?a*", u"*?");
  EXPECT_EQ(Apply(m, u"xYZaW"), u"YZ");
}

TEST(clsMatchingReplace, AmbiguousRuleCanUseEitherPairing) {
  clsMatching m = MakeRule(u"*_*", u"*");
  ASSERT_EQ(m.CanReplace(), 4);
  EXPECT_EQ(Apply(m, u"a_b"), u"a");
  m.SetReplacePatternReverse(true);
  EXPECT_EQ(Apply(m, u"a_b"), u"b");
  Tokens inUse, backward;
  m.GetReplaceDec(inUse, false);
  m.GetReplaceDec(backward, true);
  EXPECT_EQ(inUse, backward);

  // Neither the same pattern nor the same mode rebuilds, so the chosen pairing stays.
  m.SetMatchPattern(u"*_*");
  m.SetFileNameMode(true);
  EXPECT_EQ(Apply(m, u"a_b"), u"b");
  m.SetReplacePatternReverse(false);
  EXPECT_EQ(Apply(m, u"a_b"), u"a");

  // Only an ambiguous rule can switch.
  clsMatching plain = MakeRule(u"*_*", u"*-*");
  plain.SetReplacePatternReverse(true);
  EXPECT_EQ(Apply(plain, u"a_b_c"), u"a-b_c");
}

TEST(clsMatchingReplace, ModeChangeRebuildsAndPairsTheReplacePatternAgain) {
  clsMatching m;
  m.SetCmpMode(1);
  m.SetMatchPattern(u"abc");
  m.SetReplacePattern(u"xyz");
  EXPECT_EQ(m.MatchPattern(), u"*abc*");
  EXPECT_EQ(m.ReplacePattern(), u"*xyz*");
  EXPECT_EQ(m.ReplacePatternDisp(), u"xyz");
  EXPECT_EQ(Apply(m, u"1abc2"), u"1xyz2");

  m.SetFileNameMode(true);
  EXPECT_EQ(m.MatchPattern(), u"abc");
  EXPECT_EQ(m.ReplacePattern(), u"xyz");
  EXPECT_EQ(m.CanReplace(), 0);
  EXPECT_EQ(Apply(m, u"1abc2"), std::nullopt);
  EXPECT_EQ(Apply(m, u"ABC"), u"xyz");
}

// The program order: empty patterns first, the replace pattern paired once the search pattern is
// there; an empty replace pattern in file-name mode empties every matching name.
TEST(clsMatchingReplace, ReplacePatternIsPairedWhenTheSearchPatternArrives) {
  clsMatching m;
  m.SetMatchPattern(u"");
  m.SetReplacePattern(u"");
  m.SetCmpMode(1);
  m.SetFileNameMode(true);
  m.SetMatchPattern(u"#BMP?? *");
  EXPECT_EQ(m.CanReplace(), 0);
  Tokens dec;
  EXPECT_EQ(m.GetReplaceDec(dec, false), 8);
  EXPECT_EQ(dec, Tokens(8));
  EXPECT_EQ(Apply(m, u"#bmp01 a.bmp"), u"");

  clsMatching later;
  later.SetFileNameMode(true);
  later.SetReplacePattern(u"*.ogg");
  EXPECT_EQ(later.CanReplace(), 1);
  EXPECT_EQ(later.ReplacePattern(), u"*.ogg");
  later.SetMatchPattern(u"*.wav");
  EXPECT_EQ(later.CanReplace(), 0);
  EXPECT_EQ(Apply(later, u"k.wav"), u"k.ogg");
}

namespace {

// Random patterns of "*", "?" and literal runs over a small alphabet (so that many names match;
// "@", "`", "Z", "z" and "{" border the letters that text mode folds), and names made either at
// random or by filling in a pattern.
struct Generator {
  std::mt19937 rng{20240613};
  const std::string alphabet = "abAB._@`Zz{";

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
  char Letter() { return alphabet[static_cast<std::size_t>(Below(static_cast<int>(alphabet.size())))]; }

  // noDoubleStar: no run of adjacent wildcards holds two "*".
  std::string Pattern(bool noDoubleStar) {
    std::string p;
    const int pieces = Below(7);
    bool runHasStar = false;
    for (int i = 0; i < pieces; ++i) {
      const int kind = Below(3);
      if (kind == 0 && !(noDoubleStar && runHasStar)) {
        p += '*';
        runHasStar = true;
      } else if (kind == 1) {
        p += '?';
      } else {
        for (int n = 1 + Below(Below(4) == 0 ? 12 : 3); n > 0; --n) p += Letter();  // some span 8 and more
        runHasStar = false;
      }
    }
    return p;
  }

  std::string Name(const std::string& pattern) {
    std::string s;
    if (Below(2) == 0) {
      for (int n = Below(10); n > 0; --n) s += Letter();
      return s;
    }
    for (const char c : pattern) {
      if (c == '*') {
        for (int n = Below(4); n > 0; --n) s += Letter();
      } else if (c == '?') {
        s += Letter();
      } else if (Below(8) == 0) {
        s += Letter();  // a stray change, mostly a near miss
      } else {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        s += (letter && Below(2)) ? char(c ^ 32) : c;  // the other case of a letter
      }
    }
    return s;
  }
};

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

#ifndef _WIN32  // the C library's fnmatch as the reference; Windows has none
TEST(clsMatchingDifferential, AgreesWithFnmatch) {
  Generator gen;
  int matches = 0, tries = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string pattern = gen.Pattern(false);
    const std::string wrapped = "*" + pattern + "*";
    for (const int cmpMode : {0, 1}) {
      const int flags = FNM_NOESCAPE | (cmpMode ? FNM_CASEFOLD : 0);
      clsMatching whole = Make(Wide(pattern), true, cmpMode);
      clsMatching part = Make(Wide(pattern), false, cmpMode);
      for (int k = 0; k < 12; ++k) {
        const std::string name = gen.Name(pattern);
        const bool want = fnmatch(pattern.c_str(), name.c_str(), flags) == 0;
        ++tries;
        matches += want;
        if (pattern.empty()) {
          ASSERT_FALSE(whole.IsMatch(Wide(name)));
        } else {
          ASSERT_EQ(whole.IsMatch(Wide(name)), want) << pattern << " on " << name << " cmp " << cmpMode;
          ASSERT_EQ(part.IsMatch(Wide(name)), fnmatch(wrapped.c_str(), name.c_str(), flags) == 0)
              << "substring " << pattern << " on " << name << " cmp " << cmpMode;
        }
      }
    }
  }
  // Enough of both answers for the comparison to mean something.
  EXPECT_GT(matches, tries / 5);
  EXPECT_LT(matches, tries * 4 / 5);
}

// Patterns whose middle segments are single characters ("*_*_*", "ab*x*y*?") are placed from
// masks of the whole name for names of 8 to 64 characters, and by a scan otherwise: names of every
// length from 0 to 90 cover both. Replacing each middle character by "#" shows where it was placed:
// at the left-most places after the first segment.
TEST(clsMatchingDifferential, OneCharacterMiddlesOnNamesOfEveryLength) {
  std::mt19937 rng(77);
  auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const std::string middles = "_aA.";
  const std::string ends[] = {"", "?", "#", "??", "#?", "?#?"};  // no letters: the literals keep their case
  int matches = 0, tries = 0;
  for (int round = 0; round < 400; ++round) {
    const std::string head = ends[below(6)], tail = ends[below(6)];
    const int count = 1 + below(5);
    const bool same = below(2) == 0;
    std::string pattern = head, replace = head, chars;
    for (int k = 0; k < count; ++k) {
      chars += same ? middles[0] : middles[static_cast<std::size_t>(below(4))];
      pattern += std::string("*") + chars.back();
      replace += "*#";
    }
    pattern += "*" + tail;
    replace += "*" + tail;
    for (const int cmpMode : {0, 1}) {
      const int flags = FNM_NOESCAPE | (cmpMode ? FNM_CASEFOLD : 0);
      clsMatching m = MakeRule(Wide(pattern), Wide(replace), true, cmpMode);
      ASSERT_EQ(m.CanReplace(), 0) << pattern;
      for (int len = 0; len <= 90; ++len) {
        std::string name;
        for (int i = 0; i < len; ++i) {
          name += below(6) == 0 ? chars[static_cast<std::size_t>(below(count))] : "xb_A#."[below(6)];
        }
        const bool want = fnmatch(pattern.c_str(), name.c_str(), flags) == 0;
        ++tries;
        matches += want;
        const Result got = Apply(m, Wide(name));
        ASSERT_EQ(got.has_value(), want) << pattern << " on " << name << " cmp " << cmpMode;
        if (!want) continue;
        // Where the left-most placement puts each middle character.
        std::string expect = name;
        std::size_t at = head.size();
        for (const char c : chars) {
          auto equal = [&](char n) { return n == c || (cmpMode && std::tolower(n) == std::tolower(c)); };
          while (!equal(expect[at])) ++at;
          expect[at++] = '#';
        }
        ASSERT_EQ(U8(*got), expect) << pattern << " on " << name << " cmp " << cmpMode;
      }
    }
  }
  EXPECT_GT(matches, tries / 5);
  EXPECT_LT(matches, tries * 4 / 5);
}

#endif

TEST(clsMatchingProperty, ReplacingByTheSearchPatternKeepsEveryName) {
  Generator gen;
  const clsFileString fs;
  int rewritten = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string pattern = gen.Pattern(true);
    if (pattern.empty()) continue;
    for (const int cmpMode : {0, 1}) {
      clsMatching m = MakeRule(Wide(pattern), Wide(pattern), true, cmpMode);
      ASSERT_EQ(m.CanReplace(), 0) << pattern;
      for (int k = 0; k < 8; ++k) {
        const std::u16string name = Wide(gen.Name(pattern));
        const Result out = Apply(m, name);
        ASSERT_EQ(out.has_value(), m.IsMatch(name)) << pattern << " on " << U8(name);
        if (!out) continue;
        ++rewritten;
        ASSERT_EQ(fs.FileStrComp(*out, name, cmpMode), 0) << pattern << ": " << U8(name) << " -> " << U8(*out);
      }
    }
  }
  EXPECT_GT(rewritten, 5000);
}
