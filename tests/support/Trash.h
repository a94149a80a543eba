// The freedesktop.org trash as tests use it (not on Windows): the user's trash pointed into a test's
// folder, and an entry put back from it as a file manager would.
#pragma once
#ifndef _WIN32

#include <cstdio>
#include <cstdlib>

#include "tests/support/TempDir.h"

// Points the user's trash into a folder for as long as it lives.
struct DataHome {
  explicit DataHome(const std::u16string& path) {
    const char* old = std::getenv("XDG_DATA_HOME");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("XDG_DATA_HOME", U8(path).c_str(), 1);
  }
  ~DataHome() { had_ ? (void)setenv("XDG_DATA_HOME", old_.c_str(), 1) : (void)unsetenv("XDG_DATA_HOME"); }
  bool had_ = false;
  std::string old_;
};

// What a file manager does to restore an entry: reads where it came from in its note, and moves it
// back there. Gives the restored path, empty when the note says nothing usable.
inline std::string Restore(const std::string& trash, const std::string& stored, const std::string& top = "") {
  std::string note;
  EXPECT_TRUE(platform::ReadWholeFile(text::DecodeUtf8(trash + "/info/" + stored + ".trashinfo"), note));
  if (note.rfind("[Trash Info]\n", 0) != 0 || note.find("\nDeletionDate=") == std::string::npos) return "";
  const std::size_t at = note.find("\nPath=") + 6;
  const std::string escaped = note.substr(at, note.find('\n', at) - at);
  std::string path = escaped[0] == '/' ? "" : top + "/";
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    path.push_back(escaped[i] != '%' ? escaped[i] : static_cast<char>(std::stoi(escaped.substr(i + 1, 2), nullptr, 16)));
    if (escaped[i] == '%') i += 2;
  }
  return std::rename((trash + "/files/" + stored).c_str(), path.c_str()) == 0 ? path : "";
}
#endif
