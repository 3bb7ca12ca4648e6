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
#include <random>
#include <thread>

#include "core/polynomial.h"
#include "core/programs.h"
#include "core/rows.h"
#include "png/encoder.h"
#include "png/target.h"
#include "tests/support/pictures.h"
#include "tests/support/process.h"
#include "viewer/shot.h"

namespace basin {
namespace {

namespace fs = std::filesystem;
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
  shot.size = Size{size, size};
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
  EXPECT_TRUE(png.size() == Size{});
  EXPECT_EQ(png.rgb, expected(QUADBASIN, "z@400,400 d Z@100,700 d").rgb);

  // Options in any order; --size prints the last frame on a finer grid.
  const Outcome small = shoot({"-o", out, "--size", "123", "duobasin", "--keys", "c@0,0 d"});
  EXPECT_EQ(small.status, 0) << small.err;
  const Picture print = support::readPng(out);
  EXPECT_TRUE(print.size() == (Size{123, 123}));
  EXPECT_EQ(print.rgb, expected(DUOBASIN, "c@0,0 d", 123).rgb);
  EXPECT_EQ(files(), std::vector<std::string>{"zoomed.png"});

  // The mouse's words and the history from a keys file: three zooms, back
  // twice, forward, a new zoom; the forward view is gone, so U is refused.
  const std::string walk = dir + "/walk.keys";
  std::ofstream(walk) << "click@200,200 wheelup@600,600\nclick@400,400 u u U\n"
                         "drag@100,100-160,130 U\n";
  const Outcome walked =
      shoot({"quadbasin", "--keys-file", walk, "--size", "40", "-o", out, "--verbose"});
  EXPECT_EQ(walked.status, 0) << walked.err;
  EXPECT_EQ(walked.err, "basinshot: forward at (0, 0) refused: no later view to go forward to\n");
  EXPECT_EQ(support::readPng(out).rgb,
            expected(QUADBASIN, "z@200,200 d wheelup@600,600 drag@100,100-160,130", 40).rgb);
  fs::remove(walk);

  // `s` saves the frame so far beside the print under the next free number,
  // never over a file; the cockpit's keys draw over the print alone.
  std::ofstream(dir + "/basinscope-0001.png") << "taken";
  const Outcome saved = shoot({"quadbasin", "--keys", "s z@400,400 d i s", "-o", out});
  EXPECT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(contents(dir + "/basinscope-0001.png"), "taken");
  EXPECT_EQ(support::readPng(dir + "/basinscope-0002.png").rgb, expected(QUADBASIN, "").rgb);
  EXPECT_EQ(support::readPng(dir + "/basinscope-0003.png").rgb,
            expected(QUADBASIN, "z@400,400 d").rgb);
  EXPECT_EQ(support::readPng(out).rgb, expected(QUADBASIN, "z@400,400 d i").rgb);
  EXPECT_NE(support::readPng(out).rgb, expected(QUADBASIN, "z@400,400 d").rgb);
  for (const char* name : {"basinscope-0001.png", "basinscope-0002.png", "basinscope-0003.png"})
    fs::remove(dir + "/" + name);

  // A polynomial with a leading minus after --, written through standard
  // output's own descriptor after what it holds already: the same picture
  // as the same polynomial written another way.
  const std::string held = dir + "/held.out";
  std::ofstream(held) << "HEADER\n";
  const int fd = open(held.c_str(), O_WRONLY | O_APPEND);
  const Outcome dashed =
      shoot({"-o", "/dev/stdout", "--size", "8", "--", "-z^2+1"}, writingTo(fd, -1));
  close(fd);
  EXPECT_EQ(dashed.status, 0) << dashed.err;
  const Outcome plain = shoot({"1 - z^2", "--size", "8", "-o", "-"});
  EXPECT_EQ(contents(held), "HEADER\n" + plain.out);
  EXPECT_EQ(files(), (std::vector<std::string>{"held.out", "zoomed.png"}));
  // --roots lists a polynomial's roots and draws nothing.
  const Outcome roots = shoot({"-z^3 + 3z - 2", "--roots"});
  EXPECT_EQ(roots.status, 0) << roots.err;
  EXPECT_EQ(roots.out,
            "-2+0i multiplicity 1 colour 0 #ff0000\n1+0i multiplicity 2 colour 1 #00ff00\n");
  EXPECT_EQ(files(), (std::vector<std::string>{"held.out", "zoomed.png"}));

