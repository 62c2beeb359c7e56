#pragma once
// Living within an address-space limit (ulimit -v, a container's cap), and large buffers.

#include <cstddef>
#include <string>

namespace rowcaster {

// Under a finite address-space limit, lets every thread allocate from one malloc arena: glibc
// reserves 64 MiB of address space for each thread's own arena, which such a limit cannot hold,
// and a program that keeps failing to make them crawls. Call once at start-up.
void AdaptToMemoryLimit();

// Gives the memory freed so far back to the system where malloc keeps it: after a large passing
// use, so that what is used next is not counted on top of it.
void ReturnFreedMemory();

// Makes room for `bytes` in `buffer` (not yet touched) and asks the system to back its whole 2 MiB
// stretches with huge pages where it can: filling tens of megabytes then takes a few page faults
// instead of thousands. Nothing more than reserve() where huge pages are not to be had.
void ReserveLarge(std::string& buffer, std::size_t bytes);

}  // namespace rowcaster
