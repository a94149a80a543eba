// What a replaced file keeps: its named data streams and its access control list.
#include "toolkit/platform/win32.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_win.h"

namespace platform {
namespace {

// Reads a whole stream or file through an opening for reading.
bool ReadWhole(HANDLE h, std::string& bytes, IoError& error) {
  LARGE_INTEGER size{};
  return (GetFileSizeEx(h, &size) || Fail(error)) && ReadAll(h, size.QuadPart, bytes, error);
}

}  // namespace

// What Windows' own replacement of a file keeps of the file it replaces, copied onto the file that
// takes its place: its named data streams (a download's zone mark, a tagging program's data) and its
// access control list. False, with the reason, when that cannot be done: the replacement would
// lose them.
bool CarryOver(HANDLE old_file, HANDLE new_file, IoError& error) {
  std::vector<std::uint64_t> records(512);
  for (;;) {
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtQueryInformationFile(old_file, &io, records.data(),
                                                   static_cast<ULONG>(records.size() * sizeof(records[0])),
                                                   FileStreamInformation);
    if ((status == kStatusBufferOverflow || status == kStatusBufferTooSmall) && records.size() < (1u << 20)) {
      records.resize(records.size() * 2);
      continue;
    }
    if (!NT_SUCCESS(status)) break;  // a file system without streams
    for (const std::u16string& stream : NamedStreams(records.data(), io.Information)) {
      // A stream is opened relative to its file's opening by its own name (":name:$DATA").
      Handle in, out;
      std::string bytes;
      NTSTATUS opened = OpenAt(old_file, W(stream), GENERIC_READ, kShareAll, FILE_OPEN,
                               FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, in);
      if (!NT_SUCCESS(opened)) return FailStatus(error, opened);
      if (!ReadWhole(in.get(), bytes, error)) return false;
      opened = OpenAt(new_file, W(stream), GENERIC_WRITE, 0, FILE_OVERWRITE_IF, FILE_NON_DIRECTORY_FILE, out);
      if (!NT_SUCCESS(opened)) return FailStatus(error, opened);
      if (!WriteAll(out.get(), bytes, error)) return false;
    }
    break;
  }
  DWORD flags = 0;
  if (!GetVolumeInformationByHandleW(old_file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
      (flags & FILE_PERSISTENT_ACLS) == 0) {
    return true;  // no access control lists here (FAT, exFAT)
  }
  // The list as it stands, inherited entries and protection from inheritance included.
  std::vector<std::uint64_t> descriptor(64);
  DWORD needed = 0;
  while (!GetKernelObjectSecurity(old_file, DACL_SECURITY_INFORMATION, descriptor.data(),
                                  static_cast<DWORD>(descriptor.size() * sizeof(descriptor[0])), &needed)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size() * sizeof(descriptor[0])) {
      return Fail(error);
    }
    descriptor.resize(needed / sizeof(descriptor[0]) + 1);
  }
  Handle dac;
  const NTSTATUS opened = OpenAt(new_file, L"", WRITE_DAC, kShareAll, FILE_OPEN, 0, dac);
  if (!NT_SUCCESS(opened)) return FailStatus(error, opened);
  return SetKernelObjectSecurity(dac.get(), DACL_SECURITY_INFORMATION, descriptor.data()) || Fail(error);
}

std::vector<std::u16string> NamedStreams(const void* records, std::size_t size) {
  std::vector<std::u16string> names;
  const char* const start = static_cast<const char*>(records);
  const std::size_t head = offsetof(FILE_STREAM_INFORMATION, StreamName);
  for (std::size_t at = 0; at + head <= size;) {
    FILE_STREAM_INFORMATION record;
    std::memcpy(&record, start + at, head);
    const std::size_t length = std::min<std::size_t>(record.StreamNameLength, size - at - head) / sizeof(char16_t);
    std::u16string name(length, u'\0');
    std::memcpy(name.data(), start + at + head, length * sizeof(char16_t));
    // The file's own data is "::$DATA"; a named stream of data is ":name:$DATA".
    if (name.size() > 6 && name[0] == u':' && name != u"::$DATA" && name.compare(name.size() - 6, 6, u":$DATA") == 0) {
      names.push_back(std::move(name));
    }
    if (record.NextEntryOffset == 0) break;
    at += record.NextEntryOffset;
  }
  return names;
}


}  // namespace platform
