#include "toolkit/cli/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "toolkit/files/Paths.h"
#include "toolkit/platform/console.h"
#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

namespace cli {
namespace {

std::string U8(const std::u16string& text) { return text::ToUtf8(text); }

bool StartsWith(const std::u16string& text, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  if (text.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] != char16_t(prefix[i])) return false;
  }
  return true;
}

std::size_t CountValues(const std::string& names) {
  if (names.empty()) return 0;
  std::size_t n = 1;
  for (char c : names) n += c == ' ' ? 1 : 0;
  return n;
}

// The options every command has, around the ones a command adds.
std::vector<Option> SharedOptions(RunOptionsBase& options) {
  std::vector<Option> shared;
  shared.push_back(SwitchOption({"--recursive", "--no-recursive", "subfolders too, depth first", options.RecursiveOn}));
  shared.push_back({"--include", "--no-include", "PATTERNS",
                    "only the files that match one of the \";\"-separated wildcard patterns",
                    [&options] { return options.IncludeOn ? "\"" + U8(options.IncludeText) + "\"" : std::string("off"); },
                    [&options](const std::vector<std::u16string>& v, bool negated) -> std::optional<std::string> {
                      options.IncludeOn = !negated;
                      if (!negated) options.IncludeText = v[0];
                      return std::nullopt;
                    }});
  shared.push_back({"--exclude", "--no-exclude", "PATTERNS", "not the files that match one of the patterns",
                    [&options] { return options.ExcludeOn ? "\"" + U8(options.ExcludeText) + "\"" : std::string("off"); },
                    [&options](const std::vector<std::u16string>& v, bool negated) -> std::optional<std::string> {
                      options.ExcludeOn = !negated;
                      if (!negated) options.ExcludeText = v[0];
                      return std::nullopt;
                    }});
  shared.push_back(SwitchOption({"--dry-run", "", "read everything, change nothing, and list what would change",
                                 options.DryRun, Switch::Shown::None}));
  return shared;
}

}  // namespace

std::string OnOff(bool on) { return on ? "on" : "off"; }

Option SwitchOption(const Switch& entry) {
  bool& flag = entry.Flag;
  std::function<std::string()> shown;
  switch (entry.Default) {
    case Switch::Shown::None: break;
    case Switch::Shown::OnOff: shown = [&flag] { return OnOff(flag); }; break;
    case Switch::Shown::YesNo:
      // What the flag held before the arguments: a flag that can only be set has no other default.
      shown = [held = flag] { return std::string(held ? "yes" : "no"); };
      break;
    case Switch::Shown::Name:
      shown = [&flag, name = entry.Name, negation = entry.Negation] { return flag ? name : negation; };
      break;
  }
  return {entry.Name, entry.Negation, "", entry.Help, std::move(shown),
          [&flag](const std::vector<std::u16string>&, bool negated) -> std::optional<std::string> {
            flag = !negated;
            return std::nullopt;
          }};
}

std::string Shown(const std::u16string& text) { return U8(text::ReadableName(text)); }

Session::Session(const std::u16string& program, std::string command, std::string description,
                 settings::SettingsTable defaults)
    : command_(std::move(command)),
      description_(std::move(description)),
      program_name_(program),
      program_folder_(paths::ProgramFolder()),
      progress_(progress_view_),
      settings_(program_folder_, program) {
  platform::PrepareConsoleOutput();
  std::u16string why;
  settings_read_ = settings_.Load(std::move(defaults), why);
  if (!settings_read_) console_.ShowMessage(why, settings::kOpenErrorTitle, MsgIcon::Critical);
}

RunContext Session::Context() {
  // Relative paths on the command line mean what the shell means by them.
  return {files_, progress_, console_, platform::CurrentDirectory()};
}

std::u16string Session::FullPath(const std::u16string& arg) {
  // The platform's absolute form is relative to the current folder, and on Windows knows a path
  // relative to the current drive ("\\Songs") or to a drive's own current folder ("D:Songs"); it is
  // empty for a path the system cannot resolve ("missing/../Songs").
  return arg.empty() ? std::u16string() : platform::AbsolutePath(arg);
}

int Session::BadArguments(const std::string& why) const {
  platform::Print(stderr, "%s: %s\n(see %s --help)\n", command_.c_str(), why.c_str(), command_.c_str());
  return 1;
}

