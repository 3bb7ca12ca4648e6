#include "core/failure.h"

#include <cstdio>
#include <cstdlib>

#include "core/text.h"

namespace basin {
namespace {

const char* NAME = "basinscope";

}  // namespace

void nameProgram(const char* name) { NAME = name; }

const char* programName() { return NAME; }

void fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", NAME, escaped(message).c_str());
  std::exit(FAILED);
}

}  // namespace basin
