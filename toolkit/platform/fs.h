// The file system as the programs see it. Paths are text in the platform's own form; Windows
// semantics are the reference and other systems emulate them (hidden = a name beginning with ".",
// read-only = the owner may not write, ASCII case folding when a stored name is looked up).
// Nothing outside this layer touches the operating system's file interfaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// File attributes with the values the Windows file system gives them.
enum Attribute : int {
  kAttrNormal = 0,
  kAttrReadOnly = 1,
  kAttrHidden = 2,
  kAttrSystem = 4,
  kAttrDirectory = 16,
  kAttrArchive = 32,
};

struct DirEntry {
  std::u16string Name;      // the name as stored, without the folder
  int Attributes = 0;       // Attribute bits; kAttrDirectory for folders
  bool IsLink = false;      // a symbolic link (the other fields describe what it points to)
  bool Dangling = false;    // a link that points to nothing
  std::int64_t Size = 0;    // bytes; 0 for folders
};

// Times as nanoseconds since 1970-01-01 UTC. HasCreation is false where the system keeps none.
struct FileTimes {
  bool HasCreation = false;
  std::int64_t Creation = 0;
  std::int64_t Access = 0;
  std::int64_t Write = 0;
};

// The folder separator of paths on this platform, and the path join rule: folder + separator + name,
// no separator added when the folder already ends with one.
char16_t PathSeparator();
bool IsSeparator(char16_t c);
std::u16string JoinPath(const std::u16string& folder, const std::u16string& name);
// The drive part of an absolute path ("/" on POSIX, "C:" or "\\server\share" on Windows); empty for
// a relative path.
std::u16string RootOf(const std::u16string& path);

bool FileExists(const std::u16string& path);    // a file (not a folder), links followed
bool FolderExists(const std::u16string& path);  // a folder, links followed
bool PathExists(const std::u16string& path);    // anything, a dangling link included

// Every entry of a folder except "." and "..", files and folders alike, sorted by name with ASCII
// letters folded (the order the Windows file system lists in). False when the folder cannot be read.
bool ListFolder(const std::u16string& folder, std::vector<DirEntry>& entries);

// Attribute bits of a path, or -1 when nothing is there.
int GetAttributes(const std::u16string& path);
// Sets the read-only bit as given (the other bits are not stored on every platform). False on failure
// and for a symbolic link, whose target is never changed through it.
bool SetAttributes(const std::u16string& path, int attributes);

// Size in bytes of a file, or -1 when it is missing or a folder.
std::int64_t FileSize(const std::u16string& path);

bool GetFileTimes(const std::u16string& path, FileTimes& times);
bool SetFileTimes(const std::u16string& path, const FileTimes& times);
// True when both paths name the same existing file or folder.
bool SameFile(const std::u16string& a, const std::u16string& b);

// Moves a file; refuses (false) when `to` exists, whatever it is. Never replaces anything.
bool MoveNoReplace(const std::u16string& from, const std::u16string& to);
// Keeps a file's present content under a new name that must not exist yet: a second link to the same
// file where the file system has links, else an exact copy that carries the file's times. Never
// replaces anything; the file itself stays where it is.
enum class KeepResult { Made, Exists, Failed };
KeepResult KeepCopyNoReplace(const std::u16string& file, const std::u16string& copy);
// Renames a file, atomically replacing an existing file at `to`.
bool RenameReplace(const std::u16string& from, const std::u16string& to);
// Deletes a file even when it is read-only; a link is deleted as a link. Refuses folders.
bool DeleteFile(const std::u16string& path);
// Deletes a folder with all it holds, read-only entries too; links inside are deleted as links and
// never followed. A file or link given as `path` is deleted itself.
bool DeleteTree(const std::u16string& path);
// Creates one folder. False when it exists or cannot be made.
bool CreateFolder(const std::u16string& path);

// Whole-file reading, and writing a new content (the file is created or truncated; a link at the
// name is not followed). Written durably, the content is on the disk when this returns; otherwise
// it is with the system, and SyncFileSystem makes many such files durable at once.
bool ReadFile(const std::u16string& path, std::string& bytes);
bool WriteFile(const std::u16string& path, const std::string& bytes, bool durable = true);
// Puts everything written on the file system that holds `path` onto the disk.
void SyncFileSystem(const std::u16string& path);

// Absolute form of a path: relative to the current folder, "." and ".." resolved, separators
// doubled up taken as one. Links are not resolved.
std::u16string AbsolutePath(const std::u16string& path);
std::u16string CurrentDirectory();
bool SetCurrentDirectory(const std::u16string& path);

// The folder a path lies in ("/a" for "/a/b", the root for "/a"); empty for a root or a bare name.
std::u16string ParentFolder(const std::u16string& path);

// The target of a shortcut file; empty when the path is none or its target cannot be read. Symbolic
// links need no such help (the file system follows them), so on POSIX this is always empty.
std::u16string ShortcutTarget(const std::u16string& path);

// The name an entry of `folder` is stored under: `name` itself when it exists, else the first entry
// (in name order) that equals it with ASCII letters folded; empty when none does.
std::u16string StoredName(const std::u16string& folder, const std::u16string& name);

// The running executable's folder (no trailing separator unless it is the root) and its name without
// a ".exe" extension.
std::u16string ExecutableFolder();
std::u16string ExecutableName();

}  // namespace platform
