#include "extras/loader/windows_system.h"

#include <windows.h>

namespace brevane::loader {

struct WindowsLoaderSystem::Functions {
  decltype(&VirtualAlloc) virtual_alloc = nullptr;
  decltype(&VirtualProtect) virtual_protect = nullptr;
  decltype(&VirtualFree) virtual_free = nullptr;
  decltype(&LoadLibraryA) load_library = nullptr;
  decltype(&GetProcAddress) get_proc_address = nullptr;
  decltype(&FreeLibrary) free_library = nullptr;
  bool complete = false;
};

namespace {

template <typename F>
void Lookup(HMODULE kernel, const char* name, F* out) {
  *out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

DWORD PageProtection(Protection p) {
  DWORD flags;
  if (p.execute) {
    flags = p.write ? PAGE_EXECUTE_READWRITE : (p.read ? PAGE_EXECUTE_READ : PAGE_EXECUTE);
  } else {
    flags = p.write ? PAGE_READWRITE : (p.read ? PAGE_READONLY : PAGE_NOACCESS);
  }
  if (p.no_cache) flags |= PAGE_NOCACHE;
  return flags;
}

}  // namespace

WindowsLoaderSystem::WindowsLoaderSystem() {
  static const Functions functions = [] {
    Functions f;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return f;
    Lookup(kernel, "VirtualAlloc", &f.virtual_alloc);
    Lookup(kernel, "VirtualProtect", &f.virtual_protect);
    Lookup(kernel, "VirtualFree", &f.virtual_free);
    Lookup(kernel, "LoadLibraryA", &f.load_library);
    Lookup(kernel, "GetProcAddress", &f.get_proc_address);
    Lookup(kernel, "FreeLibrary", &f.free_library);
    f.complete = f.virtual_alloc && f.virtual_protect && f.virtual_free && f.load_library &&
                 f.get_proc_address && f.free_library;
    return f;
  }();
  functions_ = &functions;
  usable_ = functions.complete;
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  if (info.dwPageSize != 0) page_size_ = info.dwPageSize;
}

Machine WindowsLoaderSystem::NativeMachine() const {
  return sizeof(void*) == 8 ? Machine::kAmd64 : Machine::kI386;
}

Region WindowsLoaderSystem::ReserveAt(uint64_t address, std::size_t size) {
  if (!usable_ || address == 0 || size == 0) return {};
  if (address > static_cast<uint64_t>(UINTPTR_MAX)) return {};
  void* p = functions_->virtual_alloc(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), size,
                                      MEM_RESERVE, PAGE_READWRITE);
  if (p == nullptr) return {};
  if (reinterpret_cast<uintptr_t>(p) != address) {
    functions_->virtual_free(p, 0, MEM_RELEASE);
    return {};
  }
  return Region{static_cast<uint8_t*>(p), address, size};
}

Region WindowsLoaderSystem::ReserveAnywhere(std::size_t size) {
  if (!usable_ || size == 0) return {};
  void* p = functions_->virtual_alloc(nullptr, size, MEM_RESERVE, PAGE_READWRITE);
  if (p == nullptr) return {};
  return Region{static_cast<uint8_t*>(p), reinterpret_cast<uintptr_t>(p), size};
}

bool WindowsLoaderSystem::Commit(const Region& region, std::size_t offset, std::size_t size) {
  if (!usable_ || region.empty() || offset > region.size || size > region.size - offset) return false;
  if (size == 0) return true;
  return functions_->virtual_alloc(region.memory + offset, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

bool WindowsLoaderSystem::Protect(const Region& region, std::size_t offset, std::size_t size,
                                  Protection protection) {
  if (!usable_ || region.empty() || offset > region.size || size > region.size - offset) return false;
  if (size == 0) return true;
  DWORD old = 0;
  return functions_->virtual_protect(region.memory + offset, size, PageProtection(protection), &old) != 0;
}

void WindowsLoaderSystem::Decommit(const Region& region, std::size_t offset, std::size_t size) {
  if (!usable_ || region.empty() || offset > region.size || size > region.size - offset || size == 0) return;
  functions_->virtual_free(region.memory + offset, size, MEM_DECOMMIT);
}

void WindowsLoaderSystem::Release(const Region& region) {
  if (!usable_ || region.empty()) return;
  functions_->virtual_free(region.memory, 0, MEM_RELEASE);
}

LibraryHandle WindowsLoaderSystem::LoadSystemLibrary(const std::string& name) {
  if (!usable_ || name.empty()) return nullptr;
  return functions_->load_library(name.c_str());
}

uint64_t WindowsLoaderSystem::FindFunction(LibraryHandle library, const std::string& name) {
  if (!usable_ || library == nullptr || name.empty()) return 0;
  return reinterpret_cast<uintptr_t>(
      functions_->get_proc_address(static_cast<HMODULE>(library), name.c_str()));
}

uint64_t WindowsLoaderSystem::FindFunctionByOrdinal(LibraryHandle library, uint16_t ordinal) {
  if (!usable_ || library == nullptr) return 0;
  // An ordinal travels in the low word of the name pointer.
  return reinterpret_cast<uintptr_t>(functions_->get_proc_address(
      static_cast<HMODULE>(library), reinterpret_cast<const char*>(static_cast<uintptr_t>(ordinal))));
}

void WindowsLoaderSystem::FreeSystemLibrary(LibraryHandle library) {
  if (!usable_ || library == nullptr) return;
  functions_->free_library(static_cast<HMODULE>(library));
}

bool WindowsLoaderSystem::CallEntryPoint(uint64_t entry, uint64_t base, uint32_t reason) {
  if (entry == 0) return false;
  using EntryPoint = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);
  auto call = reinterpret_cast<EntryPoint>(static_cast<uintptr_t>(entry));
  return call(reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(base)), reason, nullptr) != FALSE;
}

}  // namespace brevane::loader
