#include "extras/loader/memory_module.h"

#include <algorithm>
#include <cstring>

namespace brevane::loader {
namespace {

constexpr uint16_t kRelocationHighLow = 3;
constexpr uint16_t kRelocationDir64 = 10;
constexpr std::size_t kImportDescriptorSize = 20;
constexpr std::size_t kExportDirectorySize = 40;

bool Relocate(const ImageLayout& layout, const Region& region) {
  const uint64_t delta = region.address - layout.preferred_base;
  if (delta == 0) return true;
  const DataDirectory& dir = layout.directories[kRelocationDirectory];
  // An image without relocations cannot run anywhere but at its base.
  if (dir.size == 0) return false;
  if (!Within(dir.rva, dir.size, layout.size_of_image)) return false;
  uint8_t* const mem = region.memory;
  uint64_t at = dir.rva;
  const uint64_t end = uint64_t{dir.rva} + dir.size;
  while (end - at >= 8) {
    const uint64_t page = Read32(mem + at);
    const uint64_t block = Read32(mem + at + 4);
    if (block == 0) break;  // padding after the last block
    if (block < 8 || block > end - at) return false;
    for (uint64_t e = at + 8; e + 2 <= at + block; e += 2) {
      const uint16_t entry = Read16(mem + e);
      const uint16_t type = entry >> 12;
      const uint64_t target = page + (entry & 0x0FFF);
      if (type == kRelocationHighLow && !layout.is64) {
        if (!Within(target, 4, layout.size_of_image)) return false;
        Write32(mem + target, Read32(mem + target) + static_cast<uint32_t>(delta));
      } else if (type == kRelocationDir64 && layout.is64) {
        if (!Within(target, 8, layout.size_of_image)) return false;
        Write64(mem + target, Read64(mem + target) + delta);
      }
    }
    at += block;
  }
  return true;
}

}  // namespace

MemoryModule::MemoryModule(LoaderSystem& system, ImageLayout layout, Region region)
    : system_(system), layout_(std::move(layout)), region_(region) {}

MemoryModule::~MemoryModule() {
  if (initialised_) {
    system_.CallEntryPoint(region_.address + layout_.entry_point, region_.address, kProcessDetach);
  }
  for (auto it = libraries_.rbegin(); it != libraries_.rend(); ++it) system_.FreeSystemLibrary(*it);
  system_.Release(region_);
}

namespace {

// Binds every import of the mapped image; false when a library or function
// cannot be found or a table runs outside the image.
bool BindImports(LoaderSystem& system, const ImageLayout& layout, const Region& region,
                 std::vector<LibraryHandle>& libraries) {
  const DataDirectory& dir = layout.directories[kImportDirectory];
  if (dir.size == 0 || dir.rva == 0) return true;
  const std::span<const uint8_t> image(region.memory, layout.size_of_image);
  const uint64_t size = layout.size_of_image;
  const uint64_t width = layout.is64 ? 8 : 4;
  const uint64_t ordinal_flag = layout.is64 ? (uint64_t{1} << 63) : (uint64_t{1} << 31);
  for (uint64_t d = dir.rva;; d += kImportDescriptorSize) {
    // The walk ends at a descriptor without a library name, or at one that
    // does not lie within the image.
    if (!Within(d, kImportDescriptorSize, size)) return true;
    const uint8_t* desc = region.memory + d;
    const uint32_t lookup_table = Read32(desc);
    const uint32_t name_rva = Read32(desc + 12);
    const uint32_t address_table = Read32(desc + 16);
    if (name_rva == 0) return true;
    const auto library_name = ReadName(image, name_rva);
    if (!library_name) return false;
    const LibraryHandle library = system.LoadSystemLibrary(std::string(*library_name));
    if (!library) return false;
    libraries.push_back(library);
    const uint64_t lookup = lookup_table != 0 ? lookup_table : address_table;
    for (uint64_t i = 0;; ++i) {
      const uint64_t from = lookup + i * width, to = address_table + i * width;
      if (!Within(from, width, size) || !Within(to, width, size)) return false;
      const uint64_t thunk = layout.is64 ? Read64(region.memory + from) : Read32(region.memory + from);
      if (thunk == 0) break;
      uint64_t function = 0;
      if (thunk & ordinal_flag) {
        function = system.FindFunctionByOrdinal(library, static_cast<uint16_t>(thunk & 0xFFFF));
      } else {
        // A name entry: a two-byte hint, then the zero-terminated name.
        if (thunk >= size) return false;
        const auto function_name = ReadName(image, thunk + 2);
        if (!function_name) return false;
        function = system.FindFunction(library, std::string(*function_name));
      }
      if (function == 0) return false;
      if (layout.is64) {
        Write64(region.memory + to, function);
      } else {
        if (function > UINT32_MAX) return false;
        Write32(region.memory + to, static_cast<uint32_t>(function));
      }
    }
  }
}

bool ApplyProtections(LoaderSystem& system, const ImageLayout& layout, const Region& region) {
  for (const ProtectionStep& step : PlanProtections(layout, system.PageSize())) {
    if (step.decommit) {
      system.Decommit(region, step.offset, step.size);
    } else if (!system.Protect(region, step.offset, step.size, step.protection)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<ProtectionStep> PlanProtections(const ImageLayout& layout, std::size_t page_size) {
  std::vector<ProtectionStep> plan;
  if (page_size == 0) return plan;
  const std::size_t pages = (layout.size_of_image + page_size - 1) / page_size;
  // Per page: bits 0-3 the union of read/write/execute/no-cache, bit 4 some
  // section covers it, bit 5 some section on it must stay.
  std::vector<uint8_t> flags(pages, 0);
  for (const Section& s : layout.sections) {
    uint64_t length = std::max(s.virtual_size, s.raw_size);
    if (length == 0) length = layout.section_alignment;
    length = std::min<uint64_t>(length, layout.size_of_image - s.virtual_address);
    if (length == 0) continue;
    uint8_t f = 0x10;
    if (s.characteristics & kSectionRead) f |= 1;
    if (s.characteristics & kSectionWrite) f |= 2;
    if (s.characteristics & kSectionExecute) f |= 4;
    if (s.characteristics & kSectionNoCache) f |= 8;
    if (!(s.characteristics & kSectionDiscardable)) f |= 0x20;
    const std::size_t first = s.virtual_address / page_size;
    const std::size_t last = (s.virtual_address + length - 1) / page_size;
    for (std::size_t p = first; p <= last && p < pages; ++p) flags[p] |= f;
  }
  for (std::size_t p = 0; p < pages;) {
    std::size_t q = p + 1;
    while (q < pages && flags[q] == flags[p]) ++q;
    if (flags[p] & 0x10) {
      ProtectionStep step;
      step.offset = p * page_size;
      step.size = std::min<std::size_t>(q * page_size, layout.size_of_image) - step.offset;
      step.protection = {(flags[p] & 1) != 0, (flags[p] & 2) != 0, (flags[p] & 4) != 0,
                         (flags[p] & 8) != 0};
      step.decommit = (flags[p] & 0x20) == 0;
      plan.push_back(step);
    }
    p = q;
  }
  return plan;
}

std::unique_ptr<MemoryModule> LoadLibraryFromMemory(LoaderSystem& system,
                                                    std::span<const uint8_t> image) {
  std::optional<ImageLayout> parsed = ParseImage(image);
  if (!parsed || parsed->machine != system.NativeMachine()) return nullptr;
  const ImageLayout& layout = *parsed;

  Region region = system.ReserveAt(layout.preferred_base, layout.size_of_image);
  if (region.empty()) region = system.ReserveAnywhere(layout.size_of_image);
  if (region.empty()) return nullptr;
  if (region.size < layout.size_of_image ||
      (!layout.is64 && region.address + layout.size_of_image > (uint64_t{1} << 32))) {
    system.Release(region);
    return nullptr;
  }
  // From here on the module owns the region: returning nothing unloads it.
  auto module = std::make_unique<MemoryModule>(system, std::move(*parsed), region);
  const ImageLayout& l = module->layout_;
  if (!system.Commit(region, 0, l.size_of_image)) return nullptr;

  uint8_t* const mem = region.memory;
  std::memcpy(mem, image.data(), l.size_of_headers);
  if (l.is64) {
    Write64(mem + l.image_base_field, region.address);
  } else {
    Write32(mem + l.image_base_field, static_cast<uint32_t>(region.address));
  }
  for (const Section& s : l.sections) {
    if (s.raw_size > 0) {
      std::memcpy(mem + s.virtual_address, image.data() + s.raw_offset, s.raw_size);
    } else {
      const std::size_t fill =
          std::min<uint64_t>(l.section_alignment, l.size_of_image - s.virtual_address);
      std::memset(mem + s.virtual_address, 0, fill);
    }
  }
  if (!Relocate(l, region)) return nullptr;
  if (!BindImports(system, l, region, module->libraries_)) return nullptr;
  if (!ApplyProtections(system, l, region)) return nullptr;
  if (l.entry_point != 0) {
    if (!system.CallEntryPoint(region.address + l.entry_point, region.address, kProcessAttach)) {
      return nullptr;
    }
    module->initialised_ = true;
  }
  return module;
}

uint64_t FindExport(const MemoryModule& module, std::string_view name) {
  const std::size_t zero = name.find('\0');
  if (zero != std::string_view::npos) name = name.substr(0, zero);
  const ImageLayout& l = module.layout();
  const std::span<const uint8_t> image = module.mapped();
  const uint64_t size = l.size_of_image;
  const DataDirectory& dir = l.directories[kExportDirectory];
  if (dir.size == 0 || !Within(dir.rva, kExportDirectorySize, size)) return 0;
  const uint8_t* exports = image.data() + dir.rva;
  const uint64_t function_count = Read32(exports + 20);
  const uint64_t name_count = Read32(exports + 24);
  const uint64_t functions = Read32(exports + 28);
  const uint64_t names = Read32(exports + 32);
  const uint64_t ordinals = Read32(exports + 36);
  if (function_count == 0 || name_count == 0) return 0;
  if (!Within(names, name_count * 4, size) || !Within(ordinals, name_count * 2, size)) return 0;
  for (uint64_t i = 0; i < name_count; ++i) {
    const auto entry = ReadName(image, Read32(image.data() + names + i * 4));
    if (!entry || *entry != name) continue;
    const uint64_t index = Read16(image.data() + ordinals + i * 2);
    if (index >= function_count || !Within(functions + index * 4, 4, size)) return 0;
    const uint64_t rva = Read32(image.data() + functions + index * 4);
    // No code there: nothing, outside the image, or a forward to another
    // library's export (its text lies inside the export directory).
    if (rva == 0 || rva >= size) return 0;
    if (rva >= dir.rva && rva - dir.rva < dir.size) return 0;
    return module.base() + rva;
  }
  return 0;
}

}  // namespace brevane::loader
