#include "core/processors.h"

#include <algorithm>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace basin {

void placeAwayFromCaller(std::thread& helper, int index) {
#ifdef __linux__
  const int caller = sched_getcpu();
  cpu_set_t allowed;  // the helper's too: a new thread inherits them
  if (caller < 0 || index < 0 || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  int others = 0;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) others += cpu != caller && CPU_ISSET(cpu, &allowed);
  if (others == 0) return;
  for (int cpu = 0, seen = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (cpu == caller || !CPU_ISSET(cpu, &allowed) || seen++ != index % others) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    const pthread_t thread = helper.native_handle();
    if (pthread_setaffinity_np(thread, sizeof one, &one) == 0)
      pthread_setaffinity_np(thread, sizeof allowed, &allowed);
    return;
  }
#else
  (void)helper;
  (void)index;
#endif
}

int usableProcessors() {
#ifdef __linux__
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return std::max(1, CPU_COUNT(&allowed));
#endif
  return std::max(1, int(std::thread::hardware_concurrency()));
}

}  // namespace basin
