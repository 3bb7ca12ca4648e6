// The release every program reports with --version, set once by the build.
#pragma once

namespace basin {

#ifndef BASIN_VERSION
#define BASIN_VERSION "unknown"
#endif
constexpr const char* VERSION = BASIN_VERSION;

}  // namespace basin
