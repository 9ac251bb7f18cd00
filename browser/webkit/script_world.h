// Names the program and its web process module agree on: Brevane's own
// script world, where the document bridge runs beside every page without the
// page seeing it, the functions the module defines there, and the keys of
// the settings the program hands the module as WebKit starts it.
#pragma once

namespace brevane {

inline constexpr const char* kBridgeWorldName = "brevane";
inline constexpr const char* kReachFunctionName = "__brevaneReach";
// The module's second function there: runs a click after the program's call.
inline constexpr const char* kClickFunctionName = "__brevaneClickLater";
// The module's file, in the folder WebKit loads web process modules from.
inline constexpr const char* kWebExtensionFile = "libbrevane-frames.so";
// The module's memory check (see WebProcessMemoryCeiling): the limit in
// bytes (uint64) and the period of the check in milliseconds (uint32).
inline constexpr const char* kMemoryLimitKey = "memory-limit-bytes";
inline constexpr const char* kMemoryCheckKey = "memory-check-ms";
// The program's process id (int64), the parent the web process dies with.
inline constexpr const char* kProgramPidKey = "program-pid";

}  // namespace brevane
