#include "toolkit/text/Compare.h"

#include "tests/support/TempDir.h"

using text::CaseMode;

TEST(TextCompare, ComparesExactlyOrFoldingAsciiLettersOnly) {
  struct Case { std::u16string a, b; CaseMode mode; int want; };
  constexpr CaseMode kText = CaseMode::Text, kBinary = CaseMode::Binary;
  const std::vector<Case> cases = {
      {u"ABC.WAV", u"abc.wav", kText, 0}, {u"ABC.WAV", u"abc.wav", kBinary, -1}, {u"abc.wav", u"ABC.WAV", kBinary, 1},
      {u"ab", u"abc", kText, -1},         {u"abc", u"ab", kText, 1},             {u"", u"", kText, 0},
      {u"\xDC81", u"\xDC82", kText, -1},
      {u"\uFF21", u"a", kText, -1},       // full-width A is not a
      {u"\uFF21", u"\uFF41", kText, -1},  // nor is it full-width a
      {u"Z", u"[", kText, 1},             // 'Z' folds to 'z', which sorts after '['
      {u"\u3042", u"a", kText, -1},       // double-byte codes are negative
      {u"\uFF71", u"a", kText, 1},        // half-width kana are single bytes above ASCII
      {u"\u00E9", u"\u00E8", kText, 1},   // no code page code: still told apart
      {u"\xDC61", u"a", kText, 1},        // an escaped byte 0x61 is not the letter
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text::Compare(c.a, c.b, c.mode), c.want) << U8(c.a) << " / " << U8(c.b);
  }
}

// Find: first place from `from` on; StartsWith: a prefix test; CountOccurrences: occurrences that
// do not overlap.
TEST(TextFind, FindsPrefixesAndCountsOccurrences) {
  enum Fn { Left, Prefix, Count };
  constexpr std::size_t kNone = std::u16string_view::npos;
  struct Case { Fn fn; std::size_t from; std::u16string s, piece; CaseMode mode; std::size_t want; };
  constexpr CaseMode kText = CaseMode::Text, kBinary = CaseMode::Binary;
  const std::vector<Case> cases = {
      {Left, 0, u"x.bmp", u"", kText, 0},          {Left, 5, u"x.bmp", u"", kText, 5},
      {Left, 6, u"x.bmp", u"", kText, kNone},      {Left, 0, u"a.BMP.bmp", u"bmp", kText, 2},
      {Left, 0, u"a.BMP.bmp", u"bmp", kBinary, 6}, {Left, 3, u"a.BMP.bmp", u"bmp", kText, 6},
      {Left, 7, u"a.BMP.bmp", u"bmp", kText, kNone}, {Left, 0, u"ab", u"abc", kText, kNone},
      {Left, 99, u"ab", u"b", kText, kNone},       {Left, 0, u"\uFF41b", u"\uFF21B", kText, kNone},
      {Prefix, 0, u"C:\\A\\B", u"c:\\a", kText, 1}, {Prefix, 0, u"C:\\A", u"C:\\A\\B", kText, 0},
      {Prefix, 0, u"C:\\A\\B", u"c:\\a", kBinary, 0}, {Prefix, 0, u"x", u"", kBinary, 1},
      {Prefix, 0, u"/home/Charts/song", u"/home/charts", kText, 1}, {Prefix, 0, u"\xDC61", u"a", kText, 0},
      {Count, 0, u"aaaa", u"aa", kBinary, 2},      {Count, 0, u"a*b", u"", kBinary, 0},
      {Count, 0, u"AaA", u"a", kBinary, 1},        {Count, 0, u"AaA", u"a", kText, 3},
  };
  for (const auto& c : cases) {
    const std::size_t got = c.fn == Left     ? text::Find(c.s, c.piece, c.mode, c.from)
                            : c.fn == Prefix ? std::size_t{text::StartsWith(c.s, c.piece, c.mode)}
                                             : text::CountOccurrences(c.s, c.piece, c.mode);
    EXPECT_EQ(got, c.want) << c.fn << " " << c.from << " " << U8(c.s) << " / " << U8(c.piece);
  }
}
