// A stand-in for the system under the in-memory library loader, for tests
// and fuzzing on any platform: address space is heap memory at made-up
// addresses, libraries are tables of named exports, and every call is
// recorded. Nothing it maps is ever executed.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "extras/loader/system.h"

namespace brevane::loader {

class HeapAddressSpace final : public LoaderSystem {
 public:
  struct Library {
    std::map<std::string, uint64_t> by_name;
    std::map<uint16_t, uint64_t> by_ordinal;
  };
  struct ProtectCall {
    std::size_t offset;
    std::size_t size;
    Protection protection;
  };
  struct EntryCall {
    uint64_t entry;
    uint64_t base;
    uint32_t reason;
  };

  explicit HeapAddressSpace(Machine native = Machine::kI386) : native_(native) {}
  ~HeapAddressSpace() override;

  // Settings a test may change.
  bool honour_preferred_base = true;  // false: every preferred base is taken
  bool refuse_all = false;            // no address space at all
  uint64_t next_free_address = 0x30000000;
  std::size_t max_reservation = 64u << 20;
  std::function<bool(const EntryCall&)> entry_point;  // unset: reports success

  void AddLibrary(const std::string& name, Library library);

  // What happened.
  std::vector<std::string> loaded;  // names, in order of loading
  std::vector<std::string> freed;   // names, in order of freeing
  std::vector<ProtectCall> protections;
  std::vector<std::pair<std::size_t, std::size_t>> decommits;
  std::vector<EntryCall> entry_calls;
  int OpenLibraries() const;
  std::size_t LiveRegions() const { return regions_.size(); }

  Machine NativeMachine() const override { return native_; }
  std::size_t PageSize() const override { return 4096; }
  Region ReserveAt(uint64_t address, std::size_t size) override;
  Region ReserveAnywhere(std::size_t size) override;
  bool Commit(const Region& region, std::size_t offset, std::size_t size) override;
  bool Protect(const Region& region, std::size_t offset, std::size_t size,
               Protection protection) override;
  void Decommit(const Region& region, std::size_t offset, std::size_t size) override;
  void Release(const Region& region) override;
  LibraryHandle LoadSystemLibrary(const std::string& name) override;
  uint64_t FindFunction(LibraryHandle library, const std::string& name) override;
  uint64_t FindFunctionByOrdinal(LibraryHandle library, uint16_t ordinal) override;
  void FreeSystemLibrary(LibraryHandle library) override;
  bool CallEntryPoint(uint64_t entry, uint64_t base, uint32_t reason) override;

 private:
  struct Slot {
    std::string name;
    Library library;
    int references = 0;
  };
  Region Place(uint64_t address, std::size_t size);
  Slot* Find(LibraryHandle handle);

  Machine native_;
  std::map<uint64_t, std::unique_ptr<uint8_t[]>> regions_;
  std::map<uint64_t, std::size_t> region_sizes_;
  std::vector<std::unique_ptr<Slot>> libraries_;
};

}  // namespace brevane::loader
