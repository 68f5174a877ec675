#pragma once

#include <cstddef>

// Counts the bytes the process holds from malloc and friends (malloc is
// replaced for the whole benchmark executable), and the highest count since
// the last reset of the peak.
namespace HeapCounter {
std::size_t Live();
std::size_t Peak();
void ResetPeak(); // the peak becomes the current count
}
