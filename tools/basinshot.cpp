// basinshot: the picture of duobasin, quadbasin or a polynomial of the
// user's, drawn without a display and saved as a PNG file.
//
// It draws the start-up frame, then the --window if one is given, then
// replays the --keys script through the viewer's own key table, and writes
// the last frame drawn (black after a final w). Bad input gets one line on
// stderr and exit status 2 before anything is computed; where the picture
// goes, and how it is written without harm, is tools/output.h's part.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "core/polynomial.h"
#include "examples/duobasin.h"
#include "examples/quadbasin.h"
#include "tools/output.h"
#include "tools/progress.h"
#include "viewer/replay.h"
#include "viewer/rootlist.h"

namespace {

using basin::fail;

constexpr int MAX_SIZE = 16384;

const char* const USAGE =
    "usage: basinshot duobasin|quadbasin|POLY [OPTIONS] -o FILE\n"
    "\n"
    "Draws the program's start-up frame without a display, then the window if one\n"
    "is given, then replays the keys as the viewer would, and saves the last frame\n"
    "drawn as an 8-bit RGB PNG (black after a final w). POLY is a polynomial as\n"
    "polybasin takes it, such as \"z^3 - 1\".\n";

const char* const KEYS_HELP =
    "keys separated by blanks, as typed in the viewer:\n"
    "  z@X,Y  zoom in around the pointer at pixel (X, Y)\n"
    "  Z@X,Y  zoom out     c@X,Y  re-centre\n"
    "  r      mark the start-up window\n"
    "  d      apply the marked window and draw a frame\n"
    "  w      wipe the picture to black\n"
    "X and Y are pixels of the viewer's 800 x 800 window\n"
    "from its top-left corner (0 ... 799), whatever --size\n"
    "is, so a script reaches the same view at every size";

const char* const WINDOW_HELP =
    "after the start-up frame, draw this part of the plane,\n"
    "as if it had been marked and applied with d";

const char* const SIZE_HELP =
    "the last frame on an N x N grid (1 ... 16384, default\n"
    "800); frames before it are drawn on the viewer's\n"
    "800 x 800 grid, so the roots keep the viewer's colours";

const char* const OUTPUT_HELP =
    "the PNG file to write; - for standard output. A file\n"
    "is replaced only once the picture is complete; a\n"
    "device or FIFO is written in place";

const char* const FOOTER =
    "Exit status: 0 when the picture is written, 2 on bad input or when it cannot\n"
    "be written (then no file is left behind).";

const char* const KEYS_FILE_HELP =
    "read the keys from FILE (- for standard input): the\n"
    "words of --keys, separated by any blanks or newlines;\n"
    "# starts a comment that runs to the end of the line";

struct Options {
  Options() = default;
  Options(const Options&) = delete;

  const basin::Variant* variant = nullptr;
  std::string text;  // a polynomial of the user's, and its table
  basin::Polynomial polynomial;
  basin::Tolerances tolerances;
  basin::Variant custom{};
  basin::Shot shot;
  std::string output;
  bool quiet = false;
  bool verbose = false;
  bool roots = false;
};

// CLI11's help under the usage line above: the program is a choice of two
// names, which the generated line would show as "program".
class Help : public CLI::Formatter {
  std::string make_usage(const CLI::App*, std::string) const override { return USAGE; }
};

// Only decimal digits with no leading zero, checked before CLI11 converts
// the text (which would also read 0x10 as 16 and 010 as 8), in [lo, hi].
CLI::Validator wholeNumber(int lo, int hi) {
  const std::string range = std::to_string(lo) + " to " + std::to_string(hi);
  const auto check = [lo, hi, range](std::string& text) -> std::string {
    long value = 0;
    bool digits = !text.empty() && text.size() <= 9 && (text[0] != '0' || text == "0");
    for (const char ch : text) {
      digits = digits && std::isdigit(static_cast<unsigned char>(ch));
      if (digits) value = value * 10 + (ch - '0');
    }
    if (digits && value >= lo && value <= hi) return "";
    return "'" + text + "': expected a whole number from " + range;
  };
  return CLI::Validator(check, "", "whole number");
}

// A window edge, read by strtof, so that it is the float nearest the text
// (CLI11's own conversion rounds twice, through long double). Infinities
// and NaNs are left to windowFault with the window's other checks.
float readEdge(const std::string& text) {
  char* end = nullptr;
  const float value = std::strtof(text.c_str(), &end);
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || *end != '\0')
    throw CLI::ValidationError("--window", "'" + text + "': not a number");
  return value;
}

