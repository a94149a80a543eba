// A fresh temporary folder per test, and the file helpers every test shares. Test files take
// GoogleTest, the standard strings, lists and tuples, and the file and text layers from here.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

// Readable form of a text in failure messages.
inline std::string U8(const std::u16string& s) { return text::ToUtf8(s); }

// A name as an archive unpacked on Linux stores it, in Shift-JIS bytes, as listed (on Windows, text).
inline std::u16string ShiftJisName(const std::u16string& text) {
  return platform::PathSeparator() == u'\\' ? text : text::DecodeNativeName(text::ToCp932(text));
}

// A path written with "/" as this platform writes it ("\" on Windows).
inline std::u16string Sep(std::u16string path) {
  for (char16_t& c : path) c = c == u'/' ? platform::PathSeparator() : c;
  return path;
}

// Attribute bits without "archived", which Wine reports for every file and POSIX never does.
inline int AttributesOf(const std::u16string& path) {
  const int bits = platform::GetAttributes(path);
  return bits < 0 ? bits : bits & ~platform::kAttrArchive;
}

// The whole content of a file; a failure to read it fails the test.
inline std::string ReadBytes(const std::u16string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(path, bytes)) << U8(path);
  return bytes;
}

// A folder opened for a test; a failure to open it fails the test.
inline platform::Folder OpenFolder(const std::u16string& path) {
  platform::IoError error;
  platform::Folder folder = platform::Folder::Open(path, error);
  EXPECT_TRUE(folder.IsOpen()) << U8(path) << " " << error.Code;
  return folder;
}

inline std::vector<std::u16string> Names(const std::u16string& folder) {
  platform::IoError error;
  std::vector<platform::DirEntry> entries;
  EXPECT_TRUE(OpenFolder(folder).List(entries, error)) << U8(folder);
  std::vector<std::u16string> names;
  for (const auto& e : entries) names.push_back(e.Name);
  return names;
}

std::u16string MakeTempFolder();
// What tests do and no program does: a rename that replaces what stands at `to` (an editor saving,
// a folder moved away), and a change of the process's current folder.
bool MoveReplacing(const std::u16string& from, const std::u16string& to);
bool ChangeDirectory(const std::u16string& path);
// A file written without waiting for the disk, for tests that need many.
void Touch(const std::u16string& path, const std::string& bytes = "");

class TempDir {
 public:
  TempDir() : path_(MakeTempFolder()) {}
  ~TempDir() { platform::RemoveTree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::u16string& Path() const { return path_; }
  // A path below the folder; "/" in `name` parts its folders.
  std::u16string operator/(const std::u16string& name) const { return platform::JoinPath(path_, Sep(name)); }

  std::u16string Write(const std::u16string& name, const std::string& bytes) const {
    const std::u16string full = *this / name;
    EXPECT_TRUE(platform::WriteWholeFile(full, bytes)) << U8(full);
    return full;
  }
  std::u16string MakeFolder(const std::u16string& name) const {
    const std::u16string full = *this / name;
    EXPECT_TRUE(platform::CreateFolder(full)) << U8(full);
    return full;
  }
  std::string Read(const std::u16string& name) const { return ReadBytes(*this / name); }
  std::vector<std::u16string> Names(const std::u16string& sub = u"") const {
    return ::Names(sub.empty() ? path_ : *this / sub);
  }

 private:
  std::u16string path_;
};
