// Names the program and its web process module agree on: Brevane's own
// script world, where the document bridge runs beside every page without the
// page seeing it, and the one function the module defines there.
#pragma once

namespace brevane {

inline constexpr const char* kBridgeWorldName = "brevane";
inline constexpr const char* kReachFunctionName = "__brevaneReach";
// The module's file, in the folder WebKit loads web process modules from.
inline constexpr const char* kWebExtensionFile = "libbrevane-frames.so";

}  // namespace brevane
