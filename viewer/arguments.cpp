#include "viewer/arguments.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "viewer/command_line.h"
#include "viewer/keys.h"

namespace basin {
namespace {

const std::string POLYBASIN_USAGE =
    "usage: polybasin [GLUT options] POLY [--ftol X] [--rtol X] [--extra N] [--roots]\n"
    "                 [--relax A] [--double] [--window XMIN XMAX YMIN YMAX]\n"
    "                 [--save-dir DIR] [--print-size N|WxH]\n"
    "\n"
    "  POLY       a polynomial in z of degree 1 ... " +
    std::to_string(MAXDEGREE) +
    ", written as you would:\n"
    "             \"z^3 - 1\", \"(z-1)^3 (z+2)\", \"z^3 - i\", \"-0.5i z^2 + 2(z+1)\":\n"
    "             sums, products ('*' optional), parentheses, whole powers,\n"
    "             decimal numbers and i;\n"
    "             it may follow --, as in polybasin -- \"-z^2 + 1\"\n"
    "  --ftol X   convergence tolerance on |f(z)|^2 (default 1e-10)\n"
    "  --rtol X   squared distance within which two runs found one root (default 1e-8)\n"
    "  --extra N  registry slots beyond the degree (default 1, at most 19 - degree)\n"
    "  --roots    print each distinct root, its multiplicity and its colour, and exit\n"
    "  --relax A  the relaxed step z - A f(z)/f'(z), A such as 0.5 or 1.5+0.5i\n"
    "  --double   store every value as a double: far deeper zooms\n"
    "  --window XMIN XMAX YMIN YMAX\n"
    "             open on that part of the plane\n"
    "  --version  print the program's name and release";

void printHelp(const std::string& usage, const std::string& formula) {
  std::printf(
      "%s\n"
      "\n"
      "Draws the basins of attraction of Newton's method for %s in an 800 x 800\n"
      "window: every sample point of the plane in the colour of the root its run\n"
      "settles on, darker the more steps the run needed; runs that fail are black.\n"
      "\n"
      "Keys, typed with the mouse pointer in the window; z, Z and c mark a\n"
      "region centred on the pointer:\n"
      "%s"
      "\n"
      "The window may take any size: once a resize settles, the view is drawn\n"
      "again at the new size, one sample a pixel (a window of another shape\n"
      "shows more of the plane along its longer side).\n"
      "\n"
      "After the first frame and each frame drawn by a key, the mouse or a\n"
      "resize, the view is printed on standard output as a basinshot command\n"
      "that draws it (with --size WxH when the window is not 800 x 800); the\n"
      "last 100 views are kept for u and U.\n"
      "\n"
      "--relax A makes each step A times Newton's (A a complex number without z,\n"
      "0.5 or 1.5+0.5i; default 1): below 1 the runs creep, taking more steps;\n"
      "near 2 they overshoot, and the basins' boundary spreads.\n"
      "--window XMIN XMAX YMIN YMAX opens the viewer on that part of the plane\n"
      "(after the start-up frame, unseen, so the colours are as always).\n"
      "--double stores every value as a double instead of a float: zooms go far\n"
      "deeper (floats stop about 7 zooms away from the centre) and no slower,\n"
      "and the pictures differ where floats round differently.\n"
      "--save-dir DIR is where s and S write basinscope-NNNN.png (default: the\n"
      "working folder); --print-size N|WxH the size of S's prints (default: four\n"
      "times the window's).\n"
      "--help prints this text and --version the release. GLUT's own options go\n"
      "to GLUT (-geometry WxH+X+Y, -display DISPLAY, -iconic, ...; see the\n"
      "freeglut documentation), each once; any other argument is refused.\n",
      usage.c_str(), formula.c_str(), keysHelp(false).c_str());
}

// GLUT's options, each once: GLUT itself would take the last silently.
void refuseRepeatedGlut(const CommandLine& cli, const GlutArguments& glut) {
  for (std::size_t i = 0; i < glut.given.size(); ++i)
    for (std::size_t k = 0; k < i; ++k)
      if (glut.given[k] == glut.given[i])
        cli.fail(glut.given[i] + " is given more than once (see " + cli.name() + " --help)");
}

}  // namespace

ViewerArguments readViewerArguments(const Program* program, int argc, char** argv) {
  ViewerArguments read;
  read.glut = setAsideGlut(argc, argv);
  const std::string name = program ? program->name : "polybasin";
  const std::string indent(name.size() + 8, ' ');
  const std::string usage = program
                                ? "usage: " + name + " [GLUT options] [--relax A] [--double]\n" +
                                      indent + "[--window XMIN XMAX YMIN YMAX] [--save-dir DIR]\n" +
                                      indent + "[--print-size N|WxH]"
                                : POLYBASIN_USAGE;
  const std::string formula = program ? program->formula : "the polynomial POLY";
  CommandLine cli(name.c_str(), [&](const CLI::App&) { printHelp(usage, formula); });
  cli.addWindowOption(&read.window, &read.hasWindow);
  cli.app()
      .add_option("--save-dir", read.saveDir,
                  "the folder s and S write basinscope-NNNN.png into\n(default: the working one)")
      ->type_name("DIR")
      ->check(CLI::Validator(
          [](std::string& dir) {
            struct stat info {};
            if (stat(dir.c_str(), &info) != 0) return "'" + dir + "': " + std::strerror(errno);
            return S_ISDIR(info.st_mode) ? std::string() : "'" + dir + "' is not a folder";
          },
          "", ""));
  cli.addSizeOption("--print-size", &read.printSize,
                    "the size of S's prints (default: four times the\nwindow's)");
  WideComplex relax{1, 0};
  cli.addRelaxOption(&relax);
  PolynomialOptions user;
  if (program == nullptr) {
    cli.addPolynomialOptions(user);
    cli.app().add_flag(
        "--roots", read.roots,
        "print each distinct root, its multiplicity and\nits colour; opens no window");
  }
  bool given = false;
  const std::string operand = cli.parse(read.glut.rest, &given);
  const std::string see = " (see " + name + " --help)";
  refuseRepeatedGlut(cli, read.glut);
  if (program != nullptr) {
    if (given) cli.fail("unexpected argument '" + operand + "'" + see);
    read.variant = variantOf(*program, cli.precision());
    read.variant.relax = relax;
    return read;
  }
  if (!given) cli.fail("no polynomial given, such as \"z^3 - 1\"" + see);
  cli.readPolynomial(operand, user);
  read.variant = polynomialVariant(user.polynomial, user.text, user.tolerances, cli.precision());
  read.variant.relax = relax;
  if (read.roots) {
    cli.refuseAny({"--window", "--save-dir", "--print-size"}, "--roots", "opens no window");
    if (!read.glut.given.empty())
      cli.fail(read.glut.given[0] + " does nothing with --roots, which opens no window" + see);
  }
  return read;
}

}  // namespace basin
