// Turning what the user typed, dropped or passed on the command line into a clean absolute folder
// path; shortcuts; handing a path to the desktop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace paths {

// The text without one leading and then one trailing double quote.
std::u16string TrimQuotes(const std::u16string& text);
// The text without its leading spaces (tabs stay).
std::u16string TrimLeadingBlanks(const std::u16string& text);
// A whole number in decimal digits, as counts and backup numbers are shown.
std::u16string Decimal(std::int64_t n);
// False when a character is a control code (0-31 in the ANSI code page), a stray byte of one included.
bool IsPrintableText(const std::u16string& text);

// Absolute form of a typed path against a base folder (the process's current folder when the base
// is empty); empty when the text is unusable.
std::u16string GetFullPath(const std::u16string& path, const std::u16string& base);
// The existing path rebuilt with the names as the file system stores them (found with ASCII letters
// folded), without a trailing separator except for a root; empty when nothing is there.
std::u16string GetTruePath(const std::u16string& path);
// The nearest existing folder of a path, spelled as GetTruePath spells it; empty when none.
std::u16string GetExistingFolder(const std::u16string& path, const std::u16string& base);
// The text of a folder box with its leading blanks removed when it names an existing folder (taken
// from `base` when relative), else empty.
std::u16string CheckPathBox(const std::u16string& text, const std::u16string& base);

// The shortcut's target for a path with the extension "lnk" (any case), else the path itself.
std::u16string ResolveShortcut(const std::u16string& path);
// The folder that a drop of these paths names; empty for a drop without paths.
std::u16string GetDropFolder(const std::vector<std::u16string>& paths);

// Opens a file with its program, or shows a folder (or a shortcut's folder) in the file manager;
// offers the choice of a program when no program is associated. The shell's last answer: above
// 32 when something opened.
int ShellOpen(const std::u16string& path);

// The executable's folder as GetTruePath spells it: where a program's settings, rules and readme
// live.
std::u16string ProgramFolder();

}  // namespace paths
