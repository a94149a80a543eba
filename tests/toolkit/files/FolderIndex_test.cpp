#include "toolkit/files/FolderIndex.h"

#ifndef _WIN32
#include "tests/support/Posix.h"
#endif
#include "tests/support/TempDir.h"

namespace {

std::u16string Found(const FolderIndex& index, const std::u16string& name) {
  const platform::DirEntry* e = index.Find(name);
  return e != nullptr ? e->Name : u"(none)";
}

}  // namespace

// A name finds its exact entry, then the entry of its bytes as a chart holds them, then the first in
// name order that equals it with ASCII letters folded; names stored in UTF-8 or in Shift-JIS bytes.
// Only a letter that stands alone folds: ヂ ア, シ プ, ベ ス, ク ハ, ォ ド differ in the case of their
// Shift-JIS second bytes. Ä and 😀 have no Shift-JIS form: as lossy bytes, "?.wav" and "??.wav".
TEST(FolderIndex, ANameFindsItsExactEntryThenItsBytesThenTheFirstFoldedAndNoOther) {
  const std::u16string held[] = {u"ヂ", u"シ", u"ベ", u"ク", u"ォ"}, other[] = {u"ア", u"プ", u"ス", u"ハ", u"ド"};
  const std::u16string none = u"(none)", piano = text::DecodeNativeName(text::ToCp932(u"ピアノ.ogg"));
  for (const bool sjis : {false, true}) {
    auto stored = [sjis](const std::u16string& s) { return sjis ? text::DecodeNativeName(text::ToCp932(s)) : s; };
    // In name order: "ピアノ.ogg" in UTF-8 and in Shift-JIS bytes; "ÃA" in UTF-8 holds the bytes of "ﾃア".
    std::vector<std::u16string> names = {u"?.wav", u"??.wav", u"Kick.WAV", u"kick.wav", u"\u00C3A.wav", u"ピアノ.ogg", piano, u"\uFF21.wav"};
    for (const std::u16string& h : held) names.push_back(stored(h + u".wav"));
    std::vector<platform::DirEntry> listing;
    for (auto& name : names) listing.push_back({std::move(name), 0, false, false});
    FolderIndex index(std::move(listing));
    std::vector<std::pair<std::u16string, std::u16string>> cases = {
        {u"kick.wav", u"kick.wav"}, {u"KICK.wav", u"Kick.WAV"}, {u"\uFF41.wav", none},  // a full-width letter is another
        {u"ピアノ.ogg", u"ピアノ.ogg"}, {text::DecodeCp932(text::ToUtf8(u"ピアノ.OGG")), u"ピアノ.ogg"},  // a UTF-8 chart
        {u"\u00C4.wav", none}, {u"\U0001F600.wav", none}, {u"\uFF83\u30C2.wav", none}, {u"", none}};
    // Each katakana as a chart gives it, and as another folder in the same encoding stores it.
    for (std::size_t i = 0; i < std::size(held); ++i) {
      for (const auto& name : {held[i], stored(held[i])}) cases.push_back({name + u".WAV", stored(held[i] + u".wav")});
      for (const auto& name : {other[i], stored(other[i])}) cases.push_back({name + u".wav", none});
    }
    for (const auto& [name, found] : cases) EXPECT_EQ(Found(index, name), found) << U8(name) << sjis;
    index.Forget(index.Find(u"kick.wav"));
    EXPECT_EQ(Found(index, u"kick.wav"), u"Kick.WAV") << "a forgotten entry leaves its namesakes";
  }
}

// A folder of the name a chart gives is no file; a folder the run may not read is no answer, neither
// found nor absent, and its failure names it. (How names are found on the way: through the programs'
// file checks.)
TEST(StoredFiles, AFolderIsNoFileAndAFolderThatCannotBeReadIsNoAnswer) {
  TempDir t;
  for (const char16_t* name : {u"Snd", u"Snd/dir.ogg", u"locked"}) t.MakeFolder(name);
  t.Write(u"locked/a.ogg", "");
  std::u16string why;
  EXPECT_EQ(StoredFiles().FindFile(t.Path(), u"snd\\dir.ogg", why), StoredFiles::Result::Absent);
#ifndef _WIN32
  Chmod(t.Path(), 0755);
  Chmod(t / u"locked", 0);
  EXPECT_EQ(RunUnprivileged([&] {
              StoredFiles fresh;
              const bool failed = fresh.FindFile(t.Path(), u"locked\\a.ogg", why) == StoredFiles::Result::Failed;
              return failed && why.find(u"locked") != std::u16string::npos ? 0 : 1;
            }), 0);
  Chmod(t / u"locked", 0755);
#endif
}
