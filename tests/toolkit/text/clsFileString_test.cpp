#include "toolkit/text/clsFileString.h"

#include <stdexcept>

#include "tests/support/TempDir.h"

namespace {
const clsFileString fs;
}

TEST(FileStrComp, ComparesExactlyOrFoldingAsciiLettersOnly) {
  struct Case { std::u16string a, b; int mode, want; };
  const std::vector<Case> cases = {
      {u"ABC.WAV", u"abc.wav", 1, 0}, {u"ABC.WAV", u"abc.wav", 0, -1}, {u"abc.wav", u"ABC.WAV", 0, 1},
      {u"ab", u"abc", 1, -1},         {u"abc", u"ab", 1, 1},            {u"", u"", 1, 0},
      {u"\xDC81", u"\xDC82", 1, -1},
      {u"\uFF21", u"a", 1, -1},       // full-width A is not a
      {u"\uFF21", u"\uFF41", 1, -1},  // nor is it full-width a
      {u"Z", u"[", 1, 1},             // 'Z' folds to 'z', which sorts after '['
      {u"\u3042", u"a", 1, -1},       // double-byte codes are negative
      {u"\uFF71", u"a", 1, 1},        // half-width kana are single bytes above ASCII
      {u"\u00E9", u"\u00E8", 1, 1},   // no code page code: still told apart
      {u"\xDC61", u"a", 1, 1},        // an escaped byte 0x61 is not the letter
      {u"x", u"x", 7, 0},             // any non-zero mode is text mode
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fs.FileStrComp(c.a, c.b, c.mode), c.want) << U8(c.a) << " / " << U8(c.b) << " mode " << c.mode;
  }
}

// FileInStr: first place from Start on; FileInStrR: end of the right-most occurrence ending by Start;
// GetSQNumText: occurrences that do not overlap.
TEST(FileInStr, FindsOccurrencesFromEitherSide) {
  enum Fn { Left, Right, Count };
  struct Case { Fn fn; int start; std::u16string st1, st2; int mode, want; };
  const std::vector<Case> cases = {
      {Left, 1, u"x.bmp", u"", 1, 1},          {Left, 7, u"x.bmp", u"", 1, 7},
      {Left, 1, u"a.BMP.bmp", u"bmp", 1, 3},   {Left, 1, u"a.BMP.bmp", u"bmp", 0, 7},
      {Left, 4, u"a.BMP.bmp", u"bmp", 1, 7},   {Left, 8, u"a.BMP.bmp", u"bmp", 1, 0},
      {Left, 1, u"ab", u"abc", 1, 0},          {Left, 100, u"ab", u"b", 1, 0},
      {Left, 1, u"\uFF41b", u"\uFF21B", 1, 0}, {Left, 0, u"abc", u"", 0, 0},
      {Right, 1, u"C:\\A\\B", u"c:\\a", 1, 4}, {Right, 1, u"C:\\A", u"C:\\A\\B", 1, 0},
      {Right, 1, u"C:\\A\\B", u"c:\\a", 0, 0}, {Right, 9, u"ab_ab_ab", u"ab", 0, 8},
      {Right, 6, u"ab_ab_ab", u"ab", 0, 5},    {Right, 8, u"ab_ab_ab", u"ab", 0, 8},
      {Right, 2, u"ab_ab_ab", u"b_", 0, 3},    {Right, 3, u"x", u"", 0, 3},
      {Right, 0, u"ab", u"a", 0, 0},           {Right, -5, u"ab", u"a", 0, 0},
      {Right, 1, u"/home/Charts/song", u"/home/charts", 1, 12},
      {Count, 0, u"a*b*c", u"*", 0, 2},        {Count, 0, u"aaaa", u"aa", 0, 2},
      {Count, 0, u"aaa", u"aa", 0, 1},         {Count, 0, u"a*b", u"", 0, 0},
      {Count, 0, u"AaA", u"a", 0, 1},          {Count, 0, u"AaA", u"a", 1, 3},
  };
  for (const auto& c : cases) {
    const int got = c.fn == Left    ? fs.FileInStr(c.start, c.st1, c.st2, c.mode)
                    : c.fn == Right ? fs.FileInStrR(c.start, c.st1, c.st2, c.mode)
                                    : fs.GetSQNumText(c.st1, c.st2, c.mode);
    EXPECT_EQ(got, c.want) << c.fn << " " << c.start << " " << U8(c.st1) << " / " << U8(c.st2) << " mode " << c.mode;
  }
  EXPECT_THROW(fs.FileInStr(0, u"abc", u"a", 0), std::invalid_argument);
}
