#include "tests/fennick/FennickTest.h"
#include "tests/support/Trash.h"
#include "toolkit/files/Paths.h"

using namespace fennick;
using namespace fennick_test;

namespace {

class SyncDeleteTest : public FennickTest {
 protected:
  const std::u16string source = t.MakeFolder(u"set"), target = t.MakeFolder(u"charts");
};

}  // namespace

// The name alone decides: files, whole folders, a file against a folder and the other way round.
// (Which entry a name finds, by letter case or Shift-JIS bytes, is the folder index's.)
TEST_F(SyncDeleteTest, DeletesEveryNamesakeWhateverItIs) {
  for (const char16_t* name : {u"a.wav", u".hidden.wav", u"was_file", u"only_in_source.wav"})
    t.Write(u"set/" + std::u16string(name), "x");
  for (const char16_t* name : {u"set/was_folder", u"charts/was_file"}) t.MakeFolder(name);
  for (const char16_t* name : {u"a.wav", u".hidden.wav", u"was_folder", u"keep.wav", u"was_file/inner.wav"})
    t.Write(u"charts/" + std::u16string(name), "y");
  EXPECT_TRUE(Sync(source, target));
  // What is left of the target, the counts, and the sound set untouched.
  EXPECT_EQ(std::make_tuple(Names(target), state.DeletedCount, state.Failures.size(), Names(source).size()),
            std::make_tuple(NameList{u"keep.wav"}, 4, std::size_t(0), std::size_t(5)));

#ifndef _WIN32  // links wine cannot make
  // A link in the target goes as a link (what it points to is the tree deletion's to keep).
  const auto outside = t.MakeFolder(u"outside");
  const auto outside_file = t.Write(u"outside/kick.wav", "keep me");
  Link(outside_file, target + u"/kick.wav");
  Link(outside, target + u"/linked_folder");
  Link(t / u"nowhere", target + u"/dangling.wav");
  for (const char16_t* name : {u"kick.wav", u"linked_folder", u"dangling.wav"}) t.Write(u"set/" + std::u16string(name), "");
  state.DeletedCount = 0;
  EXPECT_TRUE(Sync(source, target));
  EXPECT_EQ(std::make_pair(Names(target), state.DeletedCount), std::make_pair(NameList{u"keep.wav"}, 3));
#endif
}

// A target that is or holds the source would delete the sound set itself: nothing goes, the user is told.
TEST_F(SyncDeleteTest, NeverDeletesTheSourceItself) {
  for (const char16_t* name : {u"set/kick.wav", u"set/snare.wav"}) t.Write(name, "");
  EXPECT_TRUE(Sync(source, source));
  std::size_t refused = 1;
#ifndef _WIN32
  Link(source, t / u"set_link");
  EXPECT_TRUE(Sync(source, t / u"set_link"));
  ++refused;
#endif
  EXPECT_EQ(std::make_tuple(Names(source), state.DeletedCount, state.Failures.size()),
            std::make_tuple(NameList{u"kick.wav", u"snare.wav"}, 0, refused));

  // charts/pool/set is the source; its entry "pool" names the target folder that holds it.
  t.MakeFolder(u"charts/pool");
  const auto nested = t.MakeFolder(u"charts/pool/set");
  for (const char16_t* name : {u"charts/pool/set/pool", u"charts/pool/set/kick.wav", u"charts/kick.wav"}) t.Write(name, "");
  state.Failures.clear();
  EXPECT_TRUE(Sync(nested, target));
  EXPECT_EQ(std::make_pair(Names(target), Names(nested)), std::make_pair(NameList{u"pool"}, NameList{u"kick.wav", u"pool"}));
  ASSERT_EQ(std::make_pair(state.DeletedCount, state.Failures.size()), std::make_pair(1, std::size_t(1)));
  EXPECT_EQ(state.Failures[0].Path, target + Sep(u"/pool"));
}

