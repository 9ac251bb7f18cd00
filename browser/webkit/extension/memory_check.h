// The web process module's watch over its own process: the program's memory
// ceiling (WebProcessMemoryCeiling) and the program's life.
#pragma once

#include <glib.h>

#include <cstdint>

namespace brevane {

// Resident anonymous memory in bytes from the text of /proc/self/statm
// (resident pages less file-backed and shared ones); -1 when it cannot be
// read.
int64_t AnonymousResidentBytes(const char* statm, int64_t page_size);

// From the settings the program gave the module: the web process dies with
// the program (kProgramPidKey), at once when the program ends or is killed,
// and ends itself past the memory limit (kMemoryLimitKey, checked every
// kMemoryCheckKey milliseconds). Both watches run on a thread of the
// module's own, never on the page's main thread, so a page whose script
// holds that thread (one task allocating gigabytes, an endless loop) cannot
// delay them. Without settings, nothing.
void StartProcessWatch(const GVariant* settings);

}  // namespace brevane