// A program's name, or else a polynomial.
void readProgram(const std::string& name, Options& o) {
  for (const basin::Variant* v : {&basin::DUOBASIN, &basin::QUADBASIN})
    if (name == v->name) o.variant = v;
  if (o.variant != nullptr) return;
  basin::PolynomialError error;
  if (basin::parsePolynomial(name, &o.polynomial, &error)) {
    o.text = name;
    return;
  }
  // A word that starts with a letter other than z was meant as a name.
  if (!name.empty() && std::isalpha(static_cast<unsigned char>(name[0])) && name[0] != 'z')
    throw CLI::ValidationError("unknown program '" + name +
                               "' (expected duobasin, quadbasin or a polynomial such as "
                               "\"z^3 - 1\")");
  throw CLI::ValidationError("polynomial " + basin::describeError(name, error));
}

// The user's polynomial with its tolerances, once all options are read.
void settleVariant(Options& o) {
  if (o.text.empty()) return;
  if (const char* fault = basin::tolerancesFault(o.polynomial, o.tolerances)) fail(fault);
  o.custom = basin::polynomialVariant(o.polynomial, o.text.c_str(), o.tolerances);
  o.variant = &o.custom;
}

CLI::Validator tolerance() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        float value;
        return basin::readTolerance(text, &value) ? "" : "'" + text + "': expected a number";
      },
      "", "");
}

void readKeys(const std::string& text, Options& o, const char* option = "--keys") {
  std::string error;
  if (!basin::parseKeys(text, &o.shot.keys, &error)) throw CLI::ValidationError(option, error);
}

void readKeysFile(const std::string& name, Options& o) {
  std::FILE* file = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
  if (file == nullptr)
    throw CLI::ValidationError("--keys-file", "'" + name + "': " + std::strerror(errno));
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  if (failed) throw CLI::ValidationError("--keys-file", "'" + name + "': cannot be read");
  readKeys(text, o, "--keys-file");
}

void readWindow(const std::array<std::string, 4>& edges, Options& o) {
  basin::Window& w = o.shot.window;
  w = basin::Window{readEdge(edges[0]), readEdge(edges[1]), readEdge(edges[2]), readEdge(edges[3])};
  if (const char* fault = basin::windowFault(w)) throw CLI::ValidationError("--window", fault);
  o.shot.hasWindow = true;
}

// Every option with its help and the way its value is read and checked: a
// new option is one more entry here and one more field in Options. A value
// is always taken as a value, even one that looks like an option: -o --help
// names a file.
void describeOptions(CLI::App& app, Options& o) {
  // Help wins as soon as it is seen, even over mistakes elsewhere.
  app.set_help_flag();
  app.add_flag_callback(
         "-h,--help", [] { throw CLI::CallForHelp(); }, "print this text")
      ->trigger_on_parse();
  app.add_option_function<std::string>(
         "program,--program", [&o](const std::string& name) { readProgram(name, o); },
         "duobasin, quadbasin, or a polynomial in z such as\n"
         "\"z^3 - 2z + 2\" (exponents 0 ... 18)")
      ->type_name("");
  // CLI11 reads the number itself only after the check, through strtof.
  const auto readFloat = [](float* into) {
    return [into](const std::string& text) { basin::readTolerance(text, into); };
  };
  CLI::Option* ftol = app.add_option_function<std::string>("--ftol", readFloat(&o.tolerances.FTOL),
                                                           "with POLY: the tolerance on |f(z)|^2 "
                                                           "(1e-10)")
                          ->type_name("X")
                          ->check(tolerance());
  CLI::Option* rtol =
      app.add_option_function<std::string>("--rtol", readFloat(&o.tolerances.RTOL),
                                           "with POLY: the squared distance that matches\n"
                                           "a root (1e-8)")
          ->type_name("X")
          ->check(tolerance());
  CLI::Option* extra = app.add_option("--extra", o.tolerances.EXTRASLOTS,
                                      "with POLY: registry slots beyond the degree (1,\n"
                                      "at most 19 - degree)")
                           ->type_name("N")
                           ->check(wholeNumber(0, 18));
  for (CLI::Option* option : {ftol, rtol, extra})
    option->each([&o](const std::string&) {
      if (o.variant != nullptr)
        throw CLI::ValidationError("only for a polynomial; the named programs have their own");
    });
  CLI::Option* keys =
      app.add_option_function<std::string>(
             "--keys", [&o](const std::string& text) { readKeys(text, o); }, KEYS_HELP)
          ->type_name("KEYS");
  app.add_option_function<std::string>(
         "--keys-file", [&o](const std::string& name) { readKeysFile(name, o); }, KEYS_FILE_HELP)
      ->type_name("FILE")
      ->excludes(keys);
  app.add_option_function<std::array<std::string, 4>>(
         "--window", [&o](const std::array<std::string, 4>& edges) { readWindow(edges, o); },
         WINDOW_HELP)
      ->type_name("XMIN XMAX YMIN YMAX");
  app.add_option("--size", o.shot.size, SIZE_HELP)->type_name("N")->check(wholeNumber(1, MAX_SIZE));
  CLI::Option* output =
      app.add_option("-o,--output", o.output, OUTPUT_HELP)
          ->type_name("FILE")
          ->check(CLI::Validator(
              [](std::string& name) { return name.empty() ? "needs a file name" : ""; }, "", ""));
  app.add_flag(
      "-q,--quiet", o.quiet,
      "no progress line and no refused mark, even on a\nterminal (--verbose still reports them)");
  app.add_flag("-v,--verbose", o.verbose,
               "report every refused mark on stderr (a terminal\n"
               "hears of them anyway)");
  app.add_flag("--roots", o.roots,
               "print each distinct root, its multiplicity and\n"
               "its colour in the start-up frame; draws nothing")
      ->excludes(output);
}

