// The file system as the programs see it. Paths are text in the platform's own form; Windows
// semantics are the reference and other systems emulate them (hidden = a name beginning with ".",
// read-only = the owner may not write). Nothing outside this layer touches the operating system's
// file interfaces.
//
// A run works through open folders (Folder): every entry is reached by its name relative to the
// folder, so a tree of any depth can be walked, and a folder is listed once, with the attributes of
// an entry read only when someone asks for them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
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
// The four bits a file list's attribute rule looks at.
inline constexpr int kAttrKnownBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

// Why a file-system call failed: the system's own error number (errno, or GetLastError on Windows);
// 0 when nothing failed.
struct IoError {
  int Code = 0;
  explicit operator bool() const { return Code != 0; }
  // The name is not there. This alone means "absent"; any other failure means "could not be told".
  bool NotFound() const;
  // The name is taken already.
  bool AlreadyExists() const;
};
// A short text for a failure, in the users' language where the reason is a common one.
std::u16string ErrorText(const IoError& error);
// What failed with its reason: "what (reason)", or `what` alone when no call failed.
std::u16string Explained(const std::u16string& what, const IoError& error);

struct DirEntry {
  std::u16string Name;  // the name as stored, without the folder
  int Attributes = 0;   // kAttrDirectory and kAttrHidden always; the other bits where the listing tells them
  bool IsLink = false;  // a symbolic link (Attributes then describe what it points to)
  bool Dangling = false;  // a link that points to nothing
  bool IsFolder() const { return (Attributes & kAttrDirectory) != 0; }
  // A real folder: one a walk may enter, never a link to one.
  bool IsRealFolder() const { return IsFolder() && !IsLink; }
  // A file that can be read: not a folder, not a dangling link.
  bool IsFile() const { return !IsFolder() && !Dangling; }
};

// Times as nanoseconds since 1970-01-01 UTC. HasCreation is false where the system keeps none.
struct FileTimes {
  bool HasCreation = false;
  std::int64_t Creation = 0;
  std::int64_t Access = 0;
  std::int64_t Write = 0;
};

// What one look at an entry tells.
struct FileInfo {
  bool IsFolder = false;
  bool IsLink = false;     // only when the look did not follow links
  int Attributes = 0;      // Attribute bits
  std::int64_t Size = 0;   // bytes; 0 for folders
  FileTimes Times;
  std::uint32_t Mode = 0;  // permission bits where the system has them
  std::uint32_t Owner = 0, Group = 0;
  std::uint64_t Device = 0, Id = 0;  // together they name the file
  std::uint32_t Links = 1;           // how many names the file has, where the look tells
  std::int64_t Change = 0;           // when the file or its names last changed, where the system keeps it
};

// A new file being written (see Folder::Create). Closed, and removed unless finished, when it goes.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool IsOpen() const { return handle_ >= 0; }
  [[nodiscard]] bool Write(std::string_view bytes, IoError& error);
  // Gives the file the permission bits of `like` (made writable by its owner, as a time copy leaves
  // a read-only file), its owner and group where the system allows it, and its times; makes the
  // content durable when asked, and closes the file. On failure the file is removed.
  [[nodiscard]] bool Finish(const FileInfo& like, bool durable, IoError& error);

 private:
  friend class Folder;
  void Discard();
  std::intptr_t handle_ = -1;
  std::intptr_t folder_ = -1;
  std::uint32_t mode_ = 0;  // the permission bits it was made with
  std::u16string name_;
  std::u16string path_;
};

enum class KeepResult { Made, Exists, Failed };

// The rules of one folder tree's deletion (Folder::RemoveTree), and its account of what stayed.
// A tree is never left half checked: what it must keep is looked for before anything of it goes.
struct TreeRemoval {
  enum class Why {
    Failed,         // the system refused (Error tells why)
    Kept,           // a folder of Keep itself
    HoldsKept,      // a folder that holds one of Keep: nothing of the tree was touched
    KeptFile,       // a file that KeepFile keeps
    HoldsKeptFile,  // a folder that holds such a file: nothing of the tree was touched
    MountPoint,     // another file system or mount (a junction or mounted volume on Windows): not entered
    Held,           // another run holds the folder's lock
  };
  struct Stay {
    std::u16string Path;
    Why Reason = Why::Failed;
    IoError Error;
  };
  // Folders (Device and Id as FileInfo tells them) that must stay, with every folder that holds them.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Keep;
  // Files that must stay, by name; a tree holding one stays whole.
  std::function<bool(const std::u16string& name)> KeepFile;
  // Only the checks made before anything goes: what a deletion would refuse, nothing deleted.
  bool CheckOnly = false;
  // The whole entry goes to the trash (Folder::Trash) instead, or nothing of it: besides what a
  // deletion keeps, a mount point or a folder another run holds anywhere in the tree keeps it all.
  bool ToTrash = false;

