#pragma once
// How much memory the machine can give the reader now.

#include <cstdint>

namespace qrn {

// Bytes of memory available now without swapping (MemAvailable on Linux,
// available physical memory on Windows); the largest value when unknown.
std::uint64_t availableMemoryBytes();

}  // namespace qrn
