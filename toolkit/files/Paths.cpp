#include "toolkit/files/Paths.h"

#include "toolkit/files/FolderIndex.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/shell.h"
#include "toolkit/text/Compare.h"
#include "toolkit/text/Codecs.h"

namespace paths {
namespace {

bool HasExtensionLnk(const std::u16string& path) {
  const std::size_t dot = path.rfind(u'.');
  if (dot == std::u16string::npos) return false;
  const std::u16string ext = path.substr(dot + 1);
  if (ext.find(platform::PathSeparator()) != std::u16string::npos) return false;
  return text::Equal(ext, u"lnk", text::CaseMode::Text);
}

// The name an entry of `folder` is stored under: `name` itself when it exists, else the entry the
// shared lookup finds (its bytes, or either with ASCII letters folded); empty when none.
std::u16string FindStoredName(const std::u16string &folder,
                              const std::u16string &name) {
  if (name.empty() || name == u"." || name == u"..") return std::u16string();
  for (const char16_t c : name) {
    if (platform::IsSeparator(c)) return std::u16string();
  }
  // The file system's own lookup first (on Windows it finds any letter case), then the shared one.
  const std::u16string stored =
      platform::StoredNameAt(platform::JoinPath(folder, name));
  if (!stored.empty()) return stored;
  platform::IoError error;
  const platform::Folder open = platform::Folder::Open(folder, error);
  FolderIndex index;
  if (!open.IsOpen() || !index.Load(open, error)) return std::u16string();
  const platform::DirEntry* entry = index.Find(name);
  return entry != nullptr ? entry->Name : std::u16string();
}

}  // namespace

std::u16string TrimQuotes(const std::u16string& text) {
  std::u16string out = text;
  if (!out.empty() && out.front() == u'"') out.erase(0, 1);
  if (!out.empty() && out.back() == u'"') out.pop_back();
  return out;
}

std::u16string TrimLeadingBlanks(const std::u16string& text) {
  const std::size_t first = text.find_first_not_of(u' ');
  return first == std::u16string::npos ? std::u16string() : text.substr(first);
}

std::u16string Decimal(std::int64_t n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

bool IsPrintableText(const std::u16string& text) {
  for (const char16_t c : text) {
    const int code = text::Cp932Code(c);
    if (code >= 0 && code <= 31) return false;
  }
  return true;
}

std::u16string GetFullPath(const std::u16string& path, const std::u16string& base) {
  std::u16string text = TrimQuotes(TrimLeadingBlanks(path));
  if (!IsPrintableText(text)) return std::u16string();
  if (platform::RootOf(text).empty() && !base.empty()) {
    if (!text.empty() && platform::IsSeparator(text[0])) {
      text = platform::RootOf(base) + text;  // root-relative: the base's drive in front
    } else {
      text = platform::JoinPath(base, text);
    }
  }
  return platform::AbsolutePath(text);
}

std::u16string GetTruePath(const std::u16string& path) {
  const std::u16string text = TrimLeadingBlanks(path);
  const std::u16string root = platform::RootOf(text);
  if (root.empty()) return std::u16string();
  std::u16string drive;
  for (const char16_t c : root) drive += (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
  // The root with its separator ("C:" alone would mean the drive's current folder).
  if (!platform::IsSeparator(drive.back())) drive += platform::PathSeparator();
  if (text.size() <= drive.size()) {
    const std::u16string top = platform::AbsolutePath(drive);
    return platform::FolderExists(top) ? top : std::u16string();
  }
  std::u16string result = drive;
  std::size_t i = root.size();
  while (i < text.size()) {
    std::size_t j = i;
    while (j < text.size() && !platform::IsSeparator(text[j])) ++j;
    if (j > i) {
      const std::u16string stored =
          FindStoredName(result, text.substr(i, j - i));
      if (stored.empty()) return std::u16string();
      result = platform::JoinPath(result, stored);
    }
    i = j + 1;
  }
  if (!platform::FolderExists(result) && !platform::FileExists(result)) return std::u16string();
  return result;
}

std::u16string GetExistingFolder(const std::u16string& path, const std::u16string& base) {
  std::u16string full = GetFullPath(path, base);
  while (!full.empty()) {
    const std::u16string stored = GetTruePath(full);
    if (!stored.empty() && platform::FolderExists(stored)) return stored;
    full = platform::ParentFolder(full);
  }
  return std::u16string();
}

std::u16string CheckPathBox(const std::u16string& text, const std::u16string& base) {
  const std::u16string trimmed = TrimLeadingBlanks(text);
  if (trimmed.empty()) return std::u16string();
  const std::u16string stored = GetTruePath(GetFullPath(trimmed, base));
  return !stored.empty() && platform::FolderExists(stored) ? trimmed : std::u16string();
}

std::u16string ResolveShortcut(const std::u16string& path) {
  return HasExtensionLnk(path) ? platform::ShortcutTarget(path) : path;
}

std::u16string GetDropFolder(const std::vector<std::u16string>& paths) {
  if (paths.empty()) return std::u16string();
  std::u16string first = paths.front();
  if (!platform::FileExists(first)) return first;
  if (paths.size() == 1) {
    const std::u16string target = ResolveShortcut(first);
    if (!platform::FileExists(target)) {
      if (platform::FolderExists(target)) return target;
      return platform::ParentFolder(first);
    }
    first = target;
  }
  return platform::ParentFolder(first);
}

int ShellOpen(const std::u16string& path) {
  const std::u16string target = TrimQuotes(path);
  platform::ShellVerb verb = platform::ShellVerb::Open;
  if (platform::FolderExists(target) ||
      (platform::FileExists(target) && platform::FolderExists(ResolveShortcut(target)))) {
    verb = platform::ShellVerb::Explore;
  }
  const int answer = platform::ShellRun(verb, target);
  if (answer != platform::kShellNoAssociation) return answer;
  return platform::ShellRun(platform::ShellVerb::OpenWith, target);
}

std::u16string ProgramFolder() {
  const std::u16string exe_folder = platform::ExecutableFolder();
  const std::u16string stored = GetTruePath(exe_folder);
  return stored.empty() ? exe_folder : stored;
}

}  // namespace paths
