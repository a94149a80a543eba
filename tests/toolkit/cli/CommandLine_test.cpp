#include "toolkit/cli/CommandLine.h"

#include <signal.h>

#include <optional>

#include "tests/support/TempDir.h"
#include "toolkit/platform/console.h"

namespace {

using Args = std::vector<std::u16string>;
using Refusal = std::optional<std::string>;

// What a command with three switches and one option of its own makes of its arguments.
struct Parsed {
  std::optional<int> status;
  RunOptionsBase options;
  bool flag = true, yes = false, base = true;
  std::u16string value = u"default";
  std::string out, err;
};

Parsed Parse(const Args& args) {
  Parsed p;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  {
    cli::Session cli(u"CommandLineTest", "test-cli", "Does things.\n", settings::SettingsTable{});
    using Shown = cli::Switch::Shown;
    cli.Add({{"--flag", "--no-flag", "a switch", p.flag},
             {"--yes", "", "go on", p.yes, Shown::YesNo},
             {"--base", "--set", "pairing", p.base, Shown::Name}});
    cli.Add({"--value", "", "V", "an option", nullptr, [&](const Args& v, bool) -> Refusal {
               p.value = v[0];
               return v[0] == u"bad" ? Refusal("bad value") : std::nullopt;
             }});
    p.status = cli.Parse(args, p.options);
  }
  p.out = ::testing::internal::GetCapturedStdout();
  p.err = ::testing::internal::GetCapturedStderr();
  return p;
}

}  // namespace

TEST(CommandLine, EndsAtHelpVersionAndBadArgumentsElseTakesOptionsValuesAndTheTargetAsTheShellGaveThem) {
  auto bad = [](const std::string& why) { return "test-cli: " + why + "\n(see test-cli --help)\n"; };
  const std::vector<std::tuple<Args, int, std::string>> cases = {
      {{u"-V"}, 0, ""}, {{}, 1, bad("no target folder given")},
      {{u"--dry-run", u"--include"}, 1, bad("--include needs PATTERNS")}, {{u"-r", u"x"}, 1, bad("unknown option -r")},
      {{u"--bogus=1", u"x"}, 1, bad("unknown option --bogus")}, {{u"--flag=yes", u"x"}, 1, bad("--flag takes no value")},
      {{u"--value=bad", u"x"}, 1, bad("bad value")}, {{u"x", u"y"}, 1, bad("only one target folder may be given")},
      {{u""}, 1, bad("the target folder is an empty path")},
      {{u"missing/../x"}, 1, bad("no target folder missing/../x")},
  };
  for (const auto& [args, status, err] : cases) {
    const Parsed p = Parse(args);
    EXPECT_EQ(std::make_pair(p.status, p.err), std::make_pair(std::optional<int>(status), err)) << args.size();
  }
  EXPECT_EQ(Parse({u"-V"}).out, "test-cli 0.2.0\n");
  const std::u16string ini = platform::JoinPath(platform::ExecutableFolder(), u"CommandLineTest.ini");
  ASSERT_TRUE(platform::CreateFolder(ini));  // settings that cannot be read: said, and nothing runs on defaults
  const Parsed unread = Parse({u"x"});
  ASSERT_TRUE(platform::RemoveTree(ini));
  EXPECT_TRUE(unread.status == 1 && unread.err.find(U8(ini + u" のオープンに失敗しました。")) != std::string::npos) << unread.err;
  // The default shown is the one the run would take, the switches turned before --help; a flag that
  // can only be set shows what it was.
  const Parsed help = Parse({u"--no-flag", u"--set", u"--yes", u"--help"});
  EXPECT_TRUE(help.status == 0 && help.out.find("Does things.") != std::string::npos &&
              help.out.find("  --flag, --no-flag               a switch (default: off)\n"
                            "  --yes                           go on (default: no)\n"
                            "  --base, --set                   pairing (default: --set)\n") != std::string::npos)
      << help.out;
  const std::u16string here = platform::CurrentDirectory();
  // The last of opposite switches counts, a value is taken as it stands, "--" ends the options.
  Parsed p = Parse({u"--include", u"*.png", u"--exclude", u"--recursive", u"--no-include", u"--value=a=b",
                    u"--recursive", u"--no-recursive", u"--dry-run", u"--yes", u"--set", u"--", u"-songs"});
  EXPECT_EQ(p.status, std::nullopt) << p.err;
  EXPECT_EQ(std::make_tuple(p.flag, p.yes, p.base), std::make_tuple(true, true, false));
  const RunOptionsBase& o = p.options;
  EXPECT_EQ(std::make_tuple(o.IncludeOn, o.IncludeText, o.ExcludeOn, o.ExcludeText, p.value, o.RecursiveOn),
            std::make_tuple(false, std::u16string(u"*.png"), true, std::u16string(u"--recursive"),
                            std::u16string(u"a=b"), false));
  EXPECT_TRUE(o.DryRun && o.ExactPaths);
  // Blanks and quotes are part of the name: no trimming.
  for (const std::u16string name : {u"-songs", u" lead", u"\"dq\"", u"a\tb"}) {
    EXPECT_EQ(Parse({u"--", name}).options.TargetText, platform::JoinPath(here, name)) << U8(name);
  }
  EXPECT_EQ(Parse({platform::JoinPath(here, u"../b/./")}).options.TargetText, platform::JoinPath(platform::ParentFolder(here), u"b"));
#ifdef _WIN32
  EXPECT_EQ(Parse({u"/b/./"}).options.TargetText, platform::RootOf(here) + u"\\b") << "on the current drive";
#endif
}

