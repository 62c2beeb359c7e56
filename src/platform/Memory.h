#pragma once
// Living within an address-space limit (ulimit -v, a container's cap).

namespace rowcaster {

// Under a finite address-space limit, lets every thread allocate from one malloc arena: glibc
// reserves 64 MiB of address space for each thread's own arena, which such a limit cannot hold,
// and a program that keeps failing to make them crawls. Call once at start-up.
void AdaptToMemoryLimit();

// Gives the memory freed so far back to the system where malloc keeps it: after a large passing
// use, so that what is used next is not counted on top of it.
void ReturnFreedMemory();

}  // namespace rowcaster
