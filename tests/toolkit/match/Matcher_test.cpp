#include "toolkit/match/Matcher.h"

#ifndef _WIN32
#include <fnmatch.h>
#endif

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>

#include "tests/support/TempDir.h"
#include "toolkit/text/Compare.h"

namespace {

using Tokens = std::vector<std::u16string>;
using Result = std::optional<std::u16string>;  // nullopt: no match
using text::CaseMode;
using Status = Matcher::ReplaceStatus;

// The caller order of every program: comparison and mode first, then the patterns.
Matcher Make(const std::u16string& search, bool fileNameMode = true, CaseMode cmpMode = CaseMode::Text,
                 const std::optional<std::u16string>& replace = std::nullopt) {
  Matcher m;
  m.SetCmpMode(cmpMode);
  m.SetFileNameMode(fileNameMode);
  m.SetMatchPattern(search);
  if (replace) m.SetReplacePattern(*replace);
  return m;
}

// The rewritten name; a name that does not match must come back untouched.
Result Apply(Matcher& m, const std::u16string& name) {
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

TEST(MatcherCompile, TokensNormalised) {
  struct Case { std::u16string pattern; bool fileNameMode; std::string tokens; };
  const std::vector<Case> cases = {
      {u"a**b", true, "|a|*|b|"},   {u"*?*x", true, "|*||?|x|"},        {u"?*??", true, "|?||*||?||?|"},
      {u"[#]", true, "|[#]|"},      {u"abc", false, "|*|abc|*|"},       {u"?", false, "|?||*|"},
      {u"*", false, "|*|"},         {u"x?*?*", false, "|*|x|?||?||*|"}, {u"*a", false, "|*|a|*|"},
      {u"?a", false, "|*||?|a|*|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.pattern));
    Matcher m = Make(c.pattern, c.fileNameMode);
    EXPECT_EQ(Show(m.MatchTokens()), "(" + c.tokens + ")");
    std::string joined = c.tokens;
    std::erase(joined, '|');
    EXPECT_EQ(std::tuple(U8(m.MatchPattern()), m.CanMatching()), std::tuple(joined, true));
  }
}

// Names and patterns fnmatch cannot judge: code units beyond ASCII, stored bytes, a literal "[".
TEST(MatcherMatch, NamesAndPatternsFnmatchCannotJudge) {
  struct Case { std::u16string pattern, name; bool want, fileNameMode = true; };
  // Names stored in Shift-JIS bytes, as listed: second bytes of ド 83 68, ア 83 41, ヂ 83 61 are no letters.
  const std::u16string drum = text::DecodeNativeName(text::ToCp932(u"ドラムアタック_ドラムアタック.ogg"));
  const std::vector<Case> cases = {
      {u"*\uFF21", u"x\uFF41", false},  // full-width letters keep their case, as do code units from U+8000 up:
      {u"*x\u8061\u8062\u8063\u8064*", u"x\u8041\u8042\u8043\u8064", false},  // their low bits are no letter
      {u"\u3042*", u"\u3042\xDC81", true},
      {u"\xDC61", u"a", false},          // an escaped byte is not the letter
      {u"*A*", drum, false}, {u"*_*h*.ogg", drum, false}, {u"?a.ogg", text::DecodeNativeName("\x83\x61.ogg"), false}, {u"*_*.OGG", drum, true},
      {u"[a]", u"[A]", true},            // "[" is literal
      {u"a{bcd*", u"A[BCD", false},      // "[" and "{" differ by 32 but are no letters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.pattern) + " on " + U8(c.name));
    Matcher m = Make(c.pattern, c.fileNameMode);
    // Also from storage of its own on the heap, where the sanitizer build sees a read before it.
    std::u16string own;
    own.reserve(64);
    own = c.name;
    EXPECT_EQ(m.IsMatch(c.name), c.want);
    EXPECT_EQ(m.IsMatch(own), c.want);
  }
  // A new comparison mode holds from the next match, on names the end blocks decide (8+) and shorter.
  Matcher m = Make(u"*.WAV", true, CaseMode::Binary);
  m.SetCmpMode(CaseMode::Text);
  EXPECT_TRUE(m.IsMatch(u"a.wav"));
  EXPECT_TRUE(m.IsMatch(u"kick_01.wav"));
  m.SetCmpMode(CaseMode::Binary);
  EXPECT_FALSE(m.IsMatch(u"kick_01.wav"));
  EXPECT_TRUE(m.IsMatch(u"kick_01.WAV"));
}

// Middle segments over more than one 64-character block of a long name.
TEST(MatcherMatch, ManySegmentsOnALongName) {
  std::u16string pattern, name(5000, u'a');
  for (int i = 0; i < 200; ++i) pattern += u"*ab";
  Matcher m = Make(pattern + u"*");
  EXPECT_FALSE(m.IsMatch(name));
  for (int i = 0; i < 200; ++i) name += u"b_a";
  EXPECT_TRUE(m.IsMatch(name));
}

// A rule's status (Unpaired and ExtraWildcards change no name; Ambiguous has the pairing from the
// start in use) and what it makes of a name.
TEST(MatcherReplace, RewritesMatchingNames) {
  constexpr Status kReady = Status::Ready, kUnpaired = Status::Unpaired, kExtra = Status::ExtraWildcards;
  struct Case { std::u16string search, replace, name; Result want; Status status = kReady; bool fileNameMode = true; };
  const std::vector<Case> cases = {
      {u"*.wav", u"*.ogg", u"a.WAV", u"a.ogg"},         {u"a?c", u"x?y", u"abc", u"xby"},
      {u"*_*", u"*-*", u"a_b_c", u"a-b_c"},             {u"*_*_*", u"*|*|*", u"a_b_c_d", u"a|b|c_d"},
      {u"*", u"new_*", u"k.wav", u"new_k.wav"},         {u"*.wav", u"*", u"k.wav", u"k"},
      {u"*01*", u"*02*", u"a01b01c", u"a02b01c"},       {u"s_??.wav", u"s??.wav", u"s_01.wav", u"s01.wav"},
      {u"?*?", u"?-*-?", u"abcd", u"a-bc-d"},           {u"?a", u"?a_c", u"xA", u"xa_c"},
      {u"#WAV?? *.wav", u"#WAV?? *.ogg", u"#wav0A kick.wav", u"#WAV0A kick.ogg"},
      {u"*.wav", u"", u"k.wav", u""},                   {u"*_*", u"*_*", u"ab_cd", u"ab_cd"},
      {u"*_*", u"*--*", u"a_bc", u"a--bc"},  // the literal grows onto the capture after it
      {u"abc", u"xyz", u"111abc222", u"111xyz222", kReady, false},
      {u"abc", u"xyz", u"ABC", u"xyz", kReady, false},  {u"abc", u"xyz", u"xabcabc", u"xxyzabc", kReady, false},
      {u".wav", u"", u"k.wav", u"k", kReady, false},    {u"a?c", u"a_c", u"zabcz", u"za_cz", kReady, false},
      {u"?", u"_", u"ab", u"_b", kReady, false},        {u"*", u"", u"ab", u"", kReady, false},
      {u"*", u"**", u"ab_cd", std::nullopt, kExtra},    {u"?", u"??", u"ab_cd", std::nullopt, kExtra},
      {u"*.wav", u"*.*", u"ab_cd", std::nullopt, kExtra}, {u"*?", u"?*", u"ab_cd", std::nullopt, kUnpaired},
      {u"*_?", u"?_*", u"ab_cd", std::nullopt, kUnpaired}, {u"", u"*", u"ab_cd", std::nullopt, kUnpaired},
      {u"??*", u"*??", u"ab_cd", std::nullopt, kUnpaired},  // the fill runs past the last search token
      {u"*?a*", u"?a*a", u"xyab", std::nullopt, kUnpaired},  // pairs from the start only
      {u"*_*", u"*", u"ab_cd", u"ab", Status::Ambiguous},
      {u"?*?", u"?*?", u"ab_cd", std::nullopt, kExtra, false},  // the wrapping "*" moved behind the last "?"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.search) + " -> " + U8(c.replace) + " on " + U8(c.name));
    Matcher m = Make(c.search, c.fileNameMode, CaseMode::Text, c.replace);
    EXPECT_EQ(m.CanReplace(), c.status);
    EXPECT_EQ(Apply(m, c.name), c.want);
  }
}

// Which replace token each search position receives, from the start and from the end.
TEST(MatcherReplace, Pairings) {
  struct Case { std::u16string search, replace; Status status; std::string forward, backward; };
  const std::vector<Case> cases = {
      // From the end, ".ogg" finds no like and fills the first free position, the last one.
      {u"*.wav", u"*.ogg", Status::Ready, "|*|.ogg|", "|*||.ogg"},
      // "b" extends nothing of the search pattern; it takes the empty position after the "*".
      {u"*?", u"b?", Status::Ready, "||b|?|", "||b|?|"},
      // The wildcards find their like in order, skipping the unmatched "?" and "*" of the search.
      {u"?*?a*", u"*?", Status::Ready, "|||*||?|||", "|||*||?|||"},
      // "a_c" extends the search literal "a" next to the shared start, not the later "a_c".
      {u"?a*a_c?x", u"?a_c?y", Status::Ready, "|?|a_c|||?|y|", "|?|a_c|||?||y"},
      {u"*_*??", u"?*", Status::Ambiguous, "|||||?||*|", "|?||*|||||"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.search) + " -> " + U8(c.replace));
    Matcher m = Make(c.search, true, CaseMode::Text, c.replace);
    EXPECT_EQ(std::tuple(m.CanReplace(), Show(m.ReplaceTokens(false)), Show(m.ReplaceTokens(true))),
              std::tuple(c.status, "(" + c.forward + ")", "(" + c.backward + ")"));
  }
}

TEST(MatcherReplace, AmbiguousRuleCanUseEitherPairing) {
  Matcher m = Make(u"*_*", true, CaseMode::Text, u"*");
  m.SetReplacePatternReverse(true);
  EXPECT_EQ(Apply(m, u"a_b"), u"b");
  EXPECT_EQ(m.ReplaceTokens(false), m.ReplaceTokens(true));
  // Neither the same pattern nor the same mode rebuilds, so the chosen pairing stays.
  m.SetMatchPattern(u"*_*");
  m.SetFileNameMode(true);
  EXPECT_EQ(Apply(m, u"a_b"), u"b");
  m.SetReplacePatternReverse(false);
  EXPECT_EQ(Apply(m, u"a_b"), u"a");
  // Only an ambiguous rule can switch.
  Matcher plain = Make(u"*_*", true, CaseMode::Text, u"*-*");
  plain.SetReplacePatternReverse(true);
  EXPECT_EQ(Apply(plain, u"a_b_c"), u"a-b_c");
}

// The patterns in any order, the empty one, and a change of mode: the replace pattern is paired
// again each time the search pattern is built.
TEST(MatcherReplace, PatternsAndModesInAnyOrder) {
  Matcher m;
  EXPECT_FALSE(m.CanMatching());
  EXPECT_FALSE(m.IsMatch(u""));
  m.SetCmpMode(CaseMode::Text);
  m.SetReplacePattern(u"xyz");
  EXPECT_EQ(m.CanReplace(), Status::Unpaired);
  m.SetMatchPattern(u"abc");
  EXPECT_EQ(std::pair(m.MatchPattern(), Apply(m, u"1abc2")), std::pair(std::u16string(u"*abc*"), Result(u"1xyz2")));
  m.SetFileNameMode(true);
  EXPECT_EQ(Apply(m, u"1abc2"), std::nullopt);
  EXPECT_EQ(Apply(m, u"ABC"), u"xyz");

  m.SetMatchPattern(u"");
  EXPECT_FALSE(m.CanMatching());
  EXPECT_EQ(m.CanReplace(), Status::Unpaired);
  for (const std::u16string name : {u"", u"abc", u"*"}) EXPECT_FALSE(m.IsMatch(name)) << U8(name);
  EXPECT_TRUE(m.MatchTokens().empty());
  // After the empty pattern the same pattern is a new build.
  m.SetMatchPattern(u"abc");
  EXPECT_EQ(m.CanReplace(), Status::Ready);
  EXPECT_EQ(Apply(m, u"abc"), u"xyz");
}

#ifndef _WIN32  // the C library's fnmatch as the reference; Windows has none
namespace {

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

int Flags(CaseMode cmpMode) { return FNM_NOESCAPE | (cmpMode == CaseMode::Text ? FNM_CASEFOLD : 0); }

}  // namespace

// Random patterns over a small alphabet (so that many names match; "@", "`", "Z", "z" and "{" border
// the letters text mode folds), on names at random or filling in the pattern. A rule replacing by
// the search pattern itself keeps every name as text::Equal has it.
TEST(MatcherDifferential, AgreesWithFnmatch) {
  std::mt19937 rng(20240613);
  auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const std::string alphabet = "abAB._@`Zz{";
  auto letter = [&] { return alphabet[static_cast<std::size_t>(below(static_cast<int>(alphabet.size())))]; };
  int rewritten = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string pattern;
    for (int i = below(7); i > 0; --i) {
      const int kind = below(3);
      if (kind < 2) pattern += "*?"[kind];
      for (int n = kind == 2 ? 1 + below(below(4) == 0 ? 12 : 3) : 0; n > 0; --n) pattern += letter();  // some span 8 and more
    }
    const std::string wrapped = "*" + pattern + "*";
    for (const CaseMode cmpMode : {CaseMode::Binary, CaseMode::Text}) {
      Matcher whole = Make(Wide(pattern), true, cmpMode), part = Make(Wide(pattern), false, cmpMode);
      Matcher same = Make(Wide(pattern), true, cmpMode, Wide(pattern));
      for (int k = 0; k < 12; ++k) {
        // Half the names at random; the others fill in the pattern, now and then a near miss.
        std::string name;
        const bool random = below(2) == 0;
        for (int n = random ? below(10) : 0; n > 0; --n) name += letter();
        for (const char c : random ? std::string() : pattern) {
          for (int n = c == '*' ? below(4) : 1; n > 0; --n) {
            name += c == '*' || c == '?' || below(8) == 0 ? letter() : std::isalpha(c) && below(2) ? char(c ^ 32) : c;
          }
        }
        SCOPED_TRACE(pattern + " on " + name + " cmp " + std::to_string(static_cast<int>(cmpMode)));
        const bool want = fnmatch(pattern.c_str(), name.c_str(), Flags(cmpMode)) == 0;
        ASSERT_EQ(whole.IsMatch(Wide(name)), want && !pattern.empty());
        if (pattern.empty()) continue;
        ASSERT_EQ(part.IsMatch(Wide(name)), fnmatch(wrapped.c_str(), name.c_str(), Flags(cmpMode)) == 0);
        if (same.CanReplace() != Status::Ready) continue;  // "**" and the like add wildcards
        const Result out = Apply(same, Wide(name));
        ASSERT_EQ(out.has_value(), want);
        rewritten += want;
        ASSERT_TRUE(!out || text::Equal(*out, Wide(name), cmpMode)) << U8(out.value_or(u""));
      }
    }
  }
  // Enough names rewritten for the comparison of the rewrites to mean something.
  EXPECT_GT(rewritten, 5000);
}

// One-character middle segments ("*_*_*") are placed from masks of the whole name for names of 8
// to 64 characters, by a scan otherwise: lengths 0 to 90 cover both. Replacing each by "#" shows
// where it was placed: left-most after the first segment.
TEST(MatcherDifferential, OneCharacterMiddlesOnNamesOfEveryLength) {
  std::mt19937 rng(77);
  auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  const std::string ends[] = {"", "?", "#", "??", "#?", "?#?"};  // no letters: the literals keep their case
  for (int round = 0; round < 400; ++round) {
    const std::string head = ends[below(6)], tail = ends[below(6)];
    const bool same = below(2) == 0;
    std::string pattern = head, replace = head, chars;
    for (int k = 1 + below(5); k > 0; --k) {
      chars += "_aA."[same ? 0 : below(4)];
      pattern += std::string("*") + chars.back();
      replace += "*#";
    }
    pattern += "*" + tail;
    replace += "*" + tail;
    for (const CaseMode cmpMode : {CaseMode::Binary, CaseMode::Text}) {
      Matcher m = Make(Wide(pattern), true, cmpMode, Wide(replace));
      ASSERT_EQ(m.CanReplace(), Status::Ready) << pattern;
      for (int len = 0; len <= 90; ++len) {
        std::string name;
        for (int i = 0; i < len; ++i) name += below(6) == 0 ? chars[static_cast<std::size_t>(below(static_cast<int>(chars.size())))] : "xb_A#."[below(6)];
        SCOPED_TRACE(pattern + " on " + name + " cmp " + std::to_string(static_cast<int>(cmpMode)));
        const bool want = fnmatch(pattern.c_str(), name.c_str(), Flags(cmpMode)) == 0;
        ASSERT_EQ(m.IsMatch(Wide(name)), want);  // the match alone takes routes of its own
        const Result got = Apply(m, Wide(name));
        ASSERT_EQ(got.has_value(), want);
        if (!want) continue;
        std::string expect = name;
        std::size_t at = head.size();
        for (const char c : chars) {
          while (expect[at] != c && !(cmpMode == CaseMode::Text && std::tolower(expect[at]) == std::tolower(c))) ++at;
          expect[at++] = '#';
        }
        ASSERT_EQ(U8(*got), expect);
      }
    }
  }
}
#endif
