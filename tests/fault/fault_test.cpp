// The command lines with each system call of a small run made to fail in turn (strace). Whatever
// fails, every chart holds its old or new content, a backup the old, nothing else is touched, and a
// run that did not end as an undisturbed one never reports success.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "tests/support/TempDir.h"

namespace {

// The calls a run makes to read, list, write, keep, replace and delete.
const char* const kCalls[] = {"openat", "read", "write", "close", "newfstatat", "statx", "lseek", "getdents64", "linkat",
                              "renameat", "unlinkat", "fchmod", "fchmodat", "utimensat", "fchown", "flock", "fsync", "syncfs"};

struct File { std::string content; mode_t mode = 0; std::int64_t mtime = 0; bool operator==(const File&) const = default; };
using Tree = std::map<std::string, File>;  // relative path -> file

void PrintTo(const File& f, std::ostream* os) { *os << f.content.size() << " bytes, mode " << std::oct << f.mode << std::dec; }

// The files under root; with `stamp`, all given one time first, so that two runs' trees compare.
Tree Snapshot(const std::string& root, bool stamp = false) {
  Tree tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string full = entry.path().string();
    const struct timespec times[2] = {{1400000000, 0}, {1400000000, 0}};
    struct stat st {};
    if (entry.is_directory()) continue;
    EXPECT_TRUE((!stamp || utimensat(AT_FDCWD, full.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0) && lstat(full.c_str(), &st) == 0)
        << full;
    tree[full.substr(root.size() + 1)] = {ReadBytes(text::DecodeUtf8(full)), mode_t(st.st_mode & 07777),
                                          std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  }
  return tree;
}

// Runs a program, its output thrown away; returns its exit status (-1 when it did not exit).
int Spawn(const std::vector<std::string>& args) {
  std::string command;
  for (const std::string& a : args) command += "'" + a + "' ";  // no argument holds a quote
  const int status = std::system((command + ">/dev/null 2>&1").c_str());
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The files a run starts from: path -> content ("-> target": a symbolic link), their folders made with them.
using Files = std::vector<std::pair<std::u16string, std::string>>;

// The chart a backup keeps ("a.bms~1.mbk" keeps "a.bms"), or empty.
std::string BackedUp(const std::string& path) {
  static const std::regex backup(R"((.*)~[0-9]+\.(mbk|cbk))");
  std::smatch m;
  return std::regex_match(path, m, backup) ? m[1].str() : std::string();
}

// Runs `args` ("@": the tree's root) under strace on a fresh tree made from `files`.
int RunOn(const TempDir& t, const Files& files, const std::vector<std::string>& args, const std::string& log,
          const std::string& expression, Tree& before, Tree& result) {
  for (const auto& [path, content] : files) {
    std::filesystem::create_directories(std::filesystem::path(U8(t / path)).parent_path());
    content.starts_with("-> ") ? std::filesystem::create_directory_symlink(content.substr(3), U8(t / path))
                               : (void)t.Write(path, content);
  }
  const std::string root = U8(t.Path());
  before = Snapshot(root, true);
  std::vector<std::string> command = {"/usr/bin/strace", "-f", "-qq", "-o", log, "-e", expression};
  for (const std::string& a : args) command.push_back(a[0] == '@' ? root + a.substr(1) : a);
  const int status = Spawn(command);
  return result = Snapshot(root), status;
}

void Inject(const char* what, const Files& files, const std::vector<std::string>& args) {
  // The undisturbed run, and the calls it makes.
  const std::string log = "/tmp/charttools-fault-" + std::to_string(getpid()) + ".log";
  Tree before, after;
  ASSERT_EQ(RunOn(TempDir(), files, args, log, "trace=all", before, after), 0) << what << ": the undisturbed run";
  ASSERT_NE(before, after) << what << ": the run changes something";
  std::map<std::string, int> counts;
  std::ifstream in(log);
  static const std::regex call(R"(^\d+\s+(\w+)\()");
  std::smatch m;
  for (std::string line; std::getline(in, line);) counts[std::regex_search(line, m, call) ? m[1].str() : ""]++;
  unlink(log.c_str());

  int runs = 0, failures_told = 0;
  for (const char* name : kCalls) {
    for (int n = 1; n <= counts[name]; ++n, ++runs) {
      Tree result;
      const int status = RunOn(TempDir(), files, args, "/dev/null",
                               std::string("inject=") + name + ":error=EIO:when=" + std::to_string(n), before, result);
      const std::string where = std::string(what) + ", " + name + " #" + std::to_string(n) + ", exit " + std::to_string(status);
      if (status == 0) {
        EXPECT_EQ(result, after) << where << ": success reported for a run that did not end as it should";
        continue;
      }
      ++failures_told;
      for (const auto& [path, file] : result) {
        const std::string chart = BackedUp(path);  // a backup, or else a temporary file or one old or new
        if (!chart.empty()) {
          EXPECT_EQ(file.content, before.at(chart).content) << where << ": " << path << " keeps the old chart";
        } else if (!path.ends_with(".mbk1") && !path.ends_with(".cbk1")) {
          EXPECT_TRUE((after.count(path) && after.at(path).content == file.content) ||
                      (before.count(path) && before.at(path).content == file.content))
              << where << ": " << path << " is neither old nor new";
        }
      }
      for (const auto& [path, file] : after)
        EXPECT_TRUE(result.count(path) || !before.count(path) || !BackedUp(path).empty())
            << where << ": " << path << " is gone, though the run keeps it";
    }
  }
  EXPECT_GT(runs, 50) << what;
  EXPECT_GT(failures_told, 10) << what << ": failures were injected where the run must tell them";
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/strace", X_OK) != 0 ||
        Spawn({"/usr/bin/strace", "-qq", "-o", "/dev/null", "-e", "inject=getpid:error=EIO:when=1", "/bin/true"}) != 0)
      GTEST_SKIP() << "strace is not installed or cannot trace system calls here";
  }
  static std::string Cli(const char* name) { return std::string(TEST_BIN_DIR) + "/" + name; }
};

}  // namespace

