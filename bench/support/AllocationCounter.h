// The heap allocation counter of the benchmarks that report allocations per
// case. AllocationCounter.cpp replaces the global operator new to count every
// allocation; a benchmark reads the count before and after its timed loop.
// The counter is the benchmarks' own instrument, not engine state.
#pragma once

// Allocations made through operator new (single and array forms) since the
// program started.
long long AllocationCount();