  // --double: zooms past float's depth, the polynomial's numbers and the
  // window's edges read as doubles, and the roots with 17 digits.
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += "z@600,400 d ";
  const Outcome deep = shoot({"quadbasin", "--double", "--keys", nine, "--size", "50", "-o", out});
  EXPECT_EQ(deep.status, 0) << deep.err;
  EXPECT_EQ(support::readPng(out).rgb,
            expected(variantOf(*findProgram("quadbasin"), Precision::Double), nine, 50).rgb);
  Terms cubic;
  ASSERT_TRUE(parsePolynomial("z^3 - 0.1", &cubic, nullptr, Precision::Double));
  Tolerances fine;
  fine.FTOL = 1e-60;  // beyond float's range
  const Outcome wide = shoot({"--double", "z^3 - 0.1", "--ftol", "1e-60", "--size", "30",
                              "--window", "0.1", "0.10000000001", "0", "1e-11", "-o", out});
  EXPECT_EQ(wide.status, 0) << wide.err;
  Shot window;
  window.size = Size{30, 30};
  window.hasWindow = true;
  window.window = Window{0.1, 0.10000000001, 0, 1e-11};
  const Variant wideCubic = polynomialVariant(cubic, "z^3 - 0.1", fine, Precision::Double);
  EXPECT_EQ(support::readPng(out).rgb, takeShot(wideCubic, window).rgb);
  EXPECT_NE(shoot({"z^2 - 2", "--double", "--roots"}).out.find("\n1.41421356237309"),
            std::string::npos);

  // --relax 1, and an A that rounds to 1, take the plain step: the same
  // file, byte for byte.
  for (const char* program : {"quadbasin", "z^3 - i"}) {
    const std::string plainFile = shoot({program, "--size", "60", "-o", "-"}).out;
    EXPECT_FALSE(plainFile.empty());
    for (const char* one : {"1", "1.00000001", "1+0i"})
      EXPECT_EQ(shoot({program, "--relax", one, "--size", "60", "-o", "-"}).out, plainFile)
          << program << " --relax " << one;
    EXPECT_NE(shoot({program, "--relax", "0.9", "--size", "60", "-o", "-"}).out, plainFile);
  }

