// A fresh temporary folder per test, removed with everything in it afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/fs.h"
#include "platform/text.h"

class TempDir {
 public:
  TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/charttools-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
    path_ = platform::DecodeUtf8(pattern);
  }
  ~TempDir() { platform::DeleteTree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::u16string& Path() const { return path_; }
  std::u16string operator/(const std::u16string& name) const { return platform::JoinPath(path_, name); }

  // Writes a file below the folder and returns its full path.
  std::u16string Write(const std::u16string& name, const std::string& bytes) const {
    const std::u16string full = *this / name;
    EXPECT_TRUE(platform::WriteFile(full, bytes)) << platform::ToUtf8(full);
    return full;
  }
  std::u16string MakeFolder(const std::u16string& name) const {
    const std::u16string full = *this / name;
    EXPECT_TRUE(platform::CreateFolder(full)) << platform::ToUtf8(full);
    return full;
  }

 private:
  std::u16string path_;
};

// Readable form of a text in failure messages.
inline std::string U8(const std::u16string& s) { return platform::ToUtf8(s); }
