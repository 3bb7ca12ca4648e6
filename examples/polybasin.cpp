// polybasin: the basins of a real polynomial the user writes, with the
// window, keys and frame of the other two programs.
//
//   polybasin [GLUT options] POLY [--ftol X] [--rtol X] [--extra N] [--roots]
//
// The polynomial and the options above are taken out of the command line;
// everything else goes to GLUT, as for the other programs. A polynomial may
// begin with a minus ("-0.5z^4 + z^2 - 0.25"), so an argument is taken for
// one of GLUT's options only when GLUT knows it or it starts with a dash
// and a letter other than z.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/polynomial.h"
#include "core/text.h"
#include "viewer/rootlist.h"
#include "viewer/viewer.h"

namespace {

const char* const USAGE =
    "usage: polybasin [GLUT options] POLY [--ftol X] [--rtol X] [--extra N] [--roots]\n"
    "\n"
    "  POLY       a real polynomial in z, such as \"z^3 - 1\" or \"-0.5z^4 + z^2 - 0.25\":\n"
    "             exponents 0 ... 18, coefficients decimal numbers, '*' optional\n"
    "  --ftol X   convergence tolerance on |f(z)|^2 (default 1e-10)\n"
    "  --rtol X   squared distance within which two runs found one root (default 1e-8)\n"
    "  --extra N  registry slots beyond the degree (default 1, at most 19 - degree)\n"
    "  --roots    print each distinct root, its multiplicity and its colour, and exit";

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "polybasin: %s\n", basin::escaped(message).c_str());
  std::exit(2);
}

bool isGlutOption(const std::string& arg, bool* takesValue) {
  *takesValue = arg == "-display" || arg == "-geometry";
  if (*takesValue) return true;
  for (const char* flag : {"-iconic", "-direct", "-indirect", "-sync", "-gldebug"})
    if (arg == flag) return true;
  return arg.size() > 1 && arg[0] == '-' && std::isalpha(static_cast<unsigned char>(arg[1])) &&
         arg[1] != 'z';
}

// "--ftol X" or "--ftol=X": true, with the value, when argv[*i] is `name`.
bool option(const char* name, int argc, char** argv, int* i, std::string* value) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(argv[*i], name, length) != 0) return false;
  if (argv[*i][length] == '=') {
    *value = argv[*i] + length + 1;
    return true;
  }
  if (argv[*i][length] != '\0') return false;
  if (*i + 1 >= argc) fail(std::string(name) + " needs a value");
  *value = argv[++*i];
  return true;
}

int readCount(const std::string& text) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
    fail("--extra '" + text + "': expected a whole number");
  return std::atoi(text.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> glut{argv[0]};
  const char* text = nullptr;
  basin::Tolerances tolerances;
  bool roots = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    bool takesValue = false;
    if (arg == "--help") {
      basin::printViewerHelp(USAGE, "the polynomial POLY");
      return 0;
    } else if (option("--ftol", argc, argv, &i, &value)) {
      if (!basin::readTolerance(value, &tolerances.FTOL))
        fail("--ftol '" + value + "': expected a number");
    } else if (option("--rtol", argc, argv, &i, &value)) {
      if (!basin::readTolerance(value, &tolerances.RTOL))
        fail("--rtol '" + value + "': expected a number");
    } else if (option("--extra", argc, argv, &i, &value)) {
      tolerances.EXTRASLOTS = readCount(value);
    } else if (arg == "--roots") {
      roots = true;
    } else if (isGlutOption(arg, &takesValue)) {
      glut.push_back(argv[i]);
      if (takesValue && i + 1 < argc) glut.push_back(argv[++i]);
    } else if (text == nullptr) {
      text = argv[i];
    } else {
      fail("unexpected argument '" + arg + "' (see polybasin --help)");
    }
  }
  if (text == nullptr) fail("no polynomial given, such as \"z^3 - 1\" (see polybasin --help)");
  basin::Polynomial polynomial;
  basin::PolynomialError error;
  if (!basin::parsePolynomial(text, &polynomial, &error)) fail(basin::describeError(text, error));
  if (const char* fault = basin::tolerancesFault(polynomial, tolerances)) fail(fault);
  const basin::Variant variant = basin::polynomialVariant(polynomial, text, tolerances);
  if (roots) return basin::printRoots(variant, "polybasin");
  return basin::runViewer(variant, int(glut.size()), glut.data());
}
