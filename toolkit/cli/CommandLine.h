// What the three command lines share: the set-up before the options are read, the reading of the
// arguments by GNU conventions, the options every program takes, the help with each option's
// default, the reply to bad arguments and the exit status of a run. Each command brings its own
// options and description.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/cli/ConsoleViews.h"
#include "toolkit/settings/Settings.h"
#include "toolkit/run/Run.h"

namespace cli {

// One option of a command. A switch has a negation ("--backup" and "--no-backup"); an option with
// values names them ("DIR", "SEARCH REPLACE") and takes them from the following arguments, or the
// first one from "--name=value".
struct Option {
  std::string Name;
  std::string Negation;  // empty when there is none
  std::string Values;    // empty for a switch; else the names of its values, separated by blanks
  std::string Help;
  // The default shown by --help: what the run does when the option is not given (the settings
  // file's value, else the window's default). Empty: none is shown.
  std::function<std::string()> Default;
  // Takes the option: its values, or whether the negation was given. Returns why it is refused.
  std::function<std::optional<std::string>(const std::vector<std::u16string>& values, bool negated)> Take;
};

// "on" or "off", as --help shows a switch's default.
std::string OnOff(bool on);

// An on/off option of a command's table: the name sets the flag, the negation clears it; an option
// without a negation only sets it.
struct Switch {
  // How --help shows the default: not at all, "on"/"off", "yes"/"no" as the flag was when the switch
  // was added, or the name in effect.
  enum class Shown { None, OnOff, YesNo, Name };
  std::string Name;
  std::string Negation;  // empty when there is none
  std::string Help;
  bool& Flag;
  Shown Default = Shown::OnOff;
};
// The option that reads one switch and shows its default.
Option SwitchOption(const Switch& entry);

// One command-line run, from its set-up to its end. While it lasts, the settings and rule files
// are the window program's, relative paths mean what the shell means by them, messages go to the
// console and Ctrl+C (or a request to terminate or hang up) stops the run at its next poll.
class Session {
 public:
  // program: the window program whose files are read ("Quarrow"); command: this command's name
  // ("quarrow-cli") in its messages; description: the lines of --help after the usage line.
  Session(const std::u16string& program, std::string command, std::string description,
          settings::SettingsTable defaults);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  ConsoleMessages& Console() { return console_; }
  // What a run of this command is handed.
  RunContext Context();
  // The window program's settings, which give the options their defaults.
  const settings::SettingsTable& Settings() const { return settings_.Table(); }
  // The window program's folder and name, which its own files live in and are named after.
  const std::u16string& ProgramFolder() const { return program_folder_; }
  const std::u16string& ProgramName() const { return program_name_; }
  void Add(Option option) { options_.push_back(std::move(option)); }
  // Switches in the order given, each after the options added before it.
  void Add(std::initializer_list<Switch> switches) {
    for (const Switch& entry : switches) options_.push_back(SwitchOption(entry));
  }

  // Reads the arguments into the options, after the settings file gave them their defaults: the
  // command's own options and the ones every command has (recursion, include and exclude lists,
  // --dry-run, --help, --version), "--" ending the options, then the one target folder, taken as
  // the shell gave it. Returns the exit status when the command ends here (help, version, bad
  // arguments, or a settings file that is there but could not be read: its defaults are unknown).
  std::optional<int> Parse(const std::vector<std::u16string>& args, RunOptionsBase& options);
  // A path given on the command line, as the shell means it: relative to the current folder; empty
  // when the system cannot resolve it.
  static std::u16string FullPath(const std::u16string& arg);

  // Prints why, with a pointer to --help, on stderr; returns the exit status of bad arguments.
  int BadArguments(const std::string& why) const;
  // The exit status of the run: see ExitStatus; 2 as well when the output could not be written.
  int Finish(RunOutcome outcome, const std::vector<FailedItem>& failures);

 private:
  std::string command_;
  std::string description_;
  std::u16string program_name_;
  std::u16string program_folder_;
  ConsoleMessages console_;
  ConsoleProgressView progress_view_;
  RunProgress progress_;
  FileFilter files_;
  settings::SettingsFile settings_;
  std::vector<Option> options_;
  bool settings_read_ = true;
};

// Prints each temporary file a killed run left, as a run removes it (or a dry run would).
std::function<void(const std::u16string& path)> LeftoverPrinter(bool dry_run);

// Lists on stderr what failed, and returns the exit status of a run: 0 done, 1 a warning stopped
// it, 2 some items failed, 128 + the signal's number when the user (or the system) stopped it
// (130 for Ctrl+C).
int ExitStatus(RunOutcome outcome, const std::vector<FailedItem>& failures);

// A name or path as the console shows it: readable text in UTF-8.
std::string Shown(const std::u16string& text);

// A command's main: its arguments after the program name, decoded, to the command's own main.
int Main(int argc, char** argv, int (*command_main)(const std::vector<std::u16string>& args));

}  // namespace cli
