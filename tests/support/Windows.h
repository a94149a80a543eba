// What only Windows gives a test: another process started from a wide command line, a shortcut
// made by the shell, and a file another program holds open.
#pragma once

#include <string>

// Runs a program with its whole command line as a shell would give it, and returns its exit status
// (-1 when it could not start); `output` gets what it wrote on stdout and stderr.
int RunCommandLine(const std::u16string& exe, const std::u16string& line, std::string& output);

// A file's access control list in the system's text form (SDDL), empty when it cannot be read; and
// a new one given in that form.
std::u16string AccessList(const std::u16string& path);
bool SetAccessList(const std::u16string& path, const std::u16string& sddl);

// Makes a ".lnk" shortcut to `target` through the shell's link object.
bool MakeShortcut(const std::u16string& shortcut, const std::u16string& target);

// A file or folder opened as an editor or a player opens it: others may read and write it (or, with
// `others_write` false, only read it), nobody may delete or rename it until it is let go.
class HeldOpen {
 public:
  explicit HeldOpen(const std::u16string& path, bool others_write = true);
  ~HeldOpen();
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  bool IsOpen() const;

 private:
  void* handle_;
};
