#include "toolkit/clsFolderIndex.h"

#ifndef _WIN32
#include "tests/support/Posix.h"
#endif
#include "tests/support/TempDir.h"

namespace {

std::vector<platform::DirEntry> Listing(std::vector<std::u16string> names) {
  std::vector<platform::DirEntry> entries;
  for (auto& name : names) entries.push_back({std::move(name), 0, false, false});
  return entries;
}

std::u16string Found(const clsFolderIndex& index, const std::u16string& name) {
  const platform::DirEntry* e = index.Find(name);
  return e != nullptr ? e->Name : u"(none)";
}

}  // namespace

TEST(clsFolderIndex, ANameFindsItsExactEntryThenItsBytesThenTheFirstFolded) {
  // Names as stored, in name order. "ピアノ.ogg" twice: once in UTF-8, once in Shift-JIS bytes.
  const std::u16string sjis = platform::DecodeUtf8("\x83\x73\x83\x41\x83\x6D.ogg");
  clsFolderIndex index(Listing({u"Kick.WAV", u"kick.wav", u"Snare.wav", u"\uFF21.wav", u"ピアノ.ogg", sjis}));
  const std::vector<std::pair<std::u16string, std::u16string>> cases = {
      {u"kick.wav", u"kick.wav"},   // the exact name first
      {u"KICK.wav", u"Kick.WAV"},   // else the first in name order with ASCII letters folded
      {u"SNARE.WAV", u"Snare.wav"},
      {u"\uFF41.wav", u"(none)"},   // a full-width letter is another letter
      {u"ピアノ.ogg", u"ピアノ.ogg"},  // a Shift-JIS chart's text finds the UTF-8 name
      // A UTF-8 chart read as Shift-JIS finds the UTF-8 name by its bytes.
      {platform::DecodeCp932(platform::ToUtf8(u"ピアノ.OGG")), u"ピアノ.ogg"},
      {u"a.wav", u"(none)"},
      {u"", u"(none)"},
  };
  for (const auto& [name, found] : cases) EXPECT_EQ(Found(index, name), found) << U8(name);
  // A Shift-JIS name stored in Shift-JIS bytes, found by the chart's text alone.
  EXPECT_EQ(Found(clsFolderIndex(Listing({sjis})), u"ピアノ.OGG"), sjis);
  index.Forget(index.Find(u"kick.wav"));
  EXPECT_EQ(Found(index, u"kick.wav"), u"Kick.WAV") << "a forgotten entry leaves its namesakes";
}

TEST(clsStoredFiles, FilesBelowAFolderAndFoldersThatCannotBeRead) {
  TempDir t;
  t.MakeFolder(u"Snd");
  t.Write(u"Snd/Kick.ogg", "");
  t.MakeFolder(u"Snd/dir.ogg");
  t.MakeFolder(u"locked");
  t.Write(u"locked/a.ogg", "");
  clsStoredFiles files;
  std::u16string why;
  using R = clsStoredFiles::Result;
  const std::vector<std::pair<std::u16string, R>> cases = {
      {u"snd\\kick.ogg", R::Found}, {u"SND/KICK.OGG", R::Found}, {u"snd\\dir.ogg", R::Absent},
      {u"snd\\none.ogg", R::Absent}, {u"none\\kick.ogg", R::Absent}, {u"snd\\", R::Absent},
  };
  for (const auto& [name, want] : cases) EXPECT_EQ(files.FindFile(t.Path(), name, why), want) << U8(name);
#ifndef _WIN32
  // A folder the run may not read is no answer: neither found nor absent.
  Chmod(t.Path(), 0755);
  Chmod(t / u"locked", 0);
  EXPECT_EQ(RunUnprivileged([&] {
              clsStoredFiles fresh;
              const bool failed = fresh.FindFile(t.Path(), u"locked\\a.ogg", why) == R::Failed;
              return failed && why.find(u"locked") != std::u16string::npos ? 0 : 1;
            }),
            0);
  Chmod(t / u"locked", 0755);
#endif
}
