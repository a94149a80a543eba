// Handing a path to the desktop: open a file with its program, show a folder in the file manager.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Shell answers, with the values the Windows shell gives them: above 32 is success.
inline constexpr int kShellOk = 33;
inline constexpr int kShellNoAssociation = 31;
inline constexpr int kShellFailed = 0;

enum class ShellVerb { Open, Explore, OpenWith };

// Performs the verb on the path and returns the shell's answer. The windows install a handler of
// their own (the desktop services of the window system); tests install a recorder.
using ShellHandler = std::function<int(ShellVerb verb, const std::u16string& path)>;
int ShellRun(ShellVerb verb, const std::u16string& path);
void SetShellHandler(ShellHandler handler);  // an empty handler restores the system's own

}  // namespace platform
