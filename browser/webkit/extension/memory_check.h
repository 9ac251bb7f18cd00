// The web process module's check of its process's memory against the
// program's ceiling (WebProcessMemoryCeiling).
#pragma once

#include <glib.h>

#include <cstdint>

namespace brevane {

// Resident anonymous memory in bytes from the text of /proc/self/statm
// (resident pages less file-backed and shared ones); -1 when it cannot be
// read.
int64_t AnonymousResidentBytes(const char* statm, int64_t page_size);

// From the settings the program gave the module (kMemoryLimitKey,
// kMemoryCheckKey), checks every so many seconds on the web process's main
// loop and ends the process at once past the limit; without them, nothing.
void StartMemoryCheck(const GVariant* settings);

}  // namespace brevane
