#pragma once
// Wall and CPU time of this process, in seconds, for the benchmarks that
// weigh one against the other.
#include <chrono>
#include <ctime>

namespace pv::benchmark {

inline double WallNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

inline double CpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

} // namespace pv::benchmark