std::optional<int> Session::Parse(const std::vector<std::u16string>& args, RunOptionsBase& options) {
  std::vector<Option> all = options_;
  for (Option& shared : SharedOptions(options)) all.push_back(std::move(shared));
  auto find = [&](const std::u16string& name, bool& negated) -> const Option* {
    for (const Option& o : all) {
      if (name == text::DecodeUtf8(o.Name)) {
        negated = false;
        return &o;
      }
      if (!o.Negation.empty() && name == text::DecodeUtf8(o.Negation)) {
        negated = true;
        return &o;
      }
    }
    return nullptr;
  };

  std::optional<std::u16string> target;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    const bool is_option = !options_ended && a.size() > 1 && a[0] == u'-';
    if (!is_option) {
      if (target) return BadArguments("only one target folder may be given");
      target = a;
      continue;
    }
    if (a == u"--") {
      options_ended = true;
      continue;
    }
    if (a == u"--help" || a == u"-h") {
      std::string text = "usage: " + command_ + " [options] [--] TARGET_FOLDER\n" + description_ + "\n";
      for (const Option& o : all) {
        std::string head = "  " + o.Name + (o.Values.empty() ? "" : " " + o.Values);
        if (!o.Negation.empty()) head += ", " + o.Negation;
        text += head;
        text += head.size() < 34 ? std::string(34 - head.size(), ' ') : "\n" + std::string(34, ' ');
        text += o.Help;
        if (o.Default) text += " (default: " + o.Default() + ")";
        text += "\n";
      }
      text += "  -h, --help                      this help\n";
      text += "  -V, --version                   the version\n";
      text += "  --                              ends the options: what follows is the target folder\n\n";
      text += "Options take their values as the next arguments or as --name=value. The defaults come from\n";
      text += "the window program's settings file beside it, else from the window's own defaults; the\n";
      text += "command line never writes that file.\n";
      text += "Exit status: 0 done, 1 bad arguments or a warning that stopped the run, 2 some items failed\n";
      text += "(or the output could not be written), 128 + the signal's number when stopped (130: Ctrl+C).\n";
      platform::WriteText(stdout, text);
      std::fflush(stdout);
      return std::ferror(stdout) ? 2 : 0;
    }
    if (a == u"--version" || a == u"-V") {
      platform::Print(stdout, "%s %s\n", command_.c_str(), CHART_TOOLS_VERSION);
      std::fflush(stdout);
      return std::ferror(stdout) ? 2 : 0;
    }
    std::u16string name = a;
    std::optional<std::u16string> inline_value;
    const std::size_t eq = a.find(u'=');
    if (StartsWith(a, "--") && eq != std::u16string::npos) {
      name = a.substr(0, eq);
      inline_value = a.substr(eq + 1);
    }
    bool negated = false;
    const Option* option = find(name, negated);
    if (option == nullptr) return BadArguments("unknown option " + U8(name));
    const std::size_t count = negated ? 0 : CountValues(option->Values);
    if (inline_value && count == 0) return BadArguments(U8(name) + " takes no value");
    std::vector<std::u16string> values;
    if (inline_value) values.push_back(*inline_value);
    while (values.size() < count) {
      if (i + 1 >= args.size()) return BadArguments(U8(name) + " needs " + option->Values);
      values.push_back(args[++i]);
    }
    if (const auto refused = option->Take(values, negated)) return BadArguments(*refused);
  }
  // Its message said why; nothing may run on defaults the user did not choose.
  if (!settings_read_) return 1;
  if (!target) return BadArguments("no target folder given");
  // The path as the shell gave it: never trimmed, never replaced by another folder.
  options.TargetText = FullPath(*target);
  if (target->empty()) return BadArguments("the target folder is an empty path");
  if (options.TargetText.empty()) return BadArguments("no target folder " + Shown(*target));
  options.ExactPaths = true;
  options.ResultListsFailures = false;
  return std::nullopt;
}

int Session::Finish(RunOutcome outcome, const std::vector<FailedItem>& failures) {
  const int status = ExitStatus(outcome, failures);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    platform::Print(stderr, "%s: the output could not be written (%s)\n", command_.c_str(), std::strerror(errno));
    return status == 0 || status == 1 ? 2 : status;
  }
  return status;
}

std::function<void(const std::u16string& path)> LeftoverPrinter(bool dry_run) {
  return [dry_run](const std::u16string& path) {
    std::printf("%s %s (left by a stopped run)\n", dry_run ? "would remove" : "removed", Shown(path).c_str());
  };
}

int ExitStatus(RunOutcome outcome, const std::vector<FailedItem>& failures) {
  // What the run printed comes before the list of failures.
  std::fflush(stdout);
  if (outcome == RunOutcome::Warned) return 1;
  for (const FailedItem& failed : failures) {
    platform::Print(stderr, "failed: %s: %s\n", Shown(failed.Path).c_str(), Shown(failed.Reason).c_str());
  }
  if (outcome == RunOutcome::Cancelled) {
    const int signal = platform::InterruptSignal();
    return 128 + (signal > 0 ? signal : 2);
  }
  return failures.empty() ? 0 : 2;
}

int Main(int argc, char** argv, int (*command_main)(const std::vector<std::u16string>& args)) {
  std::vector<std::u16string> args = platform::ProgramArguments(argc, argv);
  if (!args.empty()) args.erase(args.begin());  // the program's own name
  return command_main(args);
}

}  // namespace cli