TEST(CommandLine, AWindowsCommandLineIsReadAsItsUserMeantIt) {
  const std::vector<std::pair<std::u16string, Args>> cases = {
      {u"q.exe a  b\t\"c d\"", {u"q.exe", u"a", u"b", u"c d"}},
      {u"\"C:\\Program Files\\q.exe\" x", {u"C:\\Program Files\\q.exe", u"x"}},
      // cmd completes a folder so; the C runtime alone would read one argument, 'C:\dir" --dry-run'.
      {u"q \"C:\\dir\\\" --dry-run", {u"q", u"C:\\dir\\", u"--dry-run"}},
      {u"q \"C:\\My Songs\\\"", {u"q", u"C:\\My Songs\\"}},
      {u"q \"C:\\dir\\\\\" x", {u"q", u"C:\\dir\\", u"x"}},
      // Quotes meant as quotes stay quotes.
      {u"q \"say \\\"hi\\\" now\"", {u"q", u"say \"hi\" now"}},
      {u"q a\\\\b \\\"c\\\"", {u"q", u"a\\\\b", u"\"c\""}},
      {u"q \"a\"\"b\" c \"\"", {u"q", u"a\"b", u"c", u""}},
  };
  for (const auto& [line, args] : cases) EXPECT_EQ(platform::SplitCommandLine(line), args) << U8(line);
}

TEST(CommandLine, ExitStatusesAndStopSignals) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(cli::ExitStatus(RunOutcome::Finished, {{u"/x/a.bms", text::DecodeNativeName("\x83\x73")}}), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "failed: /x/a.bms: ピ\n") << "a name in the reason read as a name";
  // Ctrl+C, a kill and a closed terminal each stop the run at its next poll; the status tells which.
#ifdef _WIN32
  for (const int number : {SIGINT, SIGTERM, SIGBREAK}) {
#else
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
#endif
    ::testing::internal::CaptureStderr();
    ConsoleProgressView console;
    RunProgress cancel(console);
    cancel.SetVisible(true);
    EXPECT_FALSE(cancel.DoCancel(u"x"));
    ASSERT_EQ(raise(number), 0);  // caught: the test goes on
    EXPECT_TRUE(cancel.DoCancel(u"x")) << number;
    cancel.IsCancel = false;
    EXPECT_FALSE(cancel.DoCancel(u"x")) << "one signal stops once";
    EXPECT_EQ(cli::ExitStatus(RunOutcome::Cancelled, {}), 128 + number);
    ::testing::internal::GetCapturedStderr();
  }
}

TEST(ConsoleMessages, PrintsTitleAndTextAndAnswersByFlag) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ConsoleMessages messages(false, out, out);
  messages.ShowMessage(u"処理/対象 = 1/2", u"Quarrow", MsgIcon::None);
  EXPECT_FALSE(messages.AskYesNo(u"続けますか？", u"確認", MsgIcon::Question));
  messages.SetAssumeYes(true);
  EXPECT_TRUE(messages.AskYesNo(u"続けますか？", u"確認", MsgIcon::Question));
  messages.ShowMessage(u"a\r\n" + text::DecodeNativeName("\x83\x73"), u"t", MsgIcon::Exclamation);
  ConsoleMessages(false, nullptr, out).ShowWarning(u"中止", u"処理結果", MsgIcon::None);  // stderr only
  std::rewind(out);
  char buffer[512] = {};
  const std::string text(buffer, std::fread(buffer, 1, sizeof buffer - 1, out));
  std::fclose(out);
  // A result stands alone; a question shows its answer, a warning (one that stops a run too, whatever
  // its icon) says so.
  EXPECT_EQ(text, "処理/対象 = 1/2\n[確認] 続けますか？ -> no (give --yes to answer yes)\n[確認] 続けますか？ -> yes (--yes)\n"
                  "warning: [t] a\nピ\nwarning: [処理結果] 中止\n");
}

TEST(ConsoleProgressView, TheProgressLineFitsTheTerminalsColumns) {
  // "置換中 a.b": three wide characters and four narrow ones, ten columns; characters beyond the first plane whole.
  for (const auto& [line, shown] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"abcdefghij", u"abcdefghij"}, {u"abcdefghijk", u"abcdefg..."}, {u"置換中 a.b", u"置換中 a.b"},
           {u"ピアノ曲曲曲", u"ピアノ..."}, {u"abcde\U0001F3B5\U0001F3B5\U0001F3B5", u"abcde\U0001F3B5..."}}) {
    EXPECT_EQ(FitColumns(line, 10), shown) << U8(line);
  }
}