TEST_F(Faults, QuarrowRewritesChartsWholeOrNotAtAll) {
  const Files files = {{u"charts/a.bms", "#TITLE a\r\n#WAV01 kick.wav\r\n#WAV02 gone.wav\r\n"},
                       {u"charts/b.bme", "#TITLE b\n#WAV01 <set>x.wav\n"}, {u"charts/kick.ogg", ""},
                       {u"charts/sub/c.bms", "#WAV01 kick.wav\r\n"}, {u"material/set/x.ogg", ""},
                       {u"outside.bms", "#WAV01 kick.wav\r\n"}};
  for (const bool backup : {true, false}) {
    Inject(backup ? "quarrow, backups" : "quarrow, no backups", files,
           {Cli("quarrow-cli"), "--rule", "#WAV?? *.wav", "#WAV?? *.ogg", "--material-base", "@/material",
            "--file-check", backup ? "--backup" : "--no-backup", "--recursive", "@/charts"});
  }
}

TEST_F(Faults, FennickDeletesAndConvertsOnlyWhatItMay) {
  const Files files = {{u"drums/kick.wav", "set"}, {u"drums/loops/l.wav", "set"}, {u"charts/kick.wav", "own"},
                       {u"charts/loops/l.wav", "own"}, {u"charts/c.bms", "#WAV01 kick.wav\r\n#WAV02 snare.wav\r\n"},
                       {u"charts/d.bms", "#WAV01 <old>kick.wav\n"}};
  Inject("fennick", files,
         {Cli("fennick-cli"), "--source", "@/drums", "--sound-set", "--no-recursive", "--sync-delete", "--convert",
          "--mode", "redefine", "--backup", "@/charts"});
  // The sound set found through a link in the material base folder: a failed look at it is no
  // "nothing to do".
  Files linked = files;
  linked.push_back({u"Material/charts", "-> ../drums"});
  Inject("fennick, base folder", linked,
         {Cli("fennick-cli"), "--source", "@/Material", "--base-folder", "--no-recursive", "--sync-delete",
          "--convert", "--no-backup", "@/charts"});
}

TEST_F(Faults, TobrenzDeletesOneSideOfAPairAtMost) {
  Inject("tobrenz",
         {{u"pics/a.png", std::string(10, 'a')}, {u"pics/a.bmp", std::string(90, 'A')},
          {u"pics/b.png", std::string(90, 'b')}, {u"pics/b.bmp", std::string(10, 'B')},
          {u"pics/sub/c.png", std::string(5, 'c')}, {u"pics/sub/c.bmp", std::string(50, 'C')}},
         {Cli("tobrenz-cli"), "--include", "*.png", "--ext", "bmp", "--recursive", "@/pics"});
}
