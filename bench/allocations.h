// Counts every allocation the program makes through operator new, so that a
// benchmark or a test can check that a stretch of work allocated nothing.
// Linking allocations.cpp replaces the global operator new and delete.
#pragma once

namespace basin {

// Allocations so far, since the program started.
long allocations();

}  // namespace basin
