// The lock a run holds on a folder it changes: a named object of the system, named after the
// folder's volume and index. Only another run of these programs makes one of that name, on this
// machine, whoever runs it; every other program may open, list and change the folder as it likes.
// The system drops the object when the run holding it ends, however it ends.
#include "toolkit/platform/win32.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_common.h"
#include "toolkit/platform/fs_win.h"

namespace platform {

namespace {

// The locks this process holds, by folder: two parts of one run may lock the same folder.
struct HeldLock {
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE holder = nullptr;  // what tells another run who holds the folder
  int count = 0;
};

std::mutex& LocksMutex() {
  static std::mutex m;
  return m;
}

std::map<std::pair<std::uint64_t, std::uint64_t>, HeldLock>& HeldLocks() {
  static std::map<std::pair<std::uint64_t, std::uint64_t>, HeldLock> locks;
  return locks;
}

std::wstring LockName(const wchar_t* space, std::uint64_t device, std::uint64_t id, const wchar_t* part = L"") {
  wchar_t name[128];
  swprintf(name, sizeof name / sizeof name[0], L"%ls\\ChartTools.FolderLock.%08llx.%016llx%ls", space,
           static_cast<unsigned long long>(device), static_cast<unsigned long long>(id), part);
  return name;
}

// Beside the lock, a few bytes of shared memory name the run that holds it: machine-wide where the
// user may make such names, else for the session.
struct HolderRecord {
  DWORD process;
  wchar_t program[120];
};

HANDLE TellHolder(std::uint64_t device, std::uint64_t id) {
  for (const wchar_t* space : {L"Global", L"Local"}) {
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(HolderRecord),
                                              LockName(space, device, id, L".holder").c_str());
    if (mapping == nullptr) continue;
    if (auto* record = static_cast<HolderRecord*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(HolderRecord)))) {
      record->process = GetCurrentProcessId();
      const std::u16string program = ExecutableName().substr(0, 119);
      std::memcpy(record->program, program.c_str(), (program.size() + 1) * sizeof(wchar_t));
      UnmapViewOfFile(record);
    }
    return mapping;
  }
  return nullptr;
}

std::u16string ReadHolder(std::uint64_t device, std::uint64_t id) {
  std::u16string holder;
  for (const wchar_t* space : {L"Global", L"Local"}) {
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, LockName(space, device, id, L".holder").c_str());
    if (mapping == nullptr) continue;
    if (const auto* record = static_cast<const HolderRecord*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))) {
      const std::size_t length = wcsnlen(record->program, 120);
      if (record->process != 0 && length > 0) {
        holder = HolderText(std::u16string(record->program, record->program + length), record->process);
      }
      UnmapViewOfFile(record);
    }
    CloseHandle(mapping);
    if (!holder.empty()) break;
  }
  return holder;
}

}  // namespace

FolderLock::~FolderLock() {
  if (!held_) return;
  const std::lock_guard<std::mutex> guard(LocksMutex());
  auto& locks = HeldLocks();
  const auto it = locks.find({device_, id_});
  if (it == locks.end()) return;
  if (--it->second.count == 0) {
    if (it->second.holder != nullptr) CloseHandle(it->second.holder);
    if (it->second.handle != INVALID_HANDLE_VALUE) CloseHandle(it->second.handle);
    locks.erase(it);
  }
}

bool FolderLock::Acquire(const Folder& folder, IoError& error) {
  if (held_) return true;
  if (folder.handle_ < 0) return Fail(error, ERROR_INVALID_HANDLE);
  std::pair<std::uint64_t, std::uint64_t> key;
  if (!IdentityOfOpened(H(folder.handle_), key.first, key.second, error)) return false;
  const std::lock_guard<std::mutex> guard(LocksMutex());
  auto& locks = HeldLocks();
  auto it = locks.find(key);
  if (it == locks.end()) {
    HeldLock held;
    // Machine-wide, so that two users' runs meet too; a session that has no such names gets its own.
    for (const wchar_t* space : {L"Global", L"Local"}) {
      const HANDLE object = CreateMutexW(nullptr, FALSE, LockName(space, key.first, key.second).c_str());
      const DWORD code = GetLastError();
      if ((object != nullptr && code == ERROR_ALREADY_EXISTS) || (object == nullptr && code == ERROR_ACCESS_DENIED)) {
        // Another run has it (another user's, when this one may not even open its object).
        if (object != nullptr) CloseHandle(object);
        holder_ = ReadHolder(key.first, key.second);
        return false;
      }
      if (object != nullptr) {
        held.handle = object;
        held.holder = TellHolder(key.first, key.second);
        break;
      }
    }
    // Else the system makes no named objects here: the run goes on without a lock.
    it = locks.emplace(key, held).first;
  }
  ++it->second.count;
  device_ = key.first;
  id_ = key.second;
  held_ = true;
  exclusive_ = it->second.handle != INVALID_HANDLE_VALUE;
  return true;
}


}  // namespace platform
