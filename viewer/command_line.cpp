#include "viewer/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "core/failure.h"
#include "core/text.h"
#include "core/version.h"

namespace basin {
namespace {

// Whether `arg`, where an option could stand, is an operand instead: any
// word without a leading dash, a lone dash, or a polynomial that begins
// with a minus.
bool startsOperand(const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '-') return true;
  // -i is the imaginary unit unless a word follows it, as in -iconic.
  const bool unit = arg[1] == 'i' && (arg.size() == 2 || arg[2] == 'z' ||
                                      !std::isalpha(static_cast<unsigned char>(arg[2])));
  return unit || std::isdigit(static_cast<unsigned char>(arg[1])) ||
         std::strchr(". \tz(", arg[1]) != nullptr;
}

// "a value (FILE)", "4 values (XMIN XMAX YMIN YMAX)".
std::string valuesWanted(const CLI::Option& option, int values) {
  const std::string count = values == 1 ? "a value" : std::to_string(values) + " values";
  const std::string type = option.get_type_name();
  return type.empty() ? count : count + " (" + type + ")";
}

}  // namespace

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

CommandLine::CommandLine(const char* program, std::function<void(const CLI::App&)> help)
    : program_(program), help_(std::move(help)), app_("", program) {
  nameProgram(program);
  // Both are read before CLI11 sees the arguments; here they are listed in
  // the help.
  app_.set_help_flag("-h,--help", "print this text");
  app_.add_flag("--version", "print the program's name and release");
  app_.add_flag("--double",
                "store every value as a double, not a float: far\n"
                "deeper zooms, and no slower");
  app_.allow_extras();
}

CLI::Validator CommandLine::tolerance() const {
  return CLI::Validator(
      [this](std::string& text) -> std::string {
        double value;
        const char* fault = readTolerance(text, &value, precision_);
        return fault == nullptr ? "" : "'" + text + "': " + fault;
      },
      "", "");
}

void CommandLine::addPolynomialOptions(PolynomialOptions& o) {
  // CLI11 reads the number itself only after the check, through strtof (or
  // strtod with --double).
  const auto readStored = [this](double* into) {
    return [this, into](const std::string& text) { readTolerance(text, into, precision_); };
  };
  CLI::Option* ftol =
      app_.add_option_function<std::string>("--ftol", readStored(&o.tolerances.FTOL),
                                            "with POLY: the tolerance on |f(z)|^2 (1e-10)")
          ->type_name("X")
          ->check(tolerance());
  CLI::Option* rtol =
      app_.add_option_function<std::string>("--rtol", readStored(&o.tolerances.RTOL),
                                            "with POLY: the squared distance that matches\n"
                                            "a root (1e-8)")
          ->type_name("X")
          ->check(tolerance());
  CLI::Option* extra = app_.add_option("--extra", o.tolerances.EXTRASLOTS,
                                       "with POLY: registry slots beyond the degree (1,\n"
                                       "at most 19 - degree)")
                           ->type_name("N")
                           ->check(wholeNumber(0, maxExtraSlots(1)));
  polynomialOptions_ = {ftol, rtol, extra};
}

void CommandLine::addSizeOption(const std::string& name, Size* size, const std::string& help) {
  // "N" or "WxH", each side checked as a whole number before it is read.
  const CLI::Validator sides(
      [](std::string& text) -> std::string {
        const std::size_t x = text.find('x');
        std::string side = x == std::string::npos ? text : text.substr(0, x);
        std::string fault = wholeNumber(1, MAX_PRINT_SIDE)(side);
        if (fault.empty() && x != std::string::npos) {
          side = text.substr(x + 1);
          fault = wholeNumber(1, MAX_PRINT_SIDE)(side);
        }
        return fault.empty() ? ""
                             : "'" + text + "': expected N or WxH, each a whole number from 1 to " +
                                   std::to_string(MAX_PRINT_SIDE);
      },
      "", "");
  app_.add_option_function<std::string>(
          name,
          [size](const std::string& text) {
            const std::size_t x = text.find('x');
            const int width = std::stoi(text.substr(0, x));
            *size = Size{width, x == std::string::npos ? width : std::stoi(text.substr(x + 1))};
          },
          help)
      ->type_name("N|WxH")
      ->check(sides);
}

void CommandLine::addRelaxOption(WideComplex* relax) {
  app_.add_option_function<std::string>(
          "--relax",
          [this, relax](const std::string& text) {
            const std::string fault = readRelaxation(text, relax, precision_);
            if (!fault.empty()) throw CLI::ValidationError("--relax", fault);
          },
          "the relaxed step z - A f(z)/f'(z), A a complex\n"
          "number such as 0.5 or 1.5+0.5i (default 1)")
      ->type_name("A");
}

void CommandLine::addWindowOption(Window* window, bool* given) {
  app_.add_option_function<std::array<std::string, 4>>(
          "--window",
          [this, window, given](const std::array<std::string, 4>& edges) {
            const std::string texts[4] = {edges[0], edges[1], edges[2], edges[3]};
            const std::string fault = parseWindow(texts, window, precision_);
            if (!fault.empty()) throw CLI::ValidationError("--window", fault);
            *given = true;
          },
          "after the start-up frame (unseen in a viewer), draw\n"
          "this part of the plane, as if marked and applied with d")
      ->type_name("XMIN XMAX YMIN YMAX");
}