  // Where the cause of each stay lies (the folders holding it stay too and are not listed).
  std::vector<Stay> Stayed;
  std::size_t Removed = 0;  // entries deleted
};

// An open folder. The path it was opened by serves messages only; every operation goes through the
// open folder and the names of its entries, never through a rebuilt path.
class Folder {
 public:
  Folder() = default;
  ~Folder();
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The folder a path names; a link in the path is followed, for it is the user's own choice.
  [[nodiscard]] static Folder Open(const std::u16string& path, IoError& error);
  // A subfolder by its name, never through a link.
  [[nodiscard]] Folder OpenSub(const std::u16string& name, IoError& error) const;
  bool IsOpen() const { return handle_ >= 0 || !native_.empty(); }
  const std::u16string& Path() const { return path_; }
  std::u16string PathOf(const std::u16string& name) const;

  // Every entry except "." and "..", sorted by name with ASCII letters folded (the order the Windows
  // file system lists in), or as the file system keeps them (the order it works through fastest).
  // Pipes, sockets and devices are left out.
  enum class Order { ByName, AsStored };
  [[nodiscard]] bool List(std::vector<DirEntry>& entries, IoError& error, Order order = Order::ByName) const;
  // A look at the open folder itself.
  [[nodiscard]] bool SelfInfo(FileInfo& info, IoError& error) const;
  // A look at one entry, links followed or not.
  [[nodiscard]] bool Info(const std::u16string& name, FileInfo& info, bool follow, IoError& error) const;
  // The whole content of a regular file, with a look at it taken through the same opening.
  [[nodiscard]] bool Read(const std::u16string& name, std::string& bytes, FileInfo& info, IoError& error) const;
  // A new file that must not exist yet; nothing that exists is ever opened or replaced here. It is
  // made with the permission bits given where the system has them (as File::Finish would give them,
  // so that Finish need not change them again), else private to its owner.
  [[nodiscard]] bool Create(const std::u16string& name, File& file, IoError& error, std::uint32_t mode = 0600) const;
  // Keeps a file's present content under a new name that must not exist yet: a second link to the
  // same file where the file system has links, else an exact copy with the file's times.
  KeepResult Keep(const std::u16string& name, const std::u16string& copy, IoError& error) const;
  // Renames an entry, atomically replacing a file at `to`.
  [[nodiscard]] bool Rename(const std::u16string& from, const std::u16string& to, IoError& error) const;
  // Deletes a file even when it is read-only; a link is deleted as a link. Refuses folders.
  [[nodiscard]] bool Remove(const std::u16string& name, IoError& error) const;
  // Deletes a folder with all it holds, read-only entries too, never following a link and never
  // crossing into another mount; each folder is locked as a run locks it before it is emptied. A
  // file or a link given is deleted itself. `folder` says the caller's listing showed a real folder.
  // True when the whole tree went (or, with ToTrash, went to the trash); `removal` tells what stayed
  // and why.
  [[nodiscard]] bool RemoveTree(const std::u16string& name, TreeRemoval& removal, bool folder = false) const;
  // Moves an entry (a file, a link, or a folder with all it holds) to the desktop's trash, from which
  // the user can restore it: the freedesktop.org trash of the entry's own volume, or the Recycle Bin
  // on Windows. Nothing is deleted when the entry cannot go there.
  [[nodiscard]] bool Trash(const std::u16string& name, IoError& error) const;
  // Gives an entry times, never through a link.
  [[nodiscard]] bool SetTimes(const std::u16string& name, const FileTimes& times, IoError& error) const;
  // Clears the read-only attribute of an entry whose look said it is read-only; never through a link.
  [[nodiscard]] bool MakeWritable(const std::u16string& name, const FileInfo& info, IoError& error) const;
  // Gives an entry normal attributes, as a time copy leaves its source: read-only, and where the
  // system stores them hidden, system and archive, cleared; never through a link.
  [[nodiscard]] bool MakeNormal(const std::u16string& name, const FileInfo& info, IoError& error) const;
  // True when both are the same folder.
  bool SameAs(const Folder& other) const;

 private:
  friend class FolderLock;
  friend class TreeRemover;
  std::intptr_t handle_ = -1;  // the folder's opening, which its entries are reached through
  std::u16string native_;      // Windows: the long form of the path it was opened by
  std::u16string path_;
};

