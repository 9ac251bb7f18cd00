#include "testing/heap_address_space.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace brevane::loader {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

HeapAddressSpace::~HeapAddressSpace() = default;

void HeapAddressSpace::AddLibrary(const std::string& name, Library library) {
  auto slot = std::make_unique<Slot>();
  slot->name = Lower(name);
  slot->library = std::move(library);
  libraries_.push_back(std::move(slot));
}

int HeapAddressSpace::OpenLibraries() const {
  int open = 0;
  for (const auto& slot : libraries_) open += slot->references;
  return open;
}

Region HeapAddressSpace::Place(uint64_t address, std::size_t size) {
  if (refuse_all || size == 0 || size > max_reservation) return {};
  if (address == 0 || address + size < address) return {};
  for (const auto& [start, length] : region_sizes_) {
    if (address < start + length && start < address + size) return {};
  }
  auto memory = std::make_unique<uint8_t[]>(size);  // zero-filled
  Region region{memory.get(), address, size};
  regions_[address] = std::move(memory);
  region_sizes_[address] = size;
  return region;
}

Region HeapAddressSpace::ReserveAt(uint64_t address, std::size_t size) {
  if (!honour_preferred_base) return {};
  return Place(address, size);
}

Region HeapAddressSpace::ReserveAnywhere(std::size_t size) {
  const uint64_t address = next_free_address;
  Region region = Place(address, size);
  if (!region.empty()) next_free_address += (size + 0xFFFF) & ~uint64_t{0xFFFF};
  return region;
}

bool HeapAddressSpace::Commit(const Region& region, std::size_t offset, std::size_t size) {
  auto it = region_sizes_.find(region.address);
  return it != region_sizes_.end() && offset <= it->second && size <= it->second - offset;
}

bool HeapAddressSpace::Protect(const Region& region, std::size_t offset, std::size_t size,
                               Protection protection) {
  if (!Commit(region, offset, size)) return false;
  protections.push_back({offset, size, protection});
  return true;
}

void HeapAddressSpace::Decommit(const Region& region, std::size_t offset, std::size_t size) {
  if (!Commit(region, offset, size)) return;
  std::memset(regions_[region.address].get() + offset, 0, size);
  decommits.emplace_back(offset, size);
}

void HeapAddressSpace::Release(const Region& region) {
  regions_.erase(region.address);
  region_sizes_.erase(region.address);
}

LibraryHandle HeapAddressSpace::LoadSystemLibrary(const std::string& name) {
  const std::string wanted = Lower(name);
  for (const auto& slot : libraries_) {
    if (slot->name == wanted) {
      ++slot->references;
      loaded.push_back(slot->name);
      return slot.get();
    }
  }
  return nullptr;
}

HeapAddressSpace::Slot* HeapAddressSpace::Find(LibraryHandle handle) {
  for (const auto& slot : libraries_) {
    if (slot.get() == handle) return slot.get();
  }
  return nullptr;
}

uint64_t HeapAddressSpace::FindFunction(LibraryHandle library, const std::string& name) {
  Slot* slot = Find(library);
  if (!slot) return 0;
  auto it = slot->library.by_name.find(name);
  return it == slot->library.by_name.end() ? 0 : it->second;
}

uint64_t HeapAddressSpace::FindFunctionByOrdinal(LibraryHandle library, uint16_t ordinal) {
  Slot* slot = Find(library);
  if (!slot) return 0;
  auto it = slot->library.by_ordinal.find(ordinal);
  return it == slot->library.by_ordinal.end() ? 0 : it->second;
}

void HeapAddressSpace::FreeSystemLibrary(LibraryHandle library) {
  Slot* slot = Find(library);
  if (!slot || slot->references == 0) return;
  --slot->references;
  freed.push_back(slot->name);
}

bool HeapAddressSpace::CallEntryPoint(uint64_t entry, uint64_t base, uint32_t reason) {
  const EntryCall call{entry, base, reason};
  entry_calls.push_back(call);
  return entry_point ? entry_point(call) : true;
}

}  // namespace brevane::loader
