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
#include "tests/support/pictures.h"
#include "tests/support/process.h"
#include "viewer/replay.h"

namespace basin {
namespace {

namespace fs = std::filesystem;

const std::string BASINSHOT = std::string(BUILD_DIR) + "/basinshot";

using support::Launch;
using Outcome = support::Result;

// Starts basinshot with `args`.
std::unique_ptr<support::Child> start(const std::vector<std::string>& args,
                                      const Launch& launch = {}) {
  std::vector<std::string> argv{BASINSHOT};
  argv.insert(argv.end(), args.begin(), args.end());
  return std::make_unique<support::Child>(argv, launch);
}

Outcome shoot(const std::vector<std::string>& args, const Launch& launch = {}) {
  return start(args, launch)->finish();
}

// The ways of starting a run beyond its arguments that the tests use.
Launch fileLimit(long bytes) {
  Launch l;
  l.fileLimit = bytes;
  return l;
}
Launch asNobody() {
  Launch l;
  l.asNobody = true;
  return l;
}
Launch writingTo(int stdoutFd, int stderrFd, const std::vector<std::string>& environment = {}) {
  Launch l;
  l.stdoutFd = stdoutFd;
  l.stderrFd = stderrFd;
  l.environment = environment;
  return l;
}

// All that can be read from `fd` until its end, which it then closes.
std::string slurp(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, std::size_t(n));
  close(fd);
  return text;
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
  const Outcome r = shoot({"quadbasin", "--keys", "z@400,400 d Z@100,700 d", "-o", out});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(files(), std::vector<std::string>{"zoomed.png"});
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
  const Picture png = support::readPng(out);
  EXPECT_EQ(png.size, GRID);
  EXPECT_EQ(png.rgb, expected(QUADBASIN, "z@400,400 d Z@100,700 d").rgb);

  // Options in any order; --size prints the last frame on a finer grid.
  const Outcome small = shoot({"-o", out, "--size", "123", "duobasin", "--keys", "c@0,0 d"});
  EXPECT_EQ(small.status, 0) << small.err;
  const Picture print = support::readPng(out);
  EXPECT_EQ(print.size, 123);
  EXPECT_EQ(print.rgb, expected(DUOBASIN, "c@0,0 d", 123).rgb);
  EXPECT_EQ(files(), std::vector<std::string>{"zoomed.png"});

  // --roots lists a polynomial's roots and draws nothing.
  const Outcome roots = shoot({"-z^3 + 3z - 2", "--roots"});
  EXPECT_EQ(roots.status, 0) << roots.err;
  EXPECT_EQ(roots.out,
            "-2+0i multiplicity 1 colour 0 #ff0000\n1+0i multiplicity 2 colour 1 #00ff00\n");
  EXPECT_EQ(files(), std::vector<std::string>{"zoomed.png"});
}

TEST_F(Basinshot, HelpPrintsTheUsage) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"quadbasin", "-h", "-o", dir + "/x.png"},
                                               {"octobasin", "--size", "0", "-h"}}) {
    const Outcome r = shoot(args);
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
      {{"z^3", "--roots", "-o", out}, "--output excludes --roots"},
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
    expectFailure(shoot(c.args), c.says);
    EXPECT_TRUE(files().empty());
  }
  // A regular file in place of a folder.
  std::ofstream(dir + "/plain") << "x";
  expectFailure(shoot({"duobasin", "-o", dir + "/plain/p.png"}), "Not a directory");
  EXPECT_EQ(files(), std::vector<std::string>{"plain"});
}

TEST_F(Basinshot, WriteFailingMidwayLeavesTheOldPictureAlone) {
  const std::string out = dir + "/p.png";
  std::ofstream(out) << "old";
  // The picture is tens of kilobytes; a 4 KiB file limit stops the write
  // part way, as a full disk would.
  expectFailure(shoot({"quadbasin", "-o", out}, fileLimit(4096)), "cannot write '" + out + "'");
  EXPECT_EQ(files(), std::vector<std::string>{"p.png"});
  EXPECT_EQ(contents(out), "old");
}

TEST_F(Basinshot, WritesEachKindOfTargetReplacingOnlyRegularFiles) {
  if (geteuid() != 0) GTEST_SKIP() << "mknod and a second user need root";
  const Outcome piped = shoot({"duobasin", "-o", "-"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  const std::string png = piped.out;
  std::ofstream(dir + "/piped.png") << png;
  EXPECT_EQ(support::readPng(dir + "/piped.png").rgb, expected(DUOBASIN, "").rgb);

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
      {at("dangling"), 0, "", {}}, {at("ro.png"), 2, "Permission denied", asNobody()},
      {at(longest), 0, "", {}},    {"--help", 0, "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    const Outcome r = shoot({"duobasin", "-o", c.target}, c.launch);
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
  expectFailure(shoot({"duobasin", "-o", "-"}, writingTo(terminal.side, -1)), "terminal");
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
  std::unique_ptr<support::Child> runs[] = {
      start(args("a.png"), writingTo(-1, terminal.side, slow)),
      start(args("b.png"), writingTo(-1, -1, slow)),
      start(quiet, writingTo(-1, second.side, slow))};
  for (auto& child : runs) {
    const Outcome r = child->finish();
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
  const Outcome r =
      shoot({"quadbasin", "--keys", zooms, "--size", "8", "-o", dir + "/p.png", "-v"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "basinshot: zoom-in at (400, 400) refused: the window is too narrow for float to place "
            "800 samples across it\n");
}

TEST_F(Basinshot, KilledRunLeavesNoFile) {
  // While computing, killed by any signal: there is no file yet.
  for (const int sig : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    const auto run = start({"quadbasin", "--size", "8000", "-o", dir + "/p.png"});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    kill(run->pid(), sig);
    EXPECT_EQ(run->finish().signal, sig);
    EXPECT_TRUE(files().empty());
  }
  // While writing the temporary file: the run is stopped as soon as the
  // file is created, long before the tenth of a second the write takes,
  // and the signal comes while it stands still.
  const int watch = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, dir.c_str(), IN_CREATE), 0);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    const auto run = start({"quadbasin", "--size", "3000", "-o", dir + "/p.png"});
    const pid_t pid = run->pid();
    pollfd created{watch, POLLIN, 0};
    ASSERT_EQ(poll(&created, 1, 30000), 1);
    kill(pid, SIGSTOP);
    char events[4096];
    EXPECT_GT(read(watch, events, sizeof events), 0);
    ASSERT_EQ(files().size(), 1u);
    EXPECT_EQ(files()[0].rfind(".p.png.", 0), 0u) << "not the temporary file: " << files()[0];
    kill(pid, sig);
    kill(pid, SIGCONT);
    EXPECT_EQ(run->finish().signal, sig);
    EXPECT_TRUE(files().empty());
  }
  close(watch);
}

}  // namespace
}  // namespace basin