void CommandLine::refuseAny(const std::vector<std::string>& options, const std::string& mode,
                            const std::string& why) const {
  for (const std::string& option : options)
    if (given(option))
      fail(option + " does nothing with " + mode + ", which " + why + " (see " + program_ +
           " --help)");
}

std::string CommandLine::polynomialOptionGiven() const {
  for (const CLI::Option* option : polynomialOptions_)
    if (option->count() > 0) return option->get_name();
  return "";
}

std::string CommandLine::parse(const std::vector<std::string>& args, bool* given) {
  std::string operand;
  *given = false;
  std::string mistake;  // the first one, reported unless help is asked for
  const auto note = [&mistake](const std::string& what) {
    if (mistake.empty()) mistake = what;
  };
  const auto takeOperand = [&](const std::string& arg) {
    if (*given) return note("unexpected argument '" + arg + "'");
    operand = arg;
    *given = true;
  };
  bool help = false, version = false;
  std::map<const CLI::Option*, int> seen;
  std::vector<std::string> options;  // what CLI11 reads
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      while (++i < args.size()) takeOperand(args[i]);
      break;
    }
    if (startsOperand(arg)) {
      takeOperand(arg);
      continue;
    }
    // Known before any value is read: the values are read in its precision.
    if (arg == "--double") precision_ = Precision::Double;
    help = help || arg == "-h" || arg == "--help";
    version = version || arg == "--version";
    if (arg == "-h" || arg == "--help" || arg == "--version") continue;
    // The option's name: a long one up to any '=', a short one its first
    // two characters (the rest is its value, or more short flags).
    std::string name = arg;
    bool attached = false;
    if (arg.compare(0, 2, "--") == 0) {
      attached = arg.find('=') != std::string::npos;
      name = arg.substr(0, arg.find('='));
    } else if (arg.size() > 2) {
      attached = true;
      name = arg.substr(0, 2);
    }
    const CLI::Option* option = app_.get_option_no_throw(name);
    if (option == nullptr) {
      note("unknown option '" + arg + "'");
      continue;
    }
    // CLI11 sees each option once and with all its values, so that its
    // own checks are the only ones it can fail.
    int values = std::max(option->get_items_expected_max(), 0);
    if (attached) {
      int following = 0;
      const std::string fault = attachedFault(arg, name, *option, values, &following);
      if (!fault.empty()) {
        note(fault);
        continue;
      }
      if (following > 0) {  // the option is the run's last flag: -qo FILE
        name = std::string("-") + arg.back();
        option = app_.get_option_no_throw(name);
        values = following;
        attached = false;
      }
    }
    const bool again = ++seen[option] > 1;
    if (again) note(name + " is given more than once");
    if (!attached && i + std::size_t(values) >= args.size()) {
      note(name + " needs " + valuesWanted(*option, values));
      break;
    }
    const std::size_t taken = attached ? 0 : std::size_t(values);
    if (!again)
      options.insert(options.end(), args.begin() + long(i), args.begin() + long(i + 1 + taken));
    i += taken;
  }
  if (help) {
    help_(app_);
    std::exit(0);
  }
  if (version) {
    std::printf("%s %s\n", program_.c_str(), VERSION);
    std::exit(0);
  }
  // A value refused by its option's own check is named first: it is the
  // one mistake that says what was wrong with the value.
  const std::string see = " (see " + program_ + " --help)";
  std::reverse(options.begin(), options.end());  // CLI11 takes them from the back
  try {
    app_.parse(options);
  } catch (const CLI::CallForHelp&) {  // -h among short flags: -qh
    help_(app_);
    std::exit(0);
  } catch (const CLI::ValidationError& e) {
    fail(e.what() + see);
  } catch (const CLI::ParseError& e) {
    fail((mistake.empty() ? e.what() : mistake) + see);
  }
  if (!mistake.empty()) fail(mistake + see);
  if (!app_.remaining().empty()) fail("unknown option '" + app_.remaining()[0] + "'" + see);
  return operand;
}

std::string CommandLine::attachedFault(const std::string& arg, const std::string& name,
                                       const CLI::Option& option, int values,
                                       int* following) const {
  if (name.compare(0, 2, "--") == 0) {  // --name=VALUE
    if (values == 0) return name + " takes no value";
    if (values > 1 || arg.size() == name.size() + 1)
      return name + " needs " + valuesWanted(option, values);
    return "";
  }
  // -xVALUE, or short flags run together: -qv, where the last one may take
  // its values from the arguments that follow (-qo FILE).
  for (std::size_t at = 1; at < arg.size() && values == 0; ++at) {
    const CLI::Option* flag = app_.get_option_no_throw(std::string("-") + arg[at]);
    if (flag == nullptr) return "unknown option '-" + arg.substr(at, 1) + "' in '" + arg + "'";
    values = std::max(flag->get_items_expected_max(), 0);
    if (at + 1 == arg.size()) *following = values;
  }
  return "";
}

void CommandLine::readPolynomial(const std::string& text, PolynomialOptions& o) const {
  PolynomialError error;
  if (!readUserPolynomial(text, &o.polynomial, &error, precision_))
    fail(describeError(text, error));
  o.text = text;
  if (const char* fault = tolerancesFault(o.polynomial, o.tolerances)) fail(fault);
}

void CommandLine::fail(const std::string& message) const { basin::fail(message); }

}  // namespace basin
