// The in-memory library loader's system on Windows: real address space,
// page protections and the system's own library loader. The functions are
// looked up by name in kernel32 when the system object is made, so the
// loader carries no link-time dependency of its own on them.
#pragma once

#include "extras/loader/system.h"

namespace brevane::loader {

class WindowsLoaderSystem final : public LoaderSystem {
 public:
  WindowsLoaderSystem();

  // False when kernel32 lacks one of the functions (then nothing can be
  // mapped: every reservation fails).
  bool usable() const { return usable_; }

  Machine NativeMachine() const override;
  std::size_t PageSize() const override { return page_size_; }
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
  struct Functions;
  const Functions* functions_ = nullptr;
  bool usable_ = false;
  std::size_t page_size_ = 4096;
};

}  // namespace brevane::loader