  // The file, compressed in pieces on every thread, is the same byte for
  // byte as one thread makes it.
  Launch oneThread;
  oneThread.environment = {"BASIN_THREADS=1"};
  const Outcome single = shoot({"quadbasin", "-o", "-"}, oneThread);
  EXPECT_EQ(single.status, 0) << single.err;
  EXPECT_EQ(single.out, shoot({"quadbasin", "-o", "-"}).out);
}

// The PNG writer on pictures that the programs never draw: every byte value
// (noise), runs of every length across the copy limit of 258 bytes, and
// bytes so unevenly common that an optimal code would need more than the
// 15 bits a code may have. Each is read back exactly, and its file is the
// same on one thread as on three.
// The exact arithmetic (GMP, MPFR, FLINT, Arb) is loaded only by what needs
// it: never by a named program, a plain --relax included; a complex --relax
// and a user's polynomial (its roots, and any form but a plain sum) load it.
TEST_F(Basinshot, OnlyWrittenFormsAndRootsLoadTheExactArithmetic) {
  Launch traced;
  traced.environment = {"LD_DEBUG=files"};
  const struct {
    std::vector<std::string> args;
    bool loads;
  } cases[] = {
      {{"duobasin", "--relax", "0.5", "--size", "8", "-o", "-"}, false},
      {{"(z-1)^3 (z+2)", "--size", "8", "-o", "-"}, true},
      {{"quadbasin", "--relax", "1+0.5i", "--size", "8", "-o", "-"}, true},
  };
  for (const auto& c : cases) {
    const Outcome r = shoot(c.args, traced);
    EXPECT_EQ(r.status, 0) << c.args[0];
    EXPECT_EQ(r.err.find("libgmp") != std::string::npos, c.loads) << c.args[0];
    EXPECT_EQ(r.err.find("basinscope-roots") != std::string::npos, c.loads) << c.args[0];
  }
}

TEST_F(Basinshot, PngFileHoldsAnyPictureExactly) {
  std::mt19937 random(7);
  const auto byte = [&random] { return std::uint8_t(random() & 0xff); };
  std::vector<Picture> pictures;
  pictures.push_back(blankPicture(1));
  pictures.back().rgb = {1, 2, 3};
  pictures.push_back(blankPicture(97));
  for (std::uint8_t& v : pictures.back().rgb) v = byte();
  pictures.push_back(blankPicture(300));
  std::uint8_t* cell = pictures.back().rgb.data();
  for (std::size_t left = 300 * 300; left > 0;) {
    const std::uint8_t colour[3] = {std::uint8_t(byte() & 7), 0, std::uint8_t(byte() & 1)};
    for (std::size_t n = std::min<std::size_t>(left, random() % 700 + 1); n > 0; --n, --left)
      cell = std::copy(colour, colour + 3, cell);
  }
  // In the file's first piece of rows, 255 on every even place and on the
  // odd ones bytes 1 ... 17 counted in powers of two (1, 2, 4, ... 65536),
  // then 254: no byte repeats the one three before it, and an optimal code
  // would give the rarest about 20 bits.
  pictures.push_back(blankPicture(2048));
  std::vector<std::uint8_t> rare;
  for (std::size_t k = 0; k <= 16; ++k)
    rare.insert(rare.end(), std::size_t(1) << k, std::uint8_t(k + 1));
  auto& skewed = pictures.back().rgb;
  for (std::size_t i = 0; i < 64 * 2048 * 3; ++i)
    skewed[i] = i % 2 == 0 ? 255 : i / 2 < rare.size() ? rare[i / 2] : 254;

  const auto imageOf = [](const Picture& p) {
    return ImageRows{p.rgb.data(), p.width, p.height, std::size_t(p.width) * 3};
  };
  // Writes `picture` to `out` through `encoder` on `threads` threads.
  const auto write = [&](const std::string& out, const Picture& picture, int threads,
                         PngEncoder& encoder) {
    RowSolver team(threads);
    writeOutput(openOutput(out),
                [&](std::FILE* file) { return encoder.write(imageOf(picture), file, team); });
  };
  for (const Picture& picture : pictures) {
    SCOPED_TRACE(picture.width);
    std::string bytes[2];
    for (const int threads : {1, 3}) {
      const std::string out = dir + "/p" + std::to_string(threads) + ".png";
      write(out, picture, threads, *pngEncoder(false));
      EXPECT_TRUE(support::readPng(out).rgb == picture.rgb);
      bytes[threads / 2] = contents(out);
    }
    EXPECT_EQ(bytes[0], bytes[1]);
    // Pieces made as the rows are finished, after pieces of another picture
    // that must not be taken, give the same file.
    const std::unique_ptr<PngEncoder> ahead = pngEncoder(false);
    const Picture other = blankPicture(picture.width, picture.height);
    ahead->rowsFinished(imageOf(other), other.height);
    for (int rows = 1; rows < picture.height; rows += 50)
      ahead->rowsFinished(imageOf(picture), rows);
    write(dir + "/ahead.png", picture, 2, *ahead);
    EXPECT_EQ(contents(dir + "/ahead.png"), bytes[0]);
    // libpng's own encoder, the reference: other bytes, the same pixels.
    write(dir + "/plain.png", picture, 2, *pngEncoder(true));
    EXPECT_TRUE(support::readPng(dir + "/plain.png").rgb == picture.rgb);
  }
  // basinshot with its speed measures left out: the picture of the fast way.
  Launch plain;
  plain.environment = {"BASIN_PLAIN=all"};
  ASSERT_EQ(shoot({"quadbasin", "--size", "300", "-o", dir + "/q-plain.png"}, plain).status, 0);
  ASSERT_EQ(shoot({"quadbasin", "--size", "300", "-o", dir + "/q-fast.png"}).status, 0);
  EXPECT_TRUE(support::readPng(dir + "/q-plain.png").rgb ==
              support::readPng(dir + "/q-fast.png").rgb);
  EXPECT_NE(contents(dir + "/q-plain.png"), contents(dir + "/q-fast.png"));
}

TEST_F(Basinshot, HelpPrintsTheUsage) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"quadbasin", "-h", "-o", dir + "/x.png"},
                                               {"octobasin", "--size", "0", "-h"}}) {
    const Outcome r = shoot(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: basinshot duobasin|quadbasin", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("--size"), std::string::npos);
    EXPECT_EQ(r.out.find("--program"), std::string::npos) << "an internal name";
    EXPECT_TRUE(files().empty());
  }
  const Outcome version = shoot({"--version", "-o"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("basinshot ", 0), 0u) << version.out;
  EXPECT_EQ(version.out.find('\n'), version.out.size() - 1) << version.out;
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
      {{"duobasin"}, "no output file given: -o FILE"},
      {{"duobasin", "-o"}, "-o needs a value (FILE)"},
      {{"duobasin", "-o", ""}, "needs a file name"},
      {{"duobasin", "-o", out, "--loud"}, "unknown option '--loud'"},
      {{"duobasin", "quadbasin", "-o", out}, "unexpected argument 'quadbasin'"},
      {{"duobasin", "-o", out, "--", "-z"}, "unexpected argument '-z'"},
      {{"duobasin", "--size", "9", "--size=9", "-o", out}, "--size is given more than once"},
      {{"duobasin", "--ftol", "1", "-o", out}, "--ftol is only for a polynomial"},
      {{"duobasin", "--quiet=maybe", "-o", out}, "--quiet takes no value"},
      {{"duobasin", "-qx", "-o", out}, "unknown option '-x' in '-qx'"},
      {{"duobasin", "--window=1", "-o", out}, "--window needs 4 values"},
      {{"duobasin", "--size=", "-o", out}, "--size needs a value (N|WxH)"},
      {{"duobasin", "-vqo"}, "-o needs a value (FILE)"},
      {{"z^2", "--ftol", "-1", "-o", out}, "'-1': must be a positive number below 3.4e38"},
      {{"z^2", "--rtol=1e39", "-o", out}, "'1e39': must be a positive number below 3.4e38"},
      {{"z^2", "--ftol", "1e-50", "-o", out}, "'1e-50': rounds to 0 as a float"},
      {{"z^2", "--extra", "05", "-o", out}, "'05': expected a whole number from 0 to 18"},
      {{"z^2 - 1e-50", "-o", out}, "column 7: coefficient 1e-50 rounds to 0 as a float"},
      {{"z^2 - 1e-400", "--double", "-o", out}, "coefficient 1e-400 rounds to 0 as a double"},
      {{"z^2", "--double", "--rtol", "1e309", "-o", out}, "below 1.8e308"},
      {{"duobasin", "--double", "--window", "1", "1.000000000000001", "-1", "1", "-o", out},
       "too narrow for double"},
      {{"duobasin", "--keys", "d", "--keys-file", out, "-o", out}, "cannot be used together"},
      {{"z^3", "--roots", "-o", out}, "--output does nothing with --roots, which draws nothing"},
      {{"z^3", "--roots", "--keys", "d"}, "--keys does nothing with --roots"},
      {{"z^3", "--size", "9", "--roots"}, "--size does nothing with --roots"},
      {{"quadbasin", "--double", "--double", "-o", out}, "--double is given more than once"},
      {{"z^2 - NaN", "-o", out}, "column 7: coefficient NaN is not a finite number"},
      {{"inf*z", "-o", out}, "column 1: coefficient inf is not a finite number"},
      // Written forms: bounded before anything is expanded, each coefficient
      // of the expansion (each part of a complex one) refused on its own.
      {{"(z+1)^1000000000", "-o", out}, "column 7: exponent 1000000000 is above 18"},
      {{"(z + 1e999999999)^2", "-o", out},
       "column 6: number 1e999999999 is too large for a double"},
      {{"z - z + 1", "-o", out}, "column 1: the terms in z cancel, leaving a constant"},
      {{"z^z", "-o", out}, "column 3: z in an exponent"},
      {{"(z+1)/2", "-o", out}, "column 6: division is not allowed"},
      {{"z^2 - 1e-30*1e-30", "-o", out}, "column 18: the coefficient of z^0 (-1e-60) rounds to 0"},
      {{"(1e20 z)^2 + 1", "-o", out}, "the coefficient of z^2 (1e+40) is too large for a float"},
      {{"z + (2 + 1e-50i)", "-o", out},
       "the imaginary part of the coefficient of z^0 (1e-50) rounds to 0 as a float"},
      {{"duobasin", "--relax", "0", "-o", out}, "--relax: '0': A = 0 never moves a run"},
      {{"duobasin", "--relax", "1e39", "-o", out}, "the constant (1e+39) is too large for a float"},
      {{"duobasin", "--relax", "z", "-o", out}, "--relax: 'z': column 1: no z in a constant"},
      {{"duobasin", "--relax", "1", "--relax=1", "-o", out}, "--relax is given more than once"},
      {{"duobasin", "--keys", "z@400,400 x d", "-o", out}, "key 2 'x': unknown key"},
      {{"duobasin", "--keys", "z@4OO,400", "-o", out}, "expected z@X,Y"},
      {{"duobasin", "--keys", "c@800,0", "-o", out}, "outside the 800 x 800 window"},
      {{"duobasin", "--keys", "z@-1,5", "-o", out}, "outside the 800 x 800 window"},
      {{"duobasin", "--keys-file", "/dev/zero", "-o", out}, "key 1 '\\x00\\x00"},
      {{"duobasin", "--keys-file", "/dev/urandom", "-o", out}, "--keys-file '/dev/urandom': "},
      {{"duobasin", "--keys", "d@1,1", "-o", out}, "d takes no pointer position"},
      {{"duobasin", "--keys", "-o", out}, "key 1 '-o'"},
      {{"duobasin", "-o", out, "--window", "-1", "1", "-1"}, "--window needs 4 values"},
      {{"duobasin", "--window", "-1", "1", "-1", "1x", "-o", out}, "'1x': not a number"},
      {{"duobasin", "--window", "-1", "", "-1", "1", "-o", out}, "'': not a number"},
      {{"duobasin", "--window", " 1", "2", "-1", "1", "-o", out}, "not a number"},
      {{"duobasin", "--window", "-1", "inf", "-1", "1", "-o", out}, "not finite"},
      {{"duobasin", "--window", "-nan", "1", "-1", "1", "-o", out}, "'-nan': not a number"},
      {{"duobasin", "--window", "-1", "1", "-1", "1e39", "-o", out}, "not finite"},
      {{"duobasin", "--window", "1", "1", "-1", "1", "-o", out}, "XMIN must be below XMAX"},
      {{"duobasin", "--window", "-1", "1", "2", "-2", "-o", out}, "YMIN must be below YMAX"},
      {{"duobasin", "--window", "1", "1.0000001", "-1", "1", "-o", out}, "too narrow"},
      {{"duobasin", "--window", "1", "1.00000001", "-1", "1", "-o", out},
       "too narrow for float to place 800 samples across it (--double goes deeper)"},
      {{"quadbasin", "--window", "1", "1.00009537", "1", "1.00009537", "--size", "1601", "-o", out},
       "too narrow for float to place 1601 samples across it (--size 1601); the most it can "
       "place is 800; --double goes deeper"},
      {{"duobasin", "--size", "0", "-o", out},
       "'0': expected N or WxH, each a whole number from 1 to 16384"},
      {{"duobasin", "--size", "10x0", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "10x", "-o", out}, "from 1 to 16384"},
      {{"duobasin", "--size", "5x5x5", "-o", out}, "from 1 to 16384"},
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
  fs::remove(dir + "/plain");

  // Keys files: the first bad word ends the reading, named with its line
  // and its NUL shown; a file of good keys ends at its size limit. The
  // output may not be the keys file, however it is reached.
  const std::string keys = dir + "/k.keys";
  std::ofstream(keys) << "d\nz@1,1 a" << '\0' << "b d\n";
  expectFailure(
      shoot({"duobasin", "--keys-file", keys, "-o", out}),
      "key 3 'a\\x00b' on line 2: unknown key (the keys are z@X,Y Z@X,Y c@X,Y r d w u U left");
  std::ofstream(keys) << "z@1,1 d\n";
  fs::create_symlink("k.keys", dir + "/link");
  const std::string keysText = contents(keys);
  for (const std::string& target : {keys, dir + "/link", std::string("/proc/self/fd/1")}) {
    SCOPED_TRACE(target);
    const int fd = open(keys.c_str(), O_WRONLY | O_APPEND);
    expectFailure(shoot({"duobasin", "--keys-file", keys, "-o", target}, writingTo(fd, -1)),
                  "is the keys file '" + keys + "': the picture would overwrite it");
    close(fd);
  }
  EXPECT_EQ(contents(keys), keysText);
  std::ofstream big(keys);
  for (long written = 0; written <= KEYS_FILE_LIMIT; written += 2) big << "d\n";
  big.close();
  expectFailure(shoot({"duobasin", "--keys-file", keys, "-o", out}), "more than 1 MiB of keys");
  EXPECT_EQ(files(), (std::vector<std::string>{"k.keys", "link"}));
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
      {at("null"), 0, "", {}},
      {at("full"), 2, "No space left on device", {}},
      {at("fifo"), 0, "", {}},
      {at("link"), 0, "", {}},
      {at("dangling"), 0, "", {}},
      {at("ro.png"), 2, "Permission denied", asNobody()},
      {at(longest), 0, "", {}},
      {"--help", 0, "", {}},
      {at("nobody.png"), 0, "", asNobody()},  // linked into place through /proc
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
  for (const char* made : {"real.png", "made.png", "--help", "nobody.png"})
    EXPECT_EQ(contents(at(made)), png);
  EXPECT_EQ(contents(at(longest)), png);
  EXPECT_EQ(contents(at("ro.png")), "old");
  EXPECT_EQ(files(), (std::vector<std::string>{"--help", "dangling", "fifo", "full", "link",
                                               "made.png", longest, "nobody.png", "null",
                                               "piped.png", "real.png", "ro.png"}));

  // Standard output on a terminal, by any of its names: refused.
  Terminal terminal;
  for (const char* name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"})
    expectFailure(shoot({"duobasin", "-o", name}, writingTo(terminal.side, -1)), "terminal");
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
  EXPECT_NE(shown.find(" of 3000 rows, "), std::string::npos) << "not the print's rows: " << shown;
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
            "800 samples across it (--double goes deeper)\n");
}

#ifdef POLYBASIN
// The same mistake gets the same words from all four programs: each reads
// its command line through the one reader.
TEST_F(Basinshot, EveryProgramTellsTheSameMistakeInTheSameWords) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"--bogus"}, "unknown option '--bogus' (see "},
      {{"--double", "--double"}, "--double is given more than once (see "},
      {{"--window", "0", "1", "0", "1", "--window", "0", "1", "0", "1"}, "--window is given more"},
      {{"--window", "0", "1", "0"}, "--window needs 4 values (XMIN XMAX YMIN YMAX) (see "},
      {{"--window", "1", "0", "0", "1"}, "--window: XMIN must be below XMAX (see "},
      {{"--window", "nan", "1", "0", "1"}, "--window: 'nan': not a number (see "},
      {{"--relax", "0"}, "--relax: '0': A = 0 never moves a run (see "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    const std::vector<std::vector<std::string>> runs = {
        {DUOBASIN_PATH, "-iconic"},
        {POLYBASIN, "z^2"},
        {BASINSHOT, "quadbasin", "-o", dir + "/p.png"}};
    for (std::vector<std::string> argv : runs) {
      argv.insert(argv.end(), c.args.begin(), c.args.end());
      const Outcome r = support::run(argv);
      const std::string name = fs::path(argv[0]).filename();
      EXPECT_EQ(r.status, 2) << name;
      EXPECT_EQ(r.err.rfind(name + ": ", 0), 0u) << r.err;
      EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
  }
}

