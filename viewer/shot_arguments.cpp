#include "viewer/shot_arguments.h"

#include <strings.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/failure.h"
#include "core/polynomial.h"
#include "core/programs.h"

namespace basin {
namespace {

const std::string USAGE =
    "usage: basinshot duobasin|quadbasin|POLY [OPTIONS] -o FILE\n"
    "\n"
    "Draws the program's start-up frame without a display, then the window if one\n"
    "is given, then replays the keys as the viewer would, and saves the last frame\n"
    "drawn as an 8-bit RGB PNG (black after a final w). POLY is a polynomial in z\n"
    "as polybasin takes it, such as \"z^3 - 2z + 2\", \"(z-1)^3 (z+2)\" or \"z^3 - i\"\n"
    "(degree 1 ... " +
    std::to_string(MAXDEGREE) +
    "); one that begins with a minus may follow --:\n"
    "basinshot -o x.png -- \"-z^2 + 1\".\n";

std::string keysHelp() {
  return "keys separated by blanks, as typed in the viewer,\n"
         "the pointer at pixel (X, Y):\n" +
         basin::keysHelp(true) +
         "X and Y are pixels of the viewer's window from its\n"
         "top-left corner, 800 x 800 until size@WxH resizes it,\n"
         "whatever --size is, so a script reaches the same view\n"
         "at every size";
}

const char* const SIZE_HELP =
    "the last frame on an N x N or W x H grid (each side\n"
    "1 ... 16384; default: the window's, 800 x 800), its view\n"
    "as a window of that size shows it; frames before it are\n"
    "drawn at the window's size, so the roots keep the\n"
    "viewer's colours";

// The text of a size as --size takes it: "N" for a square, else "WxH".
std::string sizeText(Size size) {
  if (size.width == size.height) return std::to_string(size.width);
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

const char* const OUTPUT_HELP =
    "the PNG file to write; - for standard output. A file\n"
    "is replaced only once the picture is complete; a\n"
    "device, a FIFO and /dev/stdout, /dev/fd/N are written\n"
    "in place; the keys file is never overwritten";

const char* const FOOTER =
    "Exit status: 0 when the picture is written, 2 on bad input or when it cannot\n"
    "be written (then no file is left behind).";

const char* const KEYS_FILE_HELP =
    "read the keys from FILE (- for standard input): the\n"
    "words of --keys, separated by any blanks or newlines;\n"
    "# starts a comment that runs to the end of the line;\n"
    "read up to the first bad word, and at most 1 MiB";

// CLI11's help under the usage line above: the program is a choice of two
// names, which the generated line would show as "program".
class Help : public CLI::Formatter {
  std::string make_usage(const CLI::App*, std::string) const override { return USAGE; }
};

// A program's name, or else a polynomial.
void readProgram(const CommandLine& cli, const std::string& name, ShotArguments& o) {
  if (const Program* program = findProgram(name)) {
    const std::string option = cli.polynomialOptionGiven();
    if (!option.empty()) fail(option + " is only for a polynomial; " + name + " has its own");
    o.variant = variantOf(*program, cli.precision());
    o.variant.relax = o.relax;
    return;
  }
  // A word that starts with a letter other than z or i was meant as a
  // name, unless it begins as a number strtod reads ("inf*z^2"): no
  // polynomial does, so it is not read as one.
  const std::string head = name.substr(0, 3);
  const bool number = strcasecmp(head.c_str(), "inf") == 0 || strcasecmp(head.c_str(), "nan") == 0;
  if (!number && !name.empty() && std::isalpha(static_cast<unsigned char>(name[0])) &&
      name[0] != 'z' && name[0] != 'i')
    fail("unknown program '" + name + "' (expected " + programNames() +
         " or a polynomial such as \"z^3 - 1\")");
  PolynomialError error;
  if (!readUserPolynomial(name, &o.user.polynomial, &error, cli.precision()))
    fail("polynomial " + describeError(name, error));
  o.user.text = name;
  if (const char* fault = tolerancesFault(o.user.polynomial, o.user.tolerances)) fail(fault);
  o.variant = polynomialVariant(o.user.polynomial, o.user.text, o.user.tolerances, cli.precision());
  o.variant.relax = o.relax;
}

void readKeys(const std::string& text, ShotArguments& o) {
  std::string error;
  if (!parseKeys(text, &o.shot.keys, &error)) throw CLI::ValidationError("--keys", error);
}

// Reads the keys file as a stream, so no file, however large or endless,
// is held in memory; its device and inode are kept for the output's check.
void readKeysFile(ShotArguments& o) {
  const std::string& name = o.keysFile;
  std::FILE* file = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
  if (file == nullptr) fail("--keys-file '" + name + "': " + std::strerror(errno));
  if (fstat(fileno(file), &o.keysInput) != 0)
    fail("--keys-file '" + name + "': " + std::strerror(errno));
  std::string error;
  const bool read = readKeys(file, &o.shot.keys, &error);
  if (file != stdin) std::fclose(file);
  if (!read) fail("--keys-file '" + name + "': " + error);
}

// basinshot's own options, beside the polynomial's, with their help and
// the way each value is read and checked: a new option is one more entry
// here and one more field in Options. A value is always taken as a value,
// even one that looks like an option: -o --help names a file.
void describeOptions(CommandLine& cli, ShotArguments& o) {
  CLI::App& app = cli.app();
  cli.addPolynomialOptions(o.user);
  app.add_option_function<std::string>(
         "--keys", [&o](const std::string& text) { readKeys(text, o); }, keysHelp())
      ->type_name("KEYS");
  app.add_option("--keys-file", o.keysFile, KEYS_FILE_HELP)->type_name("FILE");
  cli.addWindowOption(&o.shot.window, &o.shot.hasWindow);
  cli.addSizeOption("--size", &o.shot.size, SIZE_HELP);
  cli.addRelaxOption(&o.relax);
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
               "its colour in the start-up frame; draws nothing");
}

}  // namespace

void readShotArguments(int argc, char** argv, ShotArguments* arguments) {
  ShotArguments& o = *arguments;
  CommandLine cli("basinshot", [](const CLI::App& app) { std::fputs(app.help().c_str(), stdout); });
  cli.app().formatter(std::make_shared<Help>());
  cli.app().footer(FOOTER);
  describeOptions(cli, o);
  bool given = false;
  const std::string program = cli.parse(std::vector<std::string>(argv + 1, argv + argc), &given);
  if (!given)
    fail("no program given: " + programNames() + " or a polynomial (see basinshot --help)");
  if (o.output.empty() && !o.roots)
    fail("no output file given: -o FILE, or -o - for standard output");
  if (o.roots)
    cli.refuseAny(
        {"--output", "--keys", "--keys-file", "--window", "--size", "--quiet", "--verbose"},
        "--roots", "draws nothing");
  if (cli.app().count("--keys") > 0 && cli.app().count("--keys-file") > 0)
    fail("--keys and --keys-file cannot be used together");
  readProgram(cli, program, o);
  if (!o.keysFile.empty()) readKeysFile(o);
}

void checkPrint(const ShotArguments& o, const Session& session) {
  bool fromKeys = false;
  Size size;
  const Window window = lastWindow(session, o.shot, &fromKeys, &size);
  if (session.resolves(window, size)) return;
  const std::string what = fromKeys ? "the view the keys reach" : "the window";
  const Precision precision = o.variant.precision;
  const std::string deeper = precision == Precision::Float ? "; --double goes deeper" : "";
  const Size largest = session.largestPlaceable(window, size);
  fail(what + " is too narrow for " + storageName(precision) + " to place " +
       std::to_string(size.width == largest.width ? size.height : size.width) +
       " samples across it (--size " + sizeText(size) + "); the most it can place is " +
       sizeText(Size{std::min(largest.width, size.width), std::min(largest.height, size.height)}) +
       deeper);
}

}  // namespace basin