// A chart, and a folder holding one, stay whatever the set holds; a folder another run holds in part
// leaves the rest to go, and the folder is told as partly deleted with what stayed and why; bound for
// the trash, it stays whole. A dry run tells what the checks refuse.
TEST_F(SyncDeleteTest, ChartsStayAndAPartlyDeletedFolderNamesWhatStayed) {
  for (const char16_t* name : {u"set/a", u"set/b", u"charts/a", u"charts/b", u"charts/b/held"}) t.MakeFolder(name);
  for (const char16_t* name : {u"set/song.BMS", u"charts/song.bms", u"charts/a/x.pms", u"charts/b/1.wav", u"charts/b/held/2.wav"})
    t.Write(name, "");
  auto failures = [&] {
    NameList got;
    for (const auto& f : state.Failures) got.push_back(f.Path.substr(target.size() + 1) + u": " + f.Reason);
    std::sort(got.begin(), got.end());
    return got;
  };
  const NameList refused = {u"a: 譜面を含むので削除しません", u"song.bms: 譜面は削除しません"};
  state.DryRun = true;
  EXPECT_TRUE(Sync(source, target));
  EXPECT_EQ(std::make_pair(failures(), state.WouldDelete), std::make_pair(refused, std::set{target + Sep(u"/b")}));
  state = RunState(context);
#ifndef _WIN32
  const int held = HoldLock(t / u"charts/b/held");
  const DataHome home(t / u"data");
  state.TrashOn = true;
  EXPECT_TRUE(Sync(source, target));
  EXPECT_EQ(failures(), (NameList{refused[0], u"b/held: 別の実行がこのフォルダを処理中です", u"b: ごみ箱に移動できません", refused[1]}));
  EXPECT_EQ(std::make_pair(t.Names(u"charts/b"), state.DeletedCount), std::make_pair(NameList{u"1.wav", u"held"}, 0));
  state = RunState(context);
  EXPECT_TRUE(Sync(source, target));
  close(held);
  EXPECT_EQ(failures(), (NameList{refused[0], u"b/held: 別の実行がこのフォルダを処理中です",
                                  u"b: 一部だけ削除しました (残った項目 1 件)", refused[1]}));
  EXPECT_EQ(std::make_pair(t.Names(u"charts/b"), state.DeletedCount), std::make_pair(NameList{u"held"}, 0));
#endif
  EXPECT_TRUE(platform::FileExists(t / u"charts/song.bms") && platform::FileExists(t / u"charts/a/x.pms"));
}

// Texts before the loop and at entries 1, 101 and 201; a stop confirmed while entry 201 is shown
// ends the pass before it goes.
TEST_F(SyncDeleteTest, ProgressEveryHundredthEntryAndCancel) {
  for (int i = 1001; i <= 1250; ++i) t.Write(u"set/e" + paths::Decimal(i) + u".wav", "");
  // The pass goes in the order the file system lists the set; every 50th entry has a namesake.
  platform::IoError error;
  std::vector<platform::DirEntry> order;
  ASSERT_TRUE(OpenFolder(source).List(order, error, platform::Folder::Order::AsStored));
  ASSERT_EQ(order.size(), 250u);
  for (std::size_t i = 0; i < order.size(); i += 50) t.Write(u"charts/" + order[i].Name, "");
  user.view->on_events = [&](int) {
    if (user.progress.Text() == target &&
        user.progress.Caption().find(order[200].Name) != std::u16string::npos) {
      user.view->pending_clicks = 1;
    }
  };
  user.view->answers = {true};
  EXPECT_FALSE(Sync(source, target));
  const std::u16string text = u"同期削除中 - DELETED: ";
  NameList captions;
  for (const auto& entry : user.view->log)
    if (entry.starts_with(u"caption:")) captions.push_back(entry.substr(8));
  EXPECT_EQ(captions, (NameList{text + u"0 " + order[0].Name, text + u"0 " + order[0].Name,
                                text + u"2 " + order[100].Name, text + u"4 " + order[200].Name}));
  EXPECT_EQ(user.progress.Title(), text + u"4\r\n" + order[200].Name);
  EXPECT_EQ(std::make_pair(state.DeletedCount, Names(target)), std::make_pair(4, NameList{order[200].Name}))
      << "the entry shown when the stop came stays";
  EXPECT_EQ(user.view->asked, NameList{u"同期削除中"});
}
