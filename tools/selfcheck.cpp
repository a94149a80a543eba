// chart-selfcheck FOLDER: reads every chart below FOLDER through the lossless text model and shows
// what it holds. Every line must come back byte for byte; the exit status is 1 when one does not.
#include <cstdio>
#include <string>
#include <vector>

#include "clsFileString.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace {

const clsFileString kStrings;

bool IsChart(const std::u16string& name) {
  for (const char16_t* ext : {u".bms", u".bme", u".bml", u".pms"}) {
    const std::u16string e(ext);
    if (name.size() > e.size() && kStrings.FileStrComp(name.substr(name.size() - e.size()), e, 1) == 0) return true;
  }
  return false;
}

bool StartsWith(const std::u16string& line, const char16_t* head) {
  return kStrings.FileInStrR(1, line, head, 1) != 0;
}

int CheckChart(const std::u16string& path) {
  std::string bytes;
  if (!platform::ReadFile(path, bytes)) {
    std::printf("%s: cannot be read\n", platform::ToUtf8(path).c_str());
    return 1;
  }
  int lines = 0, wav = 0, bmp = 0, escaped = 0, changed = 0;
  std::u16string title;
  std::size_t pos = 0;
  std::string_view line;
  while (platform::NextLine(bytes, pos, line)) {
    ++lines;
    const std::u16string text = platform::DecodeCp932(line);
    if (platform::ToCp932(text) != line) ++changed;
    for (char16_t c : text) escaped += platform::IsEscapeUnit(c) ? 1 : 0;
    if (StartsWith(text, u"#WAV")) ++wav;
    if (StartsWith(text, u"#BMP")) ++bmp;
    if (StartsWith(text, u"#TITLE ")) title = text.substr(7);
  }
  std::printf("%s\n  title \"%s\", %d lines, %d #WAV, %d #BMP, %d bytes not CP932 kept as they are: %s\n",
              platform::ToUtf8(path).c_str(), platform::ToUtf8(title).c_str(), lines, wav, bmp, escaped,
              changed == 0 ? "lossless" : "LOST BYTES");
  return changed == 0 ? 0 : 1;
}

int Walk(const std::u16string& folder, int& charts) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListFolder(folder, entries)) {
    std::printf("%s: cannot be listed\n", platform::ToUtf8(folder).c_str());
    return 1;
  }
  int failures = 0;
  for (const auto& e : entries) {
    if (!(e.Attributes & platform::kAttrDirectory) && IsChart(e.Name)) {
      ++charts;
      failures += CheckChart(platform::JoinPath(folder, e.Name));
    }
  }
  for (const auto& e : entries) {
    if (e.Attributes & platform::kAttrDirectory && !e.IsLink) failures += Walk(platform::JoinPath(folder, e.Name), charts);
  }
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: chart-selfcheck FOLDER\n");
    return 1;
  }
  int charts = 0;
  const int failures = Walk(platform::AbsolutePath(platform::DecodeUtf8(argv[1])), charts);
  std::printf("%d charts read, %d with bytes lost\n", charts, failures);
  return failures == 0 && charts > 0 ? 0 : 1;
}
