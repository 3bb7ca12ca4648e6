// The x86-64 instruction sets the solver has a vector kernel for, in one
// list that everything else reads: the LanePath values and their names
// (core/lanes.h), the table that dispatches to the kernels (lanes.cpp),
// the kernels' namespaces (lane_kernel.h), and the build, which compiles
// core/lane_kernel.cpp once for each with the flag given here (CMake reads
// this list from this file). A new instruction set is one line here and
// its intrinsics in core/lane_vectors.h.
//
//   X(Path, name, cpu feature, doubles a vector holds, compiler flag)
//
// The name is the one BASIN_LANES takes; the CPU feature the one
// __builtin_cpu_supports asks for. Slowest first.
#pragma once

#define BASIN_INSTRUCTION_SETS(X)    \
  X(Sse2, sse2, "sse2", 2, "")       \
  X(Avx2, avx2, "avx2", 4, "-mavx2") \
  X(Avx512, avx512, "avx512f", 8, "-mavx512f")