// polybasin reads the polynomial and its options as basinshot does, and
// refuses what it does not know in the same words, before any window
// opens; GLUT's own options pass through.
TEST_F(Basinshot, PolybasinReadsItsCommandLineAsBasinshotDoes) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"z^2 - 1", "foo"}, "unexpected argument 'foo'"},
      {{"-geometry", "99x99", "z^2 - 1", "--bogus"}, "unknown option '--bogus'"},
      {{"--", "-z^2 + 1", "-display"}, "unexpected argument '-display'"},
      {{"z^2 - 1", "--extra", "05"}, "--extra: '05': expected a whole number from 0 to 18"},
      {{"z^2 - 1", "--extra", "18"}, "--extra must lie from 0 to 19 less the degree"},
      {{"z^2 - 1e-50"}, "'z^2 - 1e-50': column 7: coefficient 1e-50 rounds to 0 as a float"},
      {{"z^2", "--ftol", "1e39"}, "--ftol: '1e39': must be a positive number below 3.4e38"},
      {{"z^2", "--rtol", "0"}, "--rtol: '0': must be a positive number below 3.4e38"},
      {{"z^2", "--ftol=1", "--ftol", "2"}, "--ftol is given more than once"},
      {{"z^2", "--rtol"}, "--rtol needs a value (X)"},
      {{"(z-1)^3 (z+2"}, "'(z-1)^3 (z+2': column 13: expected ')' to close the '(' of column 9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    const Outcome viewer = support::run([&] {
      std::vector<std::string> argv{POLYBASIN};
      argv.insert(argv.end(), c.args.begin(), c.args.end());
      return argv;
    }());
    EXPECT_EQ(viewer.status, 2);
    EXPECT_EQ(viewer.err.rfind("polybasin: ", 0), 0u) << viewer.err;
    EXPECT_NE(viewer.err.find(c.says), std::string::npos) << viewer.err;
    std::vector<std::string> shot = {"-o", dir + "/p.png"};
    shot.insert(shot.end(), c.args.begin() + (c.args[0] == "-geometry" ? 2 : 0), c.args.end());
    const Outcome r = shoot(shot);
    expectFailure(r, c.says);
  }
  // What only polybasin has: --help, GLUT's options told apart from a
  // polynomial that begins with a minus, and the `=` forms taken. --roots
  // prints and ends before any window opens.
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } own[] = {
      {{"z^2", "--version"}, 0, "polybasin "},
      {{"--help"}, 0, "usage: polybasin [GLUT options] POLY"},
      {{"-iconic"}, 2, "polybasin: no polynomial given"},
      {{"-z^2 + 1", "--extra=0", "--ftol=1e-9", "--rtol=1e-7", "--roots"},
       0,
       "-1+0i multiplicity 1 colour 0 #ff0000\n1+0i multiplicity 1 colour 1 #00ff00\n"},
      {{"-z", "--roots"}, 0, "0+0i multiplicity 1 colour 0 #ff0000\n"},
      {{"-(z-1)^2", "--roots"}, 0, "1+0i multiplicity 2 colour 0 #ff0000\n"},
      {{"-i z^2 + i", "--roots"}, 0, "\n1+0i multiplicity 1 colour 1 #00ff00\n"},
      {{"z^3 - 1", "--relax", "1.8", "--roots"}, 0, "1+0i multiplicity 1 colour 1"},
      // Complex and repeated roots, each part the float nearest its closed
      // form (0.8660254: sqrt(3)/2); where rounding the coefficients split
      // a root, the written root with its written multiplicity.
      {{"z^3 - i", "--roots"},
       0,
       "-0.8660254+0.5i multiplicity 1 colour 0 #ff0000\n0.8660254+0.5i multiplicity 1 colour 1 "
       "#00ff00\n0-1i multiplicity 1 colour 2 #0000ff\n"},
      {{"(z - 1 - i)^2 (z+1)", "--roots"},
       0,
       "1+1i multiplicity 2 colour 0 #ff0000\n-1+0i multiplicity 1 colour 1 #00ff00\n"},
      {{"(z-1)^3 (z+2)", "--roots"},
       0,
       "1+0i multiplicity 3 colour 0 #ff0000\n-2+0i multiplicity 1 colour 1 #00ff00\n"},
      {{"(z - 0.1)^2", "--roots"},
       0,
       "0.099977165+0i multiplicity 1 colour 0 #ff0000\n0.10002284+0i multiplicity 1 colour 0 "
       "#ff0000\nas written: 0.1+0i multiplicity 2\n"},
      // GLUT's options, told apart from a polynomial that begins with a
      // minus, do nothing when no window opens.
      {{"-geometry", "99x99", "-z^2 + 1", "--roots"}, 2, "-geometry does nothing with --roots"},
      {{"-sync", "-z", "--roots"}, 2, "-sync does nothing with --roots, which opens no window"},
      {{"-sync", "-z", "-sync"}, 2, "-sync is given more than once"},
      {{"-z", "--roots", "--window", "0", "1", "0", "1"}, 2, "--window does nothing with --roots"},
      {{"-z^2 + 1", "--extra=18"}, 2, "--extra must lie from 0 to 19 less the degree"},
      {{"-z^2 + 1", "--ftol=0"}, 2, "--ftol: '0': must be a positive number"},
  };
  for (const auto& c : own) {
    std::vector<std::string> argv{POLYBASIN};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const Outcome r = support::run(argv);
    EXPECT_EQ(r.status, c.status) << c.says << ": " << r.err;
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
  }
  // --roots lists what basinshot lists, with no display needed.
  const Outcome roots = support::run({POLYBASIN, "--roots", "z^4 - 2z^2 + 1"});
  EXPECT_EQ(roots.status, 0) << roots.err;
  EXPECT_EQ(roots.out, shoot({"z^4 - 2z^2 + 1", "--roots"}).out);
  EXPECT_NE(roots.out.find("multiplicity 2"), std::string::npos) << roots.out;
}
#endif

