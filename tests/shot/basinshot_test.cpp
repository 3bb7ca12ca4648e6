// The basinshot program from outside: its pictures, its errors, and that no
// failed or interrupted run leaves a file behind.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// How a run starts beyond its arguments.
struct Launch {
  long fileLimit = 0;     // caps any file it writes (RLIMIT_FSIZE), as a full disk would
  int stdoutFd = -1;      // its standard output, in place of the pipe read into Outcome::out
  bool asNobody = false;  // runs as user nobody, whom root's rights do not cover
  int stderrFd = -1;      // its standard error, in place of the pipe read into Outcome::err
  std::vector<std::string> environment = {};  // NAME=value entries added to the test's own
};

extern "C" char** environ;

// Starts basinshot with `args`. Everything the child needs is made before
// the fork: a test may have a second thread running.
pid_t start(const std::vector<std::string>& args, int* outFd, int* errFd, Launch launch = {}) {
  std::vector<char*> argv{const_cast<char*>(BASINSHOT.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const rlimit limit{rlim_t(launch.fileLimit), rlim_t(launch.fileLimit)};
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  for (const std::string& e : launch.environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(launch.stdoutFd >= 0 ? launch.stdoutFd : out[1], 1);
    dup2(launch.stderrFd >= 0 ? launch.stderrFd : err[1], 2);
    if (launch.fileLimit > 0) setrlimit(RLIMIT_FSIZE, &limit);
    if (launch.asNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(126);
    execve(argv[0], argv.data(), envp.data());
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

Outcome run(const std::vector<std::string>& args, Launch launch = {}) {
  int out, err;
  const pid_t pid = start(args, &out, &err, launch);
  return finish(pid, out, err);
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A pseudo-terminal: `side` is the end a program writes to, and all it
// wrote comes back from `text` once it has ended.
struct Terminal {
  Terminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    side = open(ptsname(master), O_RDWR | O_NOCTTY);
  }
  ~Terminal() {
    if (side >= 0) close(side);
    close(master);
  }
  std::string text() {
    close(side);
    side = -1;
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = read(master, buffer, sizeof buffer)) > 0) all.append(buffer, std::size_t(n));
    return all;
  }
  int master, side;
};

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
    for (std::size_t i = 0; i + 1 < r.err.size(); ++i)
      EXPECT_GE(static_cast<unsigned char>(r.err[i]), 0x20) << "raw control character: " << r.err;
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
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"quadbasin", "-h", "-o", dir + "/x.png"},
                                               {"octobasin", "--size", "0", "-h"}}) {
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
      {{"du\x1b[2Jo\nbasin", "-o", out}, "unknown program 'du\\x1b[2Jo\\x0abasin'"},
      {{"duobasin", "-o", out + "\x9b\xc2\x9b/x"}, "p.png\\x9b\\xc2\\x9b/x'"},
      {{"-o", out}, "no program given"},
      {{"duobasin"}, "--output is required"},
      {{"duobasin", "-o"}, "--output: 1 required FILE missing"},
      {{"duobasin", "-o", ""}, "needs a file name"},
      {{"duobasin", "-o", out, "--loud"}, "not expected: --loud"},
      {{"duobasin", "quadbasin", "-o", out}, "not expected: quadbasin"},
      {{"duobasin", "--size", "9", "--size=9", "-o", out}, "--size: At Most 1"},
      {{"duobasin", "--keys", "z@400,400 x d", "-o", out}, "key 2 'x': unknown key"},
      {{"duobasin", "--keys", "z@4OO,400", "-o", out}, "expected z@X,Y"},
      {{"duobasin", "--keys", "c@800,0", "-o", out}, "outside the 800 x 800 window"},
      {{"duobasin", "--keys", "d@1,1", "-o", out}, "d takes no pointer position"},
      {{"duobasin", "--keys", "-o", out}, "key 1 '-o'"},
      {{"duobasin", "-o", out, "--window", "-1", "1", "-1"}, "--window: 4 required"},
      {{"duobasin", "--window", "-1", "1", "-1", "1x", "-o", out}, "'1x': not a number"},
      {{"duobasin", "--window", "-1", "", "-1", "1", "-o", out}, "'': not a number"},
      {{"duobasin", "--window", " 1", "2", "-1", "1", "-o", out}, "not a number"},
      {{"duobasin", "--window", "-1", "inf", "-1", "1", "-o", out}, "not finite"},
      {{"duobasin", "--window", "-nan", "1", "-1", "1", "-o", out}, "not finite"},
      {{"duobasin", "--window", "-1", "1", "-1", "1e39", "-o", out}, "not finite"},
      {{"duobasin", "--window", "1", "1", "-1", "1", "-o", out}, "XMIN must be below XMAX"},
      {{"duobasin", "--window", "-1", "1", "2", "-2", "-o", out}, "YMIN must be below YMAX"},
      {{"duobasin", "--window", "1", "1.0000001", "-1", "1", "-o", out}, "too narrow"},
      {{"duobasin", "--size", "0", "-o", out}, "'0': expected a whole number from 1 to 16384"},
      {{"duobasin", "--size=16385", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "-5", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "8.5", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "0x10", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "010", "-o", out}, "from 1 to 16384"},
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
  expectFailure(run({"quadbasin", "-o", out}, Launch{4096}), "cannot write '" + out + "'");
  EXPECT_EQ(files(), std::vector<std::string>{"p.png"});
  EXPECT_EQ(contents(out), "old");
}

