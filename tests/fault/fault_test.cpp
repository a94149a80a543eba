// The three command lines with system calls made to fail on purpose, one at a time, at every step of
// a small run (strace's fault injection). Whatever fails, every chart holds its old or its new
// content, a backup holds the old content, nothing outside what the run may change is touched, and
// a run that did not end exactly as an undisturbed run did never reports success.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/text.h"

namespace {

// The calls a run makes to read, list, write, keep, replace and delete.
const char* const kCalls[] = {"openat",  "read",     "write",  "close",    "newfstatat", "lseek",
                              "getdents64", "linkat", "renameat", "unlinkat", "fchmod",     "fchmodat",
                              "utimensat", "fchown",  "flock",  "fsync",    "syncfs"};

struct File {
  std::string content;
  mode_t mode = 0;
  std::int64_t mtime = 0;
  bool operator==(const File&) const = default;
};
using Tree = std::map<std::string, File>;  // relative path -> file

void PrintTo(const File& f, std::ostream* os) { *os << f.content.size() << " bytes, mode " << std::oct << f.mode << std::dec; }

// Gives every file of the tree one time stamp, so that the trees of two runs compare by their times.
void Stamp(const std::string& root, const std::string& rel = "") {
  const std::u16string folder = platform::DecodeUtf8(rel.empty() ? root : root + "/" + rel);
  for (const std::u16string& name : Names(folder)) {
    const std::string path = root + "/" + (rel.empty() ? "" : rel + "/") + platform::ToUtf8(name);
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    if (S_ISDIR(st.st_mode)) {
      Stamp(root, (rel.empty() ? "" : rel + "/") + platform::ToUtf8(name));
      continue;
    }
    const struct timespec times[2] = {{1400000000, 0}, {1400000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  }
}

void Snapshot(const std::string& root, const std::string& rel, Tree& tree) {
  const std::u16string folder = platform::DecodeUtf8(rel.empty() ? root : root + "/" + rel);
  for (const std::u16string& name : Names(folder)) {
    const std::string path = (rel.empty() ? "" : rel + "/") + platform::ToUtf8(name);
    struct stat st {};
    ASSERT_EQ(lstat((root + "/" + path).c_str(), &st), 0) << path;
    if (S_ISDIR(st.st_mode)) {
      Snapshot(root, path, tree);
      continue;
    }
    File f;
    f.content = ReadBytes(platform::DecodeUtf8(root + "/" + path));
    f.mode = st.st_mode & 07777;
    f.mtime = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    tree[path] = f;
  }
}

// Runs a program, its output thrown away; returns its exit status (-1 when it did not exit).
int Spawn(std::vector<std::string> args, const std::string& log = "/dev/null") {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), nullptr);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

struct Scenario {
  const char* name;
  std::function<void(const TempDir&)> make;  // builds the tree a run starts from
  std::vector<std::string> args;             // the command and its arguments; "@" is the tree's root
};

std::vector<std::string> Resolve(const std::vector<std::string>& args, const std::string& root) {
  std::vector<std::string> out;
  for (const std::string& a : args) out.push_back(a[0] == '@' ? root + a.substr(1) : a);
  return out;
}

bool IsTemporary(const std::string& path) {
  return path.size() > 5 && (path.compare(path.size() - 5, 5, ".mbk1") == 0 || path.compare(path.size() - 5, 5, ".cbk1") == 0);
}

// The chart a backup keeps ("a.bms~1.mbk" keeps "a.bms"), or empty.
std::string BackedUp(const std::string& path) {
  static const std::regex backup(R"((.*)~[0-9]+\.(mbk|cbk))");
  std::smatch m;
  return std::regex_match(path, m, backup) ? m[1].str() : std::string();
}

void Inject(const Scenario& s) {
  // The undisturbed run, and the calls it makes.
  TempDir clean;
  s.make(clean);
  Stamp(U8(clean.Path()));
  Tree before, after;
  Snapshot(U8(clean.Path()), "", before);
  const std::string log = "/tmp/charttools-fault-" + std::to_string(getpid()) + ".log";
  std::vector<std::string> traced = {"/usr/bin/strace", "-f", "-qq", "-o", log, "-e", "trace=all"};
  for (const std::string& a : Resolve(s.args, U8(clean.Path()))) traced.push_back(a);
  ASSERT_EQ(Spawn(traced), 0) << s.name << ": the undisturbed run";
  std::map<std::string, int> counts;
  {
    std::ifstream in(log);
    static const std::regex call(R"(^\d+\s+(\w+)\()");
    for (std::string line; std::getline(in, line);) {
      std::smatch m;
      if (std::regex_search(line, m, call)) ++counts[m[1].str()];
    }
  }
  unlink(log.c_str());
  Snapshot(U8(clean.Path()), "", after);
  ASSERT_NE(before, after) << s.name << ": the run changes something";

  int runs = 0, failures_told = 0;
  for (const char* name : kCalls) {
    for (int n = 1; n <= counts[name]; ++n) {
      ++runs;
      TempDir t;
      s.make(t);
      const std::string root = U8(t.Path());
      Stamp(root);
      std::vector<std::string> args = {"/usr/bin/strace", "-f", "-qq", "-o", "/dev/null", "-e",
                                       std::string("inject=") + name + ":error=EIO:when=" + std::to_string(n)};
      for (const std::string& a : Resolve(s.args, root)) args.push_back(a);
      const int status = Spawn(args);
      Tree result;
      Snapshot(root, "", result);
      const std::string where = std::string(s.name) + ", " + name + " #" + std::to_string(n) + ", exit " +
                                std::to_string(status);
      if (status == 0) {
        EXPECT_EQ(result, after) << where << ": success reported for a run that did not end as it should";
        continue;
      }
      ++failures_told;
      for (const auto& [path, file] : result) {
        const auto new_one = after.find(path), old_one = before.find(path);
        const bool as_new = new_one != after.end() && new_one->second.content == file.content;
        const bool as_old = old_one != before.end() && old_one->second.content == file.content;
        const std::string chart = BackedUp(path);
        if (!chart.empty()) {
          EXPECT_EQ(file.content, before.at(chart).content) << where << ": " << path << " keeps the old chart";
        } else if (!IsTemporary(path)) {
          EXPECT_TRUE(as_new || as_old) << where << ": " << path << " is neither old nor new";
        }
      }
      for (const auto& [path, file] : after) {
        EXPECT_TRUE(result.count(path) || !before.count(path) || !BackedUp(path).empty())
            << where << ": " << path << " is gone, though the run keeps it";
      }
    }
  }
  EXPECT_GT(runs, 50) << s.name;
  EXPECT_GT(failures_told, 10) << s.name << ": failures were injected where the run must tell them";
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/strace", X_OK) != 0) GTEST_SKIP() << "strace is not installed";
    if (Spawn({"/usr/bin/strace", "-qq", "-o", "/dev/null", "-e", "inject=getpid:error=EIO:when=1", "/bin/true"}) != 0) {
      GTEST_SKIP() << "system calls cannot be traced here";
    }
  }
  static std::string Cli(const char* name) { return std::string(TEST_BIN_DIR) + "/" + name; }
};

}  // namespace

