// What the three command lines share: the set-up before the options are read, the options every
// program takes, the reply to bad arguments and the exit status of a run. Each command keeps its
// own usage text and its own options.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "mdlMessages.h"
#include "mdlOptions.h"
#include "mdlRun.h"

namespace mdlCli {

// One command-line run, from its set-up to its end. While it lasts, the settings and rule files
// are the window program's, relative paths mean what the shell means by them, and messages go to
// the console. The settings file is read with the program's defaults and never written.
class Session {
 public:
  // program: the window program whose files are read ("Quarrow"); command: this command's name
  // ("quarrow-cli") in its messages; usage: the text of --help.
  Session(const std::u16string& program, std::string command, const char* usage,
          mdlOptions::SettingsTable defaults);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  ConsoleMessages& Console() { return console_; }
  // The settings every program keeps alike: the filter section and recursion.
  void ReadSettings(RunOptionsBase& options) const;

  // Prints why, with a pointer to --help, on stderr; returns the exit status of bad arguments.
  int BadArguments(const std::string& why) const;

  // Takes args[i] as one of the options every program has, after the program's own options passed
  // it over: --help, --version, --dry-run, the include, exclude and recursion switches, else an
  // unknown option or the one target folder. Moves i past a value it takes. Returns the exit
  // status when the command ends here (help, version, bad arguments).
  std::optional<int> TakeShared(const std::vector<std::u16string>& args, std::size_t& i, RunOptionsBase& options);
  // After the arguments: the absolute path of the target folder given into options.TargetText, or
  // the exit status of bad arguments when no usable one was given.
  std::optional<int> TakeTarget(RunOptionsBase& options) const;
  bool DryRun() const { return dry_run_; }

 private:
  std::string command_;
  const char* usage_;
  ConsoleMessages console_;
  std::optional<std::u16string> target_;
  bool dry_run_ = false;
};

// Lists on stderr what failed, and returns the exit status of a run: 0 done, 1 a warning stopped
// it, 2 some items failed, 130 the user stopped it.
int ExitStatus(RunOutcome outcome, const std::vector<FailedItem>& failures);

// A command's main: its arguments after the program name, decoded, to the command's own main.
int Main(int argc, char** argv, int (*command_main)(const std::vector<std::u16string>& args));

}  // namespace mdlCli