TEST_F(Basinshot, WritesEachKindOfTargetReplacingOnlyRegularFiles) {
  if (geteuid() != 0) GTEST_SKIP() << "mknod and a second user need root";
  const Outcome piped = run({"duobasin", "-o", "-"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  const std::string png = piped.out;
  std::ofstream(dir + "/piped.png") << png;
  EXPECT_EQ(readPng(dir + "/piped.png").rgb, expected(DUOBASIN, "").rgb);

  const auto at = [this](const std::string& name) { return dir + "/" + name; };
  ASSERT_EQ(mknod(at("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  ASSERT_EQ(mknod(at("full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
  ASSERT_EQ(mkfifo(at("fifo").c_str(), 0644), 0);
  // The reader's end, and a writer of the test's own that holds its end of
  // file off until the runs are over, so the reader stops even if no run
  // ever writes to the FIFO.
  const int fifoIn = open(at("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  const int fifoHeld = open(at("fifo").c_str(), O_WRONLY);
  ASSERT_EQ(fcntl(fifoIn, F_SETFL, 0), 0);
  std::string fromFifo;
  std::thread reader([&] { fromFifo = slurp(fifoIn); });
  for (const char* name : {"real.png", "ro.png"}) std::ofstream(at(name)) << "old";
  fs::permissions(at("real.png"), fs::perms(0640));
  fs::permissions(at("ro.png"), fs::perms(0444));
  fs::permissions(dir, fs::perms::all);  // the folder would let nobody rename over ro.png
  fs::create_symlink("real.png", at("link"));
  fs::create_symlink("made.png", at("dangling"));
  const std::string longest(255, 'n');
  fs::current_path(dir);  // so that "-o --help" names a file here

  const struct {
    std::string target;
    int status;
    const char* says;
    Launch launch;
  } cases[] = {
      {at("null"), 0, "", {}},     {at("full"), 2, "No space left on device", {}},
      {at("fifo"), 0, "", {}},     {at("link"), 0, "", {}},
      {at("dangling"), 0, "", {}}, {at("ro.png"), 2, "Permission denied", {0, -1, true}},
      {at(longest), 0, "", {}},    {"--help", 0, "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    const Outcome r = run({"duobasin", "-o", c.target}, c.launch);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
  close(fifoHeld);
  reader.join();
  fs::current_path("/");

  EXPECT_TRUE(fs::is_character_file(at("null")) && fs::is_character_file(at("full")));
  EXPECT_TRUE(fs::is_fifo(at("fifo")));
  EXPECT_EQ(fromFifo, png);
  EXPECT_EQ(fs::read_symlink(at("link")), "real.png");
  EXPECT_EQ(fs::read_symlink(at("dangling")), "made.png");
  EXPECT_EQ(fs::status(at("real.png")).permissions(), fs::perms(0640));
  for (const char* made : {"real.png", "made.png", "--help"}) EXPECT_EQ(contents(at(made)), png);
  EXPECT_EQ(contents(at(longest)), png);
  EXPECT_EQ(contents(at("ro.png")), "old");
  EXPECT_EQ(files(),
            (std::vector<std::string>{"--help", "dangling", "fifo", "full", "link", "made.png",
                                      longest, "null", "piped.png", "real.png", "ro.png"}));

  // Standard output on a terminal: refused.
  Terminal terminal;
  expectFailure(run({"duobasin", "-o", "-"}, Launch{0, terminal.side}), "terminal");
}

// Two and a half seconds of work on one thread without the vector lanes, run
// three times side by side: on a terminal, on a pipe, and quietly.
TEST_F(Basinshot, OnATerminalShowsProgressAndSaysWhyAMarkWasRefused) {
  const std::vector<std::string> slow = {"BASIN_THREADS=1", "BASIN_LANES=scalar"};
  const auto args = [this](const char* name) {
    return std::vector<std::string>{"quadbasin", "--size", "3000", "-o", dir + "/" + name};
  };
  std::vector<std::string> quiet = args("quiet.png");
  quiet.push_back("--quiet");
  Terminal terminal, second;
  int fds[3][2];
  const pid_t runs[3] = {
      start(args("a.png"), &fds[0][0], &fds[0][1], Launch{0, -1, false, terminal.side, slow}),
      start(args("b.png"), &fds[1][0], &fds[1][1], Launch{0, -1, false, -1, slow}),
      start(quiet, &fds[2][0], &fds[2][1], Launch{0, -1, false, second.side, slow})};
  for (int i = 0; i < 3; ++i) {
    const Outcome r = finish(runs[i], fds[i][0], fds[i][1]);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "") << "progress on a pipe";
  }
  const std::string shown = terminal.text();
  EXPECT_NE(shown.find(" of 3800 rows, "), std::string::npos) << shown;
  EXPECT_NE(shown.find(" s left"), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 4), "\r\x1b[K") << "the line is not cleared";
  EXPECT_EQ(second.text(), "") << "progress with --quiet";

  // The 25th zoom at the centre is refused: one line with --verbose, and
  // the picture is still written.
  std::string zooms;
  for (int i = 0; i < 25; ++i) zooms += "z@400,400 d ";
  const Outcome r = run({"quadbasin", "--keys", zooms, "--size", "8", "-o", dir + "/p.png", "-v"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "basinshot: zoom-in at (400, 400) refused: the window is too narrow for float to place "
            "800 samples across it\n");
}

TEST_F(Basinshot, KilledRunLeavesNoFile) {
  // While computing, killed by any signal: there is no file yet.
  for (const int sig : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    int out, err;
    const pid_t pid = start({"quadbasin", "--size", "8000", "-o", dir + "/p.png"}, &out, &err);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(pid, sig);
    EXPECT_EQ(finish(pid, out, err).signal, sig);
    EXPECT_TRUE(files().empty());
  }
  // While writing the temporary file: the run is stopped as soon as the
  // file is created, long before the tenth of a second the write takes,
  // and the signal comes while it stands still.
  const int watch = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, dir.c_str(), IN_CREATE), 0);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    int out, err;
    const pid_t pid = start({"quadbasin", "--size", "3000", "-o", dir + "/p.png"}, &out, &err);
    pollfd created{watch, POLLIN, 0};
    ASSERT_EQ(poll(&created, 1, 30000), 1);
    kill(pid, SIGSTOP);
    char events[4096];
    EXPECT_GT(read(watch, events, sizeof events), 0);
    ASSERT_EQ(files().size(), 1u);
    EXPECT_EQ(files()[0].rfind(".p.png.", 0), 0u) << "not the temporary file: " << files()[0];
    kill(pid, sig);
    kill(pid, SIGCONT);
    EXPECT_EQ(finish(pid, out, err).signal, sig);
    EXPECT_TRUE(files().empty());
  }
  close(watch);
}

}  // namespace
}  // namespace basin
