// The roots module's entry points as the programs call them (findRoots,
// findWrittenRoots, and core/written.h): the module (core/roots_module.h)
// loaded on demand from beside the program, from the build tree for a
// program that runs there, else from the library folder it was installed
// with; or, in the plain link, called directly.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "core/roots.h"
#include "core/roots_module.h"
#include "core/written.h"

namespace basin {
namespace {

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

// The module, loaded once; null, after a line on stderr, when it cannot be
// loaded: the roots are then not found, the programs match end points as
// they are, and only plain sums of powers are read.
void* module() {
  static void* const loaded = [] {
    void* opened = dlopen(modulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (opened == nullptr) std::fprintf(stderr, "cannot load the roots module: %s\n", dlerror());
    return opened;
  }();
  return loaded;
}

// The entry point `name`, a function of type F, or null. Its declaration
// alone names the type: the programs hold no definition of it.
template <class F>
F entry(const char* name) {
  void* const loaded = module();
  return loaded != nullptr ? reinterpret_cast<F>(dlsym(loaded, name)) : nullptr;
}
#define BASIN_ENTRY(name) entry<decltype(&name)>(#name)
#else
// The entry point itself, linked in.
template <class F>
F entry(F linked) {
  return linked;
}
#define BASIN_ENTRY(name) entry(&name)
#endif

}  // namespace

bool findRoots(const Term* table, int terms, Precision precision, std::vector<Root>* roots) {
  roots->clear();
  const auto certify = BASIN_ENTRY(basinTableRoots);
  return certify != nullptr && certify(table, terms, int(precision), roots);
}

bool findWrittenRoots(const std::string& text, Precision precision, std::vector<Root>* roots) {
  roots->clear();
  const auto certify = BASIN_ENTRY(basinWrittenRoots);
  return certify != nullptr && certify(&text, int(precision), roots);
}

WrittenReading readWrittenPolynomial(const std::string& text, Precision precision, Terms* out,
                                     PolynomialError* error) {
  const auto read = BASIN_ENTRY(basinReadPolynomial);
  PolynomialError refusal{1, "reading it needs the roots module, which cannot be loaded"};
  const WrittenReading result = read != nullptr
                                    ? WrittenReading(read(&text, int(precision), out, &refusal))
                                    : WrittenReading::Refused;
  if (error != nullptr) *error = refusal;
  return result;
}

bool readWrittenConstant(const std::string& text, Precision precision, WideComplex* value,
                         PolynomialError* error) {
  const auto read = BASIN_ENTRY(basinReadConstant);
  PolynomialError refusal{1, "reading it needs the roots module, which cannot be loaded"};
  if (read != nullptr && read(&text, int(precision), value, &refusal)) return true;
  if (error != nullptr) *error = refusal;
  return false;
}

}  // namespace basin
