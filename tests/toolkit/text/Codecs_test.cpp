#include <random>

#include "tests/support/TempDir.h"
#include "toolkit/text/ChartText.h"
#include "toolkit/text/Codecs.h"

using text::DecodeCp932;
using text::DecodeUtf8;
using text::ToCp932;
using text::ToUtf8;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

struct Case { std::string bytes; std::u16string text; };

}  // namespace

// Biased towards lead and trail bytes so that pairs, broken pairs and escapes come up often.
TEST(Text, RandomByteStringsRoundTrip) {
  std::mt19937 rng(932);
  std::uniform_int_distribution<int> any(0, 255), kind(0, 3), len(0, 80);
  for (int i = 0; i < 20000; ++i) {
    std::string s(static_cast<std::size_t>(len(rng)), '\0');
    for (char& c : s) {
      const int k = kind(rng);
      c = static_cast<char>(k == 0 ? 0x81 + any(rng) % 31 : k == 1 ? 0xE0 + any(rng) % 29 : any(rng));
    }
    ASSERT_EQ(ToCp932(DecodeCp932(s)), s);
    ASSERT_EQ(ToUtf8(DecodeUtf8(s)), s);
    ASSERT_EQ(ToUtf8(text::DecodeNativePath(s)), s);
  }
}

TEST(Cp932, KnownCharactersDecodeAndBytesThatWouldNotComeBackAreEscaped) {
  const std::vector<Case> cases = {
      {"#WAV01 a.wav", u"#WAV01 a.wav"}, {Bytes({0x5C, 0x7E}), u"\\~"},  // ASCII stays ASCII, not yen/overline
      {Bytes({0xB1, 0xDF}), u"\uFF71\uFF9F"},              // half-width katakana
      {Bytes({0x82, 0xA0, 0x88, 0x9F}), u"\u3042\u4E9C"},  // hiragana, first JIS level 1 kanji
      {Bytes({0x83, 0x5C}), u"\u30BD"},                    // trail byte 0x5C is not a backslash
      {Bytes({0x81, 0x5F, 0x81, 0x60}), u"\uFF3C\uFF5E"},  // Microsoft's mappings
      {Bytes({0x87, 0x40, 0x87, 0x54}), u"\u2460\u2160"},  // NEC row 13
      {Bytes({0xFA, 0x40, 0xFA, 0x5C}), u"\u2170\u7E8A"},  // IBM extension rows
      {Bytes({0xF0, 0x40, 0xF9, 0xFC}), u"\uE000\uE757"},  // user-defined area
      {Bytes({0x80, 0xA0, 0xFF}), u"\xDC80\xDCA0\xDCFF"},  // no character of the code page
      {Bytes({0x85, 0x40, 0x85, 0x61}), u"\xDC85\xDC40\xDC85\xDC61"},  // pairs in form but unassigned: no "@", no "a"
      // A lead byte without a trail byte, then ASCII, or last.
      {Bytes({0x81, 0x20, 0x41}), u"\xDC81 A"}, {Bytes({0x41, 0x9F}), u"A\xDC9F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeCp932(c.bytes), c.text) << c.bytes;
    std::string out;
    EXPECT_TRUE(text::EncodeCp932(c.text, out));
    EXPECT_EQ(out, c.bytes);
  }
}

TEST(Cp932, CharactersWithoutCodeAreReported) {
  for (const std::u16string text : {u"caf\u00E9", u"\uD55C\uAE00", u"\U0001F3B5", u"\u20AC"}) {
    EXPECT_FALSE(text::CanEncodeCp932(text)) << ToUtf8(text);
    std::string out;
    EXPECT_FALSE(text::EncodeCp932(text, out)) << ToUtf8(text);
    EXPECT_NE(out.find('?'), std::string::npos);
  }
}

TEST(Utf8, DecodesValidTextAndEscapesEverythingElse) {
  const std::vector<Case> cases = {
      {"kick.wav", u"kick.wav"}, {"\xE6\x97\xA5\xE6\x9C\xAC.wav", u"\u65E5\u672C.wav"},
      {"\xF0\x9F\x8E\xB5", u"\U0001F3B5"}, {"\xFF", u"\xDCFF"},
      {"\xC0\x80", u"\xDCC0\xDC80"},              // overlong
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},    // an encoded surrogate
      {"\xE3\x81", u"\xDCE3\xDC81"},              // cut short
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // past U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeUtf8(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(ToUtf8(c.text), c.bytes);
  }
  // A lone surrogate that is no escape is reported.
  std::string out;
  EXPECT_FALSE(text::EncodeUtf8(u"a\xD800" "b", out));
  EXPECT_EQ(out, "a\xEF\xBF\xBD" "b");
}

