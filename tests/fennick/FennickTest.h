// A run state as a fresh run leaves it (conversion and backups on), a scripted user, folders opened.
#pragma once

#include "fennick/Run.h"
#ifndef _WIN32
#include "tests/support/Posix.h"
#endif
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"

namespace fennick_test {

using NameList = std::vector<std::u16string>;
constexpr fennick::ConvertModes kModeNormal = fennick::ConvertModes::Normal,
                                kModeRedefine = fennick::ConvertModes::Redefine, kModeClear = fennick::ConvertModes::Clear;

class FennickTest : public ::testing::Test {
 protected:
  FennickTest() {
    state.ConvertOn = state.BackupOn = true;
    run::SetFileFilter(user.files, fennick::RunOptions());  // the window's default lists: *.bms;*.bme
    user.progress.SetVisible(true);
  }

  bool Sync(const std::u16string& source, const std::u16string& target) {
    return fennick::SyncDelete(state, source, OpenFolder(target));
  }
  bool Convert(const std::u16string& source, const std::u16string& target) {
    return fennick::ConvertFolder(state, source, OpenFolder(target));
  }

  TempDir t;
  ScriptedUser user;
  RunContext context = user.Context();
  fennick::RunState state{context};
};

}  // namespace fennick_test
