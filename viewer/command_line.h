// The command line of basinshot and polybasin, in one place: the options of
// a polynomial of the user's (--ftol, --rtol, --extra) with their checks,
// --relax, --help, --version, --double and `--`, and every refusal in the
// program's own words.
//
// A program adds its own options to app() and calls parse(). The operand
// (the program's name or the polynomial) is taken out of the arguments
// before CLI11 reads them: the first argument that is neither an option nor
// an option's value, or the first after `--`. A polynomial may begin with a
// minus ("-0.5z^4 + z^2", "-(z-1)^2", "-i z^3"): a dash followed by a
// digit, a point, a blank, z, '(' or an i not followed by a word starts an
// operand, never an option. -h, --help and --version win over
// any mistake elsewhere. An option given twice is refused, a flag too. Any
// other mistake ends the program with one line naming what the user typed,
// "PROGRAM: MESSAGE (see PROGRAM --help)", and exit status 2.
//
// All four programs read their command lines here, so the same mistake is
// told in the same words by each.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "core/polynomial.h"
#include "viewer/views.h"

namespace basin {

// A polynomial of the user's and how it is drawn.
struct PolynomialOptions {
  std::string text;
  Terms polynomial;
  Tolerances tolerances;
};

// Only decimal digits with no leading zero, checked before CLI11 converts
// the text (which would also read 0x10 as 16 and 010 as 8), in [lo, hi].
CLI::Validator wholeNumber(int lo, int hi);

// The largest side of a picture a program prints.
constexpr int MAX_PRINT_SIDE = 16384;

class CommandLine {
 public:
  // `program` names the program in messages and --version; `help` prints
  // the text of --help.
  CommandLine(const char* program, std::function<void(const CLI::App&)> help);

  CLI::App& app() { return app_; }
  const std::string& name() const { return program_; }

  // Adds --ftol, --rtol and --extra, read into `options`.
  void addPolynomialOptions(PolynomialOptions& options);
  // Adds --relax A, the step's factor (readRelaxation), read into *relax.
  void addRelaxOption(WideComplex* relax);
  // Adds --window XMIN XMAX YMIN YMAX, each edge the float (or double)
  // nearest its text, checked by parseWindow; *given tells whether it came.
  void addWindowOption(Window* window, bool* given);
  // Adds `name` N or WxH (each side 1 ... MAX_PRINT_SIDE, decimal digits)
  // read into *size.
  void addSizeOption(const std::string& name, Size* size, const std::string& help);
  // Whether the option `name` was given.
  bool given(const std::string& name) const { return app_.count(name) > 0; }
  // Ends the program unless `first` of `options` given: "OPTION does
  // nothing with MODE" and why, since an option that has no effect was
  // surely meant to have one.
  void refuseAny(const std::vector<std::string>& options, const std::string& mode,
                 const std::string& why) const;
  // The first of them given, as the user wrote it, or "" if none was.
  std::string polynomialOptionGiven() const;

  // Reads `args` (argv without the program's name). Returns the operand,
  // with *given telling whether there was one.
  std::string parse(const std::vector<std::string>& args, bool* given);

  // Double with --double: every number of the command line (tolerances,
  // the polynomial's coefficients, window edges) is then read as the
  // nearest double rather than the nearest float. Known once parse starts
  // reading values.
  Precision precision() const { return precision_; }

  // Reads `text` into options.polynomial (readUserPolynomial), then checks
  // its tolerances; or ends the program naming the fault.
  void readPolynomial(const std::string& text, PolynomialOptions& options) const;

  // Ends the program (core/failure.h): "PROGRAM: MESSAGE", exit status 2.
  [[noreturn]] void fail(const std::string& message) const;

 private:
  // What is wrong with `arg`, an option `name` with something after its
  // name ("--size=9", "-ofile", "-qv"), or "" when nothing is; *following
  // is set to the values a run of short flags takes from the arguments
  // after it ("-qo FILE").
  std::string attachedFault(const std::string& arg, const std::string& name,
                            const CLI::Option& option, int values, int* following) const;

  CLI::Validator tolerance() const;

  std::string program_;
  Precision precision_ = Precision::Float;
  std::function<void(const CLI::App&)> help_;
  CLI::App app_;
  std::vector<CLI::Option*> polynomialOptions_;
};

}  // namespace basin