// The right to change the entries of one folder, held by one run at a time across all programs and
// processes; a second run is refused while the first holds it. Released when the lock goes.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // False when another run holds the folder (error stays empty) or the folder cannot be examined.
  // On a file system that has no locks the run goes on unlocked: Exclusive() then says so.
  [[nodiscard]] bool Acquire(const Folder& folder, IoError& error);
  // True when no other run can hold the folder at the same time, so that what a killed run left
  // behind in it may be removed.
  bool Exclusive() const { return exclusive_; }
  // After Acquire found another run holding the folder: that run's program and process, where the
  // system tells them ("quarrow-cli、プロセス 1234"); empty otherwise.
  const std::u16string& Holder() const { return holder_; }

 private:
  std::uint64_t device_ = 0, id_ = 0;
  bool held_ = false;
  bool exclusive_ = false;
  std::u16string holder_;
};

#ifdef _WIN32
// Whether an entry with these attributes and reparse tag (as a directory search tells them) names a
// folder elsewhere, maybe on another volume, that a tree deletion neither enters nor removes: a
// junction, a mounted volume, or a reparse point that will not tell its kind.
bool IsMountEntry(std::uint32_t attributes, std::uint32_t tag);
#endif

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
// A look at a path (links followed), telling a missing path from one that cannot be examined.
[[nodiscard]] bool PathInfo(const std::u16string& path, FileInfo& info, IoError& error);

// Attribute bits of a path, or -1 when nothing is there.
int GetAttributes(const std::u16string& path);
// Sets the read-only bit as given (the other bits are not stored on every platform). False on failure
// and for a symbolic link, whose target is never changed through it.
bool SetAttributes(const std::u16string& path, int attributes);

bool GetFileTimes(const std::u16string& path, FileTimes& times);
bool SetFileTimes(const std::u16string& path, const FileTimes& times);
// True when both paths name the same existing file or folder.
bool SameFile(const std::u16string& a, const std::u16string& b);

// Deletes a file even when it is read-only; a link is deleted as a link. Refuses folders.
bool RemoveFile(const std::u16string& path);
// Deletes a folder with all it holds, never following a link; a file or link is deleted itself.
bool RemoveTree(const std::u16string& path);
// Creates one folder. False when it exists or cannot be made.
bool CreateFolder(const std::u16string& path);

// Whole-file reading, and writing a new content (the file is created or truncated; a link at the
// name is not followed, nor is anything but a regular file written); written durably, the content
// is on the disk when this returns.
bool ReadWholeFile(const std::u16string& path, std::string& bytes);
bool WriteWholeFile(const std::u16string& path, const std::string& bytes);
// Reads a regular file of at most `limit` bytes whole; false with the reason for anything else (a
// folder, another kind of file, a larger file).
bool ReadWholeFile(const std::u16string& path, std::string& bytes, IoError& error, std::int64_t limit);

// Absolute form of a path: relative to the current folder, "." dropped, separators doubled up taken
// as one, and ".." meaning what the system means by it (on POSIX the parent of what a link before it
// points to). Links elsewhere stay as written. Empty when a folder before a ".." is not there or
// cannot be examined: such a path names nothing.
std::u16string AbsolutePath(const std::u16string& path);
std::u16string CurrentDirectory();

// The folder a path lies in ("/a" for "/a/b", the root for "/a"); empty for a root or a bare name.
std::u16string ParentFolder(const std::u16string& path);
// The last name of a path, without the folder it lies in.
std::u16string LastName(const std::u16string& path);

// The name an existing entry is stored under, found as the file system finds names (on Windows
// whatever the letter case the path gives it); empty when nothing is there.
std::u16string StoredNameAt(const std::u16string &path);

// The target of a shortcut file; empty when the path is none or its target cannot be read. Symbolic
// links need no such help (the file system follows them), so on POSIX this is always empty.
std::u16string ShortcutTarget(const std::u16string& path);

#ifdef _WIN32
// The named data streams that a listing of a file's streams (the system's FILE_STREAM_INFORMATION
// records, `size` bytes) holds, each as it is opened relative to its file (":name:$DATA"); the
// file's own data is none of them.
std::vector<std::u16string> NamedStreams(const void* records, std::size_t size);
#endif

// The bytes the system stores for a name: the ones every comparison with a chart's own bytes uses.
std::string NativeBytes(const std::u16string& name);

// The running executable's folder (no trailing separator unless it is the root) and its name without
// a ".exe" extension.
std::u16string ExecutableFolder();
std::u16string ExecutableName();

}  // namespace platform
