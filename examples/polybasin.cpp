// polybasin: the basins of a real polynomial the user writes, with the
// window, keys and frame of the other two programs.
//
//   polybasin [GLUT options] POLY [--ftol X] [--rtol X] [--extra N] [--roots]
//             [--double] [--window XMIN XMAX YMIN YMAX]
//
// The polynomial and its options are read as basinshot reads them
// (tools/command_line.h); GLUT's own options (viewer/glut_options.h) are
// taken out first, with their values, and passed to GLUT. Any other
// argument is refused, so that a mistyped option never goes unnoticed.
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/command_line.h"
#include "viewer/glut_options.h"
#include "viewer/rootlist.h"
#include "viewer/viewer.h"

namespace {

const char* const USAGE =
    "usage: polybasin [GLUT options] POLY [--ftol X] [--rtol X] [--extra N] [--roots]\n"
    "                 [--double] [--window XMIN XMAX YMIN YMAX]\n"
    "\n"
    "  POLY       a real polynomial in z, such as \"z^3 - 1\" or \"-0.5z^4 + z^2 - 0.25\":\n"
    "             exponents 0 ... 18, coefficients decimal numbers, '*' optional;\n"
    "             it may follow --, as in polybasin -- \"-z^2 + 1\"\n"
    "  --ftol X   convergence tolerance on |f(z)|^2 (default 1e-10)\n"
    "  --rtol X   squared distance within which two runs found one root (default 1e-8)\n"
    "  --extra N  registry slots beyond the degree (default 1, at most 19 - degree)\n"
    "  --roots    print each distinct root, its multiplicity and its colour, and exit\n"
    "  --double   store every value as a double: far deeper zooms\n"
    "  --window XMIN XMAX YMIN YMAX\n"
    "             open on that part of the plane\n"
    "  --version  print the program's name and release";

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> glut{argv[0]};
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const basin::GlutOption* option = basin::glutOption(argv[i]);
    if (std::string(argv[i]) == "--") {
      args.insert(args.end(), argv + i, argv + argc);
      break;
    }
    if (option == nullptr) {
      args.push_back(argv[i]);
      continue;
    }
    glut.push_back(argv[i]);
    if (option->takesValue && i + 1 < argc) glut.push_back(argv[++i]);
  }
  basin::CommandLine cli(
      "polybasin", [](const CLI::App&) { basin::printViewerHelp(USAGE, "the polynomial POLY"); });
  basin::PolynomialOptions user;
  cli.addPolynomialOptions(user);
  bool roots = false;
  cli.app().add_flag("--roots", roots);
  basin::Window start{};
  bool hasStart = false;
  cli.app()
      .add_option_function<std::array<std::string, 4>>(
          "--window",
          [&](const std::array<std::string, 4>& edges) {
            const std::string texts[4] = {edges[0], edges[1], edges[2], edges[3]};
            const std::string fault = basin::parseWindow(texts, &start, cli.precision());
            if (!fault.empty()) throw CLI::ValidationError("--window", fault);
            hasStart = true;
          })
      ->type_name("XMIN XMAX YMIN YMAX");
  bool given = false;
  const std::string text = cli.parse(args, &given);
  if (!given) cli.fail("no polynomial given, such as \"z^3 - 1\" (see polybasin --help)");
  cli.readPolynomial(text, user);
  const basin::Variant variant =
      basin::polynomialVariant(user.polynomial, user.text, user.tolerances, cli.precision());
  if (roots) return basin::printRoots(variant, "polybasin");
  return basin::runViewer(variant, int(glut.size()), glut.data(), hasStart ? &start : nullptr);
}