TEST_F(Faults, QuarrowRewritesChartsWholeOrNotAtAll) {
  const auto make = [](const TempDir& t) {
    t.MakeFolder(u"charts");
    t.Write(u"charts/a.bms", "#TITLE a\r\n#WAV01 kick.wav\r\n#WAV02 gone.wav\r\n");
    t.Write(u"charts/b.bme", "#TITLE b\n#WAV01 <set>x.wav\n");
    t.Write(u"charts/kick.ogg", "");
    t.MakeFolder(u"charts/sub");
    t.Write(u"charts/sub/c.bms", "#WAV01 kick.wav\r\n");
    t.MakeFolder(u"material");
    t.MakeFolder(u"material/set");
    t.Write(u"material/set/x.ogg", "");
    t.Write(u"outside.bms", "#WAV01 kick.wav\r\n");
  };
  for (const bool backup : {true, false}) {
    Inject({backup ? "quarrow, backups" : "quarrow, no backups", make,
            {Cli("quarrow-cli"), "--rule", "#WAV?? *.wav", "#WAV?? *.ogg", "--material-base", "@/material",
             "--file-check", backup ? "--backup" : "--no-backup", "--recursive", "@/charts"}});
  }
}

TEST_F(Faults, FennickDeletesAndConvertsOnlyWhatItMay) {
  Inject({"fennick",
          [](const TempDir& t) {
            t.MakeFolder(u"drums");
            t.Write(u"drums/kick.wav", "set");
            t.MakeFolder(u"drums/loops");
            t.Write(u"drums/loops/l.wav", "set");
            t.MakeFolder(u"charts");
            t.Write(u"charts/kick.wav", "own");
            t.MakeFolder(u"charts/loops");
            t.Write(u"charts/loops/l.wav", "own");
            t.Write(u"charts/c.bms", "#WAV01 kick.wav\r\n#WAV02 snare.wav\r\n");
            t.Write(u"charts/d.bms", "#WAV01 <old>kick.wav\n");
          },
          {Cli("fennick-cli"), "--source", "@/drums", "--sound-set", "--no-recursive", "--sync-delete", "--convert",
           "--mode", "redefine", "--backup", "@/charts"}});
}

TEST_F(Faults, TobrenzDeletesOneSideOfAPairAtMost) {
  Inject({"tobrenz",
          [](const TempDir& t) {
            t.MakeFolder(u"pics");
            t.Write(u"pics/a.png", std::string(10, 'a'));
            t.Write(u"pics/a.bmp", std::string(90, 'A'));
            t.Write(u"pics/b.png", std::string(90, 'b'));
            t.Write(u"pics/b.bmp", std::string(10, 'B'));
            t.MakeFolder(u"pics/sub");
            t.Write(u"pics/sub/c.png", std::string(5, 'c'));
            t.Write(u"pics/sub/c.bmp", std::string(50, 'C'));
          },
          {Cli("tobrenz-cli"), "--include", "*.png", "--ext", "bmp", "--recursive", "@/pics"}});
}
