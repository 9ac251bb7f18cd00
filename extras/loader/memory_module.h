// Mapping a library image from a byte buffer the way the system loader maps
// one from a file: sections at their places, base relocations applied when
// the image cannot sit at its preferred base, imports bound through the
// system loader, page protections set, and the entry point called.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "extras/loader/pe_image.h"
#include "extras/loader/system.h"

namespace brevane::loader {

// A library mapped from memory. Destroying it unloads it: the entry point is
// told of the detach when it ran successfully, every imported library is
// freed and the address space released.
class MemoryModule {
 public:
  MemoryModule(LoaderSystem& system, ImageLayout layout, Region region);
  ~MemoryModule();
  MemoryModule(const MemoryModule&) = delete;
  MemoryModule& operator=(const MemoryModule&) = delete;

  uint64_t base() const { return region_.address; }
  std::span<const uint8_t> mapped() const { return {region_.memory, layout_.size_of_image}; }
  const ImageLayout& layout() const { return layout_; }
  bool initialised() const { return initialised_; }
  const std::vector<LibraryHandle>& libraries() const { return libraries_; }

 private:
  friend std::unique_ptr<MemoryModule> LoadLibraryFromMemory(LoaderSystem&,
                                                             std::span<const uint8_t>);
  LoaderSystem& system_;
  ImageLayout layout_;
  Region region_;
  std::vector<LibraryHandle> libraries_;
  bool initialised_ = false;
};

// The mapped library, or nothing when the bytes are no valid image for the
// running program's machine, space cannot be had, an import cannot be
// resolved or the entry point reports failure. On every failure all that
// was loaded for the image is unloaded again.
std::unique_ptr<MemoryModule> LoadLibraryFromMemory(LoaderSystem& system,
                                                    std::span<const uint8_t> image);

// Address of the export of exactly that name (case-sensitive; the name ends
// at its first zero byte), or 0.
uint64_t FindExport(const MemoryModule& module, std::string_view name);

// Page protections a mapped image gets: one entry per run of pages, where a
// page shared by several sections gets the union of their flags and is
// decommitted only when every section on it is discardable. Pages no
// section covers (the headers) are left as they are.
struct ProtectionStep {
  std::size_t offset = 0;
  std::size_t size = 0;
  Protection protection;
  bool decommit = false;
};
std::vector<ProtectionStep> PlanProtections(const ImageLayout& layout, std::size_t page_size);

}  // namespace brevane::loader
