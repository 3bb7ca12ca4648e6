// findRoots as the programs call it: the term table handed to the roots
// module (core/roots_module.h), loaded on demand from beside the program:
// from the build tree for a program that runs there, else from the library
// folder it was installed with.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "core/roots.h"
#include "core/roots_module.h"

namespace basin {
namespace {

using Entry = bool (*)(const Term*, int, int, std::vector<Root>*);

#ifdef BASIN_ROOTS_ON_DEMAND
// The folder of the running program, with its final slash.
std::string programFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  const std::string exe(path, std::size_t(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

// Where the module lies for this program.
std::string modulePath() {
  const std::string folder = programFolder();
  const std::string build = BASIN_BUILD_DIR "/";
  if (folder.compare(0, build.size(), build) == 0) return BASIN_ROOTS_BUILT;
  return folder + BASIN_ROOTS_INSTALLED;
}

// The module's entry point, loaded once; null, after a line on stderr, when
// it cannot be loaded: the roots are then not found, and the programs match
// end points as they are.
Entry entry() {
  static const Entry loaded = [] {
    const std::string path = modulePath();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const Entry found = module ? Entry(dlsym(module, "basinTableRoots")) : nullptr;
    if (found == nullptr) std::fprintf(stderr, "cannot load the roots module: %s\n", dlerror());
    return found;
  }();
  return loaded;
}
#else
Entry entry() { return &basinTableRoots; }
#endif

}  // namespace

bool findRoots(const Term* table, int terms, Precision precision, std::vector<Root>* roots) {
  roots->clear();
  const auto certify = entry();
  return certify != nullptr && certify(table, terms, int(precision), roots);
}

}  // namespace basin
