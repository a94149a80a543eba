#include "tests/support/TempDir.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

#ifdef _WIN32
std::u16string MakeTempFolder() {
  // The user's temporary folder, a fresh name in it taken by the one who makes it first.
  const wchar_t* base = _wgetenv(L"TEMP");
  if (base == nullptr || *base == L'\0') base = _wgetenv(L"TMP");
  const std::u16string root = base != nullptr && *base != L'\0' ? std::u16string(reinterpret_cast<const char16_t*>(base))
                                                                 : platform::CurrentDirectory();
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::u16string path = platform::JoinPath(root, u"charttools-" + text::DecodeUtf8(std::to_string(random())));
    if (platform::CreateFolder(path)) return path;
  }
  ADD_FAILURE() << "cannot make a temporary folder";
  return root;
}
#else
std::u16string MakeTempFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/charttools-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
  return text::DecodeUtf8(pattern);
}
#endif

namespace {
std::filesystem::path FsPath(const std::u16string& path) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
  return std::filesystem::path(U8(path));
#endif
}
}  // namespace

bool MoveReplacing(const std::u16string& from, const std::u16string& to) {
  std::error_code error;
  std::filesystem::rename(FsPath(from), FsPath(to), error);
  return !error;
}

bool ChangeDirectory(const std::u16string& path) {
  std::error_code error;
  std::filesystem::current_path(FsPath(path), error);
  return !error;
}

void Touch(const std::u16string& path, const std::string& bytes) {
#ifdef _WIN32
  FILE* f = _wfopen(reinterpret_cast<const wchar_t*>(path.c_str()), L"wb");
#else
  FILE* f = fopen(U8(path).c_str(), "wb");
#endif
  ASSERT_NE(f, nullptr) << U8(path);
  EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size()) << U8(path);
  fclose(f);
}
