// basinshot's command line: which program or polynomial, in which
// precision, the window and keys to replay, the print's size and where it
// goes, read through the programs' one command line (viewer/command_line.h).
// --help and --version are answered here, and every mistake ends the
// program with one line and exit status 2 before anything is computed.
#pragma once

#include <sys/stat.h>

#include <string>

#include "core/newton.h"
#include "viewer/command_line.h"
#include "viewer/session.h"
#include "viewer/shot.h"

namespace basin {

struct ShotArguments {
  ShotArguments() = default;
  ShotArguments(const ShotArguments&) = delete;  // CLI11 keeps pointers into it while reading

  Variant variant{};        // what it draws, in the precision asked for
  PolynomialOptions user;   // a polynomial of the user's, as read
  WideComplex relax{1, 0};  // --relax, given to the variant once it is read
  Shot shot;
  std::string keysFile;
  struct stat keysInput {};  // the keys file as read, to keep the picture off it
  std::string output;
  bool quiet = false;
  bool verbose = false;
  bool roots = false;
};

// Reads basinshot's command line into *arguments.
void readShotArguments(int argc, char** argv, ShotArguments* arguments);

// Refuses a print that `session`'s storage type cannot place at --size
// samples a side, naming the most it can: the check of the viewer's grid
// holds for 800 samples a side, a print of another size places its own.
void checkPrint(const ShotArguments& arguments, const Session& session);

}  // namespace basin
