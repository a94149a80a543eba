// What the Fennick tests share: a fresh run state with a scripted progress dialog and recorded
// messages, and small file helpers.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "Recorders.h"
#include "TempDir.h"
#include "mdlAppGlobal.h"
#include "mdlMain.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace fennick_test {

inline std::string Read(const std::u16string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadFile(path, bytes)) << U8(path);
  return bytes;
}

inline void Link(const std::u16string& target, const std::u16string& link) {
  ASSERT_EQ(symlink(platform::ToUtf8(target).c_str(), platform::ToUtf8(link).c_str()), 0) << U8(link);
}

inline bool IsLink(const std::u16string& path) {
  char buffer[8];
  return readlink(platform::ToUtf8(path).c_str(), buffer, sizeof buffer) >= 0;
}

inline std::vector<std::u16string> Names(const std::u16string& folder) {
  std::vector<platform::DirEntry> entries;
  EXPECT_TRUE(platform::ListFolder(folder, entries)) << U8(folder);
  std::vector<std::u16string> names;
  for (const auto& e : entries) names.push_back(e.Name);
  return names;
}

inline std::int64_t WriteTime(const std::u16string& path) {
  platform::FileTimes times;
  EXPECT_TRUE(platform::GetFileTimes(path, times)) << U8(path);
  return times.Write;
}

inline void SetWriteTime(const std::u16string& path, std::int64_t seconds) {
  platform::FileTimes times;
  times.Access = times.Write = seconds * 1000000000LL;
  ASSERT_TRUE(platform::SetFileTimes(path, times));
}

// A run state as a fresh run leaves it, with the flags given, a scripted progress dialog and a
// message recorder that answer as the test says.
class FennickTest : public ::testing::Test {
 protected:
  FennickTest() {
    auto owned = std::make_unique<ScriptedCancelView>();
    view = owned.get();
    mdlAppGlobal::SetCancelView(std::move(owned));
    mdlAppGlobal::Cancel().SetVisible(true);
    fennick::RunState& s = fennick::State();
    s = fennick::RunState();
    s.ConvertOn = true;
    s.BackupOn = true;
    clsFilter& filter = mdlAppGlobal::Filter();
    filter.SetIsMatchOther(0, true);
    filter.SetPatterns(0, u"*.bms;*.bme");
    filter.SetIsMatchOther(1, false);
    filter.SetPatterns(1, u"");
  }
  ~FennickTest() override {
    view->on_events = nullptr;  // it may hold references to the test's locals
    fennick::State() = fennick::RunState();
  }

  fennick::RunState& state() { return fennick::State(); }
  // The captions the progress dialog was given, in order.
  std::vector<std::u16string> Captions() const {
    std::vector<std::u16string> out;
    for (const auto& entry : view->log) {
      if (entry.rfind(u"caption:", 0) == 0) out.push_back(entry.substr(8));
    }
    return out;
  }

  TempDir t;
  RecordingMessages messages;
  ScriptedCancelView* view = nullptr;
};

}  // namespace fennick_test