// Reads what a program writes to `fd` until `text` has come, or `seconds`
// have passed; true if it came.
bool waitForText(int fd, const std::string& text, double seconds) {
  std::string seen;
  const support::Clock::time_point end = support::after(seconds);
  while (seen.find(text) == std::string::npos && support::Clock::now() < end) {
    pollfd ready{fd, POLLIN, 0};
    char buffer[4096];
    const ssize_t n = poll(&ready, 1, 100) == 1 ? read(fd, buffer, sizeof buffer) : 0;
    if (n > 0) seen.append(buffer, std::size_t(n));
  }
  return seen.find(text) != std::string::npos;
}

// Waits for a file of `folder`'s inotify watch `watch` to be opened with
// a name starting with `prefix`; true if one was.
bool waitForOpen(int watch, const std::string& prefix, double seconds) {
  const support::Clock::time_point end = support::after(seconds);
  while (support::Clock::now() < end) {
    pollfd ready{watch, POLLIN, 0};
    alignas(inotify_event) char events[4096];
    const ssize_t n = poll(&ready, 1, 100) == 1 ? read(watch, events, sizeof events) : 0;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(events + at);
      if (event->len > 0 && std::string(event->name).rfind(prefix, 0) == 0) return true;
      at += ssize_t(sizeof(inotify_event) + event->len);
    }
  }
  return false;
}

