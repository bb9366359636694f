#pragma once
// CPU time and peak resident memory of the calling process.

namespace velor::bench {

// User plus system CPU time used so far, in seconds.
double cpuSecondsSoFar();
// High-water mark of the resident set in KiB (VmHWM, or the rusage maximum where /proc is
// missing).
double peakResidentKiB();

}  // namespace velor::bench
