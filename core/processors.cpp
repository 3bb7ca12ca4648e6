#include "core/processors.h"

#ifdef __linux__
#include <sched.h>
#endif

namespace basin {

int currentProcessor() {
#ifdef __linux__
  return sched_getcpu();
#else
  return -1;
#endif
}

void startAwayFrom(int creator, int index) {
#ifdef __linux__
  cpu_set_t allowed;
  if (creator < 0 || index < 0 || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  int others = 0;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) others += cpu != creator && CPU_ISSET(cpu, &allowed);
  if (others == 0) return;
  for (int cpu = 0, seen = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (cpu == creator || !CPU_ISSET(cpu, &allowed) || seen++ != index % others) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) == 0) sched_setaffinity(0, sizeof allowed, &allowed);
    return;
  }
#else
  (void)creator;
  (void)index;
#endif
}

}  // namespace basin
