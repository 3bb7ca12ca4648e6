// The basinshot program from outside: its pictures, its errors, and that no
// failed or interrupted run leaves a file behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "examples/duobasin.h"
#include "examples/quadbasin.h"
#include "tests/shot/raster.h"
#include "viewer/replay.h"

namespace basin {
namespace {

namespace fs = std::filesystem;

const std::string BASINSHOT = std::string(BUILD_DIR) + "/basinshot";

struct Outcome {
  int status = -1;  // exit status, or -1 when a signal ended the run
  int signal = 0;
  std::string out;
  std::string err;
};

std::string slurp(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, std::size_t(n));
  close(fd);
  return text;
}

// Starts basinshot with `args`; a positive `fileLimit` caps the size of any
// file it writes (RLIMIT_FSIZE), as a full disk would.
pid_t start(const std::vector<std::string>& args, int* outFd, int* errFd, long fileLimit = 0) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    if (fileLimit > 0) {
      const rlimit limit{rlim_t(fileLimit), rlim_t(fileLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv{const_cast<char*>(BASINSHOT.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  *outFd = out[0];
  *errFd = err[0];
  return pid;
}

Outcome finish(pid_t pid, int outFd, int errFd) {
  Outcome r;
  r.out = slurp(outFd);
  r.err = slurp(errFd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  return r;
}

Outcome run(const std::vector<std::string>& args, long fileLimit = 0) {
  int out, err;
  const pid_t pid = start(args, &out, &err, fileLimit);
  return finish(pid, out, err);
}

class Basinshot : public ::testing::Test {
 protected:
  void SetUp() override {
    umask(022);
    char pattern[] = "/tmp/basinshot-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  // A failed run: status 2, one line on stderr naming the trouble, nothing
  // on stdout.
  void expectFailure(const Outcome& r, const std::string& fragment) {
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err.rfind("basinshot: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(fragment), std::string::npos) << r.err;
  }

  std::string dir;
};

Picture expected(const Variant& variant, const std::string& keys, int size = GRID) {
  Shot shot;
  std::string error;
  EXPECT_TRUE(parseKeys(keys, &shot.keys, &error));
  shot.size = size;
  return takeShot(variant, shot);
}

TEST_F(Basinshot, WritesTheReplayedPictureAsPng) {
  const std::string out = dir + "/zoomed.png";
  const Outcome r = run({"quadbasin", "--keys", "z@400,400 d Z@100,700 d", "-o", out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(files(), std::vector<std::string>{"zoomed.png"});
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
  const Raster png = readPng(out);
  EXPECT_EQ(png.width, GRID);
  EXPECT_EQ(png.height, GRID);
  EXPECT_EQ(png.rgb, expected(QUADBASIN, "z@400,400 d Z@100,700 d").rgb);

  // Options in any order; --size prints the last frame on a finer grid.
  const Outcome small = run({"-o", out, "--size", "123", "duobasin", "--keys", "c@0,0 d"});
  EXPECT_EQ(small.status, 0) << small.err;
  const Raster print = readPng(out);
  EXPECT_EQ(print.width, 123);
  EXPECT_EQ(print.rgb, expected(DUOBASIN, "c@0,0 d", 123).rgb);
  EXPECT_EQ(files(), std::vector<std::string>{"zoomed.png"});
}

TEST_F(Basinshot, HelpPrintsTheUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"quadbasin", "-h", "-o", dir + "/x.png"}}) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: basinshot duobasin|quadbasin", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("--size"), std::string::npos);
    EXPECT_TRUE(files().empty());
  }
}

TEST_F(Basinshot, BadInputIsReportedOnOneLineAndWritesNothing) {
  const std::string out = dir + "/p.png";
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"octobasin", "-o", out}, "unknown program 'octobasin'"},
      {{"-o", out}, "no program"},
      {{"duobasin"}, "no output file"},
      {{"duobasin", "-o"}, "-o needs a value"},
      {{"duobasin", "-o", out, "--verbose"}, "unknown option '--verbose'"},
      {{"duobasin", "quadbasin", "-o", out}, "unexpected argument 'quadbasin'"},
      {{"duobasin", "--size", "9", "--size", "9", "-o", out}, "--size given twice"},
      {{"duobasin", "--keys", "z@400,400 x d", "-o", out}, "key 2 'x': unknown key"},
      {{"duobasin", "--keys", "z@4OO,400", "-o", out}, "expected z@X,Y"},
      {{"duobasin", "--keys", "c@800,0", "-o", out}, "outside the 800 x 800 window"},
      {{"duobasin", "--keys", "d@1,1", "-o", out}, "d takes no pointer position"},
      {{"duobasin", "-o", out, "--window", "-1", "1", "-1"}, "--window needs four values"},
      {{"duobasin", "--window", "-1", "1", "-1", "1x", "-o", out}, "'1x': not a number"},
      {{"duobasin", "--window", "-1", "", "-1", "1", "-o", out}, "'': not a number"},
      {{"duobasin", "--window", " 1", "2", "-1", "1", "-o", out}, "not a number"},
      {{"duobasin", "--window", "-1", "inf", "-1", "1", "-o", out}, "not finite"},
      {{"duobasin", "--window", "nan", "1", "-1", "1", "-o", out}, "not finite"},
      {{"duobasin", "--window", "-1", "1", "-1", "1e39", "-o", out}, "not finite"},
      {{"duobasin", "--window", "1", "1", "-1", "1", "-o", out}, "XMIN must be below XMAX"},
      {{"duobasin", "--window", "-1", "1", "2", "-2", "-o", out}, "YMIN must be below YMAX"},
      {{"duobasin", "--window", "1", "1.0000001", "-1", "1", "-o", out}, "too narrow"},
      {{"duobasin", "--size", "0", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "16385", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "-5", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "8.5", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "-o", dir + "/missing/p.png"}, "No such file or directory"},
      {{"duobasin", "-o", dir}, "is a folder"},
      {{"duobasin", "-o", "/proc/basinshot.png"}, "cannot write '/proc/basinshot.png'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    expectFailure(run(c.args), c.says);
    EXPECT_TRUE(files().empty());
  }
  // A regular file in place of a folder.
  std::ofstream(dir + "/plain") << "x";
  expectFailure(run({"duobasin", "-o", dir + "/plain/p.png"}), "Not a directory");
  EXPECT_EQ(files(), std::vector<std::string>{"plain"});
}

TEST_F(Basinshot, WriteFailingMidwayLeavesTheOldPictureAlone) {
  const std::string out = dir + "/p.png";
  std::ofstream(out) << "old";
  // The picture is tens of kilobytes; a 4 KiB file limit stops the write
  // part way, as a full disk would.
  expectFailure(run({"quadbasin", "-o", out}, 4096), "cannot write '" + out + "'");
  EXPECT_EQ(files(), std::vector<std::string>{"p.png"});
  std::ifstream in(out);
  std::string content;
  in >> content;
  EXPECT_EQ(content, "old");
}

TEST_F(Basinshot, InterruptedRunLeavesNoFile) {
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    int out, err;
    // About a hundred frames' work: still rendering when the signal comes.
    const pid_t pid = start({"quadbasin", "--size", "8000", "-o", dir + "/p.png"}, &out, &err);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (files().empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(files().size(), 1u) << "the temporary file never appeared";
    EXPECT_EQ(files()[0].rfind(".p.png.", 0), 0u) << files()[0];
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(pid, sig);
    const Outcome r = finish(pid, out, err);
    EXPECT_EQ(r.signal, sig);  // ended by the signal, as it asked
    EXPECT_TRUE(files().empty());
  }
}

}  // namespace
}  // namespace basin