TEST(Lines, ACrEndsLinesUnlessTheChartHasLfOnly) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"", {}}, {"a", {"a"}}, {"a\r\n", {"a"}}, {"a\r\nb", {"a", "b"}}, {"a\rb\r", {"a", "b"}},
      {"\r\n\r\n", {"", ""}}, {"a\r\r\nb", {"a", "", "b"}}, {"a\r\n\n", {"a", "\n"}},
  };
  for (const auto& [data, lines] : cases) {
    std::vector<std::string> got;
    std::size_t pos = 0;
    std::string_view line;
    const text::LineEnds ends = text::ChartLineEnds(data);
    while (text::NextLine(data, pos, line, ends)) got.emplace_back(line);
    EXPECT_EQ(got, lines) << "input of " << data.size() << " bytes";
  }
}

TEST(OwnFiles, AnyLineEndAndUtf8WithoutAMark) {
  using Lines = std::vector<std::u16string>;
  const Lines want = {u"[システム]", u"a=1", u"", u"b=2"};
  const std::string cp932 = ToCp932(u"[システム]");
  for (const std::string& bytes : {cp932 + "\r\na=1\r\n\r\nb=2\r\n", cp932 + "\na=1\n\nb=2\n", cp932 + "\ra=1\r\rb=2",
                                   std::string("\xEF\xBB\xBF") + ToUtf8(u"[システム]") + "\na=1\n\nb=2",
                                   ToUtf8(u"[システム]") + "\na=1\r\n\nb=2"}) {
    EXPECT_EQ(text::DecodeTextLines(bytes), want) << bytes;
  }
  // Half-width kana whose Shift-JIS bytes would read as UTF-8 are written in UTF-8 with its mark.
  EXPECT_EQ(text::DecodeTextLines(text::EncodeTextLines({u"\uFF83\uFF68"})), Lines{u"\uFF83\uFF68"});
}

// A chart is UTF-8 by its mark, or by being valid UTF-8 beyond ASCII; everything else is read as
// Shift-JIS. Valid means exactly what the UTF-8 decoder takes without an escape.
TEST(ChartEncoding, DecidedByTheMarkOrByValidUtf8BeyondAscii) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"#TITLE \xF0\x9F\x98\x80", true}, {"", false}, {"\xE6\x9B", false},  // a cut sequence
      {"\xC0\xAF", false}, {"\xE0\x80\xAF", false}, {"\xED\xA0\x80", false},  // overlong, a surrogate
      {"\xF4\x90\x80\x80", false}, {std::string(20, 'a') + "\xC3\xA9" + std::string(20, 'b'), true},
      {"\xEF\xBB\xBF#TITLE \x83\x41", true},  // the mark decides, whatever follows
  };
  for (const auto& [bytes, utf8] : cases) {
    EXPECT_EQ(text::ChartEncodingOf(bytes), utf8 ? text::ChartEncoding::Utf8 : text::ChartEncoding::ShiftJis)
        << bytes;
  }
}

// A stored name reads in one encoding as a whole, and shows so: UTF-8, or else every byte beyond ASCII
// escaped, both of a Shift-JIS pair too (no second byte reads as a letter), shown as Shift-JIS or marks.
TEST(NativeNames, ReadInOneEncodingAsAWholeAndShownSo) {
  struct Name { std::string bytes; std::u16string text, shown; };
  for (const Name& c : std::vector<Name>{
      {"\xE5\x8A\xB9\xE6\x9E\x9C.wav", u"効果.wav", u"効果.wav"},
      // 効果音 in Shift-JIS: its "CA 89" alone would read as UTF-8.
      {"\x8C\xF8\x89\xCA\x89\xB9 01", u"\xDC8C\xDCF8\xDC89\xDCCA\xDC89\xDCB9 01", u"効果音 01"},
      {"\x83\x41: \xB1" "a", u"\xDC83\xDC41: \xDCB1" u"a", u"ア: ｱa"},  // half-width ｱ, then a letter
      {"\x83\x73 \x83", u"\xDC83\xDC73 \xDC83", u"\\x83\\x73 \\x83"},  // a lead byte last: not Shift-JIS as a whole
      {"/\xE6\x9B\xB2/\x83\x61/a\xFF\x80", u"/曲/\xDC83\xDC61/a\xDCFF\xDC80", u"/曲/ヂ/a\\xFF\\x80"},  // a path by its names
  }) {
    EXPECT_EQ(text::DecodeNativePath(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(std::make_pair(ToUtf8(c.text), text::ReadableName(c.text)), std::make_pair(c.bytes, c.shown));
  }
}
