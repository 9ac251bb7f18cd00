// Library images from hostile bytes: mapped at their base and elsewhere,
// for both machines, with two stand-in system libraries; every mapped image
// is searched for exports and unloaded again.
#include <cstddef>
#include <cstdint>
#include <span>

#include "extras/loader/memory_module.h"
#include "testing/heap_address_space.h"

namespace {

using namespace brevane::loader;

void Run(std::span<const uint8_t> image, Machine machine, bool at_base) {
  HeapAddressSpace system(machine);
  system.honour_preferred_base = at_base;
  system.next_free_address = 0x00500000;
  system.max_reservation = 4u << 20;
  HeapAddressSpace::Library kernel;
  kernel.by_name["GetProcessHeap"] = 0x7C800100;
  kernel.by_ordinal[7] = 0x7C800700;
  system.AddLibrary("kernel32.dll", kernel);
  HeapAddressSpace::Library user;
  user.by_name["SetWindowLongA"] = 0x77D00100;
  system.AddLibrary("user32.dll", user);
  {
    auto module = LoadLibraryFromMemory(system, image);
    if (module) {
      const uint64_t found = FindExport(*module, "SkinH_AttachRes");
      if (found != 0 && (found < module->base() ||
                         found >= module->base() + module->layout().size_of_image)) {
        __builtin_trap();
      }
      FindExport(*module, "");
    }
  }
  if (system.OpenLibraries() != 0 || system.LiveRegions() != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> image(data, size);
  Run(image, Machine::kI386, true);
  Run(image, Machine::kI386, false);
  Run(image, Machine::kAmd64, false);
  return 0;
}
