// What the in-memory library loader needs from the system: address space,
// page protection, the system's own library loader and the image's entry
// point. Windows implements it on VirtualAlloc, VirtualProtect, LoadLibraryA
// and GetProcAddress; tests and fuzzing use the heap-backed stand-in of
// testing/heap_address_space.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brevane::loader {

// Machine field of an image: what it must match in the running program.
enum class Machine : uint16_t { kI386 = 0x014C, kAmd64 = 0x8664 };

struct Protection {
  bool read = false;
  bool write = false;
  bool execute = false;
  bool no_cache = false;
  friend bool operator==(const Protection&, const Protection&) = default;
};

// A range of address space: the address the image sees (its base as the
// image's own address entries point at it) and where its bytes can be
// reached by the loader. On the real system the two are the same.
struct Region {
  uint8_t* memory = nullptr;
  uint64_t address = 0;
  std::size_t size = 0;
  bool empty() const { return memory == nullptr; }
};

using LibraryHandle = void*;  // nullptr: none

// Reasons handed to an image's entry point.
inline constexpr uint32_t kProcessDetach = 0;
inline constexpr uint32_t kProcessAttach = 1;

class LoaderSystem {
 public:
  virtual ~LoaderSystem() = default;

  virtual Machine NativeMachine() const = 0;
  virtual std::size_t PageSize() const = 0;

  // Reserves size bytes exactly at address; an empty region when that range
  // is taken or cannot be had.
  virtual Region ReserveAt(uint64_t address, std::size_t size) = 0;
  // Reserves size bytes wherever the system likes.
  virtual Region ReserveAnywhere(std::size_t size) = 0;
  // Commits a reserved range readable, writable and zero-filled.
  virtual bool Commit(const Region& region, std::size_t offset, std::size_t size) = 0;
  virtual bool Protect(const Region& region, std::size_t offset, std::size_t size,
                       Protection protection) = 0;
  virtual void Decommit(const Region& region, std::size_t offset, std::size_t size) = 0;
  virtual void Release(const Region& region) = 0;

  virtual LibraryHandle LoadSystemLibrary(const std::string& name) = 0;
  // Address of an exported function, or 0.
  virtual uint64_t FindFunction(LibraryHandle library, const std::string& name) = 0;
  virtual uint64_t FindFunctionByOrdinal(LibraryHandle library, uint16_t ordinal) = 0;
  virtual void FreeSystemLibrary(LibraryHandle library) = 0;

  // Calls the image's entry point at entry with the image base and reason;
  // false when it reports failure.
  virtual bool CallEntryPoint(uint64_t entry, uint64_t base, uint32_t reason) = 0;
};

}  // namespace brevane::loader