// A polynomial may begin with a minus ("-0.5z^4 + z^2"), which CLI11 would
// take for an option: such an argument, where no option's value is due,
// becomes --program=POLY.
std::vector<std::string> markPolynomials(const CLI::App& app, int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (const CLI::Option* option = app.get_option_no_throw(arg)) {
      i += std::size_t(std::max(option->get_items_expected_max(), 0));
      continue;
    }
    const bool signed_ = arg.size() > 1 && arg[0] == '-';
    if (signed_ && (std::isdigit(static_cast<unsigned char>(arg[1])) ||
                    std::string(". \tz").find(arg[1]) != std::string::npos))
      args[i] = "--program=" + arg;
  }
  std::reverse(args.begin(), args.end());  // CLI11 takes them from the back
  return args;
}

// Fills `o`, which keeps the user's polynomial and its parameter set in
// place: it must not be copied afterwards.
void parseArguments(int argc, char** argv, Options& o) {
  CLI::App app("", "basinshot");
  app.formatter(std::make_shared<Help>());
  app.footer(FOOTER);
  describeOptions(app, o);
  try {
    std::vector<std::string> args = markPolynomials(app, argc, argv);
    app.parse(args);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    std::exit(0);
  } catch (const CLI::ParseError& e) {
    fail(std::string(e.what()) + " (see basinshot --help)");
  }
  if (o.variant == nullptr && o.text.empty())
    fail("no program given: duobasin, quadbasin or a polynomial (see basinshot --help)");
  if (o.output.empty() && !o.roots) fail("--output is required (see basinshot --help)");
  settleVariant(o);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  parseArguments(argc, argv, options);
  if (options.roots) return basin::printRoots(*options.variant, "basinshot");
  const basin::Output output = basin::openOutput(options.output);
  const bool terminal = isatty(STDERR_FILENO) != 0;
  basin::Progress progress;
  basin::ShotReport report;
  if (terminal && !options.quiet)
    report.progress = [&progress](long done, long total) { progress.update(done, total); };
  if (options.verbose || (terminal && !options.quiet))
    report.refused = [&progress](const basin::Command& c, const char* why) {
      progress.clear();
      std::fprintf(stderr, "basinshot: %s at (%d, %d) refused: %s\n",
                   basin::keyName(static_cast<unsigned char>(c.key)), c.x, c.y, why);
    };
  basin::Picture picture;
  try {
    picture = basin::takeShot(*options.variant, options.shot, report);
  } catch (const std::bad_alloc&) {
    const std::string n = std::to_string(options.shot.size);
    fail("not enough memory for a " + n + " x " + n + " picture");
  }
  progress.clear();
  basin::writeOutput(output, picture);
  return 0;
}
