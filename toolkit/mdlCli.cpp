#include "mdlCli.h"

#include <cstdio>

#include "mdlTools.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace mdlCli {
namespace {

std::string U8(const std::u16string& text) { return platform::ToUtf8(text); }

}  // namespace

Session::Session(const std::u16string& program, std::string command, const char* usage,
                 mdlOptions::SettingsTable defaults)
    : command_(std::move(command)), usage_(usage) {
  mdlTools::SetProgramName(program);
  mdlTools::InitAppFolder();
  // Relative paths on the command line mean what the shell means by them.
  mdlTools::SetCurrentFolder(platform::CurrentDirectory());
  mdlMessages::SetSink(&console_);
  mdlOptions::LoadSettings(std::move(defaults));
}

Session::~Session() { mdlMessages::SetSink(nullptr); }

void Session::ReadSettings(RunOptionsBase& options) const {
  using namespace mdlOptions;
  const SettingsTable& ini = Table();
  options.IncludeOn = ini.Number(kSectionFilter, kKeyInclude) != 0;
  options.IncludeText = ini.Text(kSectionFilter, kKeyIncludeText);
  options.ExcludeOn = ini.Number(kSectionFilter, kKeyExclude) != 0;
  options.ExcludeText = ini.Text(kSectionFilter, kKeyExcludeText);
  options.RecursiveOn = ini.Number(kSectionProcess, kKeyRecursive) != 0;
}

int Session::BadArguments(const std::string& why) const {
  std::fprintf(stderr, "%s: %s\n(see %s --help)\n", command_.c_str(), why.c_str(), command_.c_str());
  return 1;
}

std::optional<int> Session::TakeShared(const std::vector<std::u16string>& args, std::size_t& i,
                                       RunOptionsBase& options) {
  const std::u16string& a = args[i];
  if (a == u"--help" || a == u"-h") {
    std::fputs(usage_, stdout);
    return 0;
  } else if (a == u"--version") {
    std::printf("%s 0.1.0\n", command_.c_str());
    return 0;
  } else if (a == u"--include" || a == u"--exclude") {
    if (i + 1 >= args.size()) return BadArguments(U8(a) + " needs PATTERNS");
    const bool include = a == u"--include";
    (include ? options.IncludeOn : options.ExcludeOn) = true;
    (include ? options.IncludeText : options.ExcludeText) = args[++i];
  } else if (a == u"--no-include") {
    options.IncludeOn = false;
  } else if (a == u"--no-exclude") {
    options.ExcludeOn = false;
  } else if (a == u"--recursive" || a == u"--no-recursive") {
    options.RecursiveOn = a == u"--recursive";
  } else if (a == u"--dry-run") {
    dry_run_ = true;
  } else if (a.size() > 1 && a[0] == u'-') {
    return BadArguments("unknown option " + U8(a));
  } else if (target_) {
    return BadArguments("only one target folder may be given");
  } else {
    target_ = a;  // "-" too: a folder of that name
  }
  return std::nullopt;
}

std::optional<int> Session::TakeTarget(RunOptionsBase& options) const {
  if (!target_) return BadArguments("no target folder given");
  options.TargetText = mdlTools::GetFullPath(*target_, u"");
  if (options.TargetText.empty()) return BadArguments("the target folder is no usable path");
  return std::nullopt;
}

int ExitStatus(RunOutcome outcome, const std::vector<FailedItem>& failures) {
  // What the run printed comes before the list of failures.
  std::fflush(stdout);
  if (outcome == RunOutcome::Warned) return 1;
  for (const FailedItem& failed : failures) {
    std::fprintf(stderr, "failed: %s: %s\n", U8(failed.Path).c_str(), U8(failed.Reason).c_str());
  }
  if (outcome == RunOutcome::Cancelled) return 130;
  return failures.empty() ? 0 : 2;
}

int Main(int argc, char** argv, int (*command_main)(const std::vector<std::u16string>& args)) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::DecodeUtf8(argv[i]));
  return command_main(args);
}

}  // namespace mdlCli
