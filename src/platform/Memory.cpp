#include "platform/Memory.h"

#include <malloc.h>
#include <sys/resource.h>

namespace rowcaster {

void AdaptToMemoryLimit() {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) mallopt(M_ARENA_MAX, 1);
}

void ReturnFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

}  // namespace rowcaster