TEST_F(Basinshot, KilledRunLeavesNoFile) {
  // While computing, once its progress line shows, killed by any signal:
  // there is no file yet.
  for (const int sig : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    Terminal terminal;
    const auto run =
        start({"quadbasin", "--size", "8000", "-o", dir + "/p.png"}, writingTo(-1, terminal.side));
    ASSERT_TRUE(waitForText(terminal.master, " rows, ", 60));
    kill(run->pid(), sig);
    EXPECT_EQ(run->finish().signal, sig);
    EXPECT_TRUE(files().empty());
  }
  // While writing: the run is stopped as soon as its unnamed file is
  // opened in the folder (inotify names it "#" and its inode), long before
  // the tenth of a second the write takes, and the signal comes while it
  // stands still. The file has no name to leave behind, whatever the signal.
  const int watch = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, dir.c_str(), IN_OPEN), 0);
  for (const int sig : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    const auto run = start({"quadbasin", "--size", "3000", "-o", dir + "/p.png"});
    const pid_t pid = run->pid();
    ASSERT_TRUE(waitForOpen(watch, "#", 60));
    kill(pid, SIGSTOP);
    EXPECT_TRUE(files().empty()) << "a named temporary file: " << files()[0];
    kill(pid, sig);
    kill(pid, SIGCONT);
    EXPECT_EQ(run->finish().signal, sig);
    EXPECT_TRUE(files().empty());
  }
  close(watch);
}

}  // namespace
}  // namespace basin
