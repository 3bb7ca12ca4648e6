#include "core/speed.h"

#include <sstream>

namespace basin {
namespace {

SpeedMeasures MEASURES;

struct Named {
  const char* name;
  bool SpeedMeasures::*on;
};

const Named NAMED[] = {
    {"pinning", &SpeedMeasures::pinning},
    {"huge-pages", &SpeedMeasures::hugePages},
    {"colour-ahead", &SpeedMeasures::colourAhead},
    {"retire", &SpeedMeasures::branchFreeRetire},
    {"png", &SpeedMeasures::fastPng},
};

}  // namespace

const SpeedMeasures& speedMeasures() { return MEASURES; }

void setSpeedMeasures(const SpeedMeasures& measures) { MEASURES = measures; }

bool readPlain(const char* value, SpeedMeasures* measures, std::string* unknown) {
  *measures = SpeedMeasures{};
  std::istringstream words(value ? value : "");
  for (std::string word; std::getline(words, word, ',');) {
    if (word.empty()) continue;
    bool known = word == "all";
    for (const Named& n : NAMED)
      if (word == "all" || word == n.name) {
        measures->*n.on = false;
        known = true;
      }
    if (!known) {
      *unknown = word;
      return false;
    }
  }
  return true;
}

std::string speedMeasureNames() {
  std::string names;
  for (const Named& n : NAMED) names += (names.empty() ? "" : ", ") + std::string(n.name);
  return names + ", all";
}

}  // namespace basin
