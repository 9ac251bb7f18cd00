// The window skin on Windows: our skin engine library, carried as bytes by
// the program, is mapped from memory by our own loader at program start and
// asked to apply the program's skin once the main window exists.
#include <memory>
#include <span>

#include "extras/loader/memory_module.h"
#include "extras/loader/windows_system.h"
#include "extras/skin.h"
#include "extras/skin/skin_resources.h"

namespace brevane {
namespace {

using AttachResFunction = int(__stdcall*)(const unsigned char* data, int size, const char* password,
                                          int h, int s, int v);

loader::WindowsLoaderSystem& System() {
  static loader::WindowsLoaderSystem system;
  return system;
}

// The mapped library stays until the process ends; it is never unloaded.
loader::MemoryModule*& SkinLibrary() {
  static loader::MemoryModule* library = nullptr;
  return library;
}

}  // namespace

void PrepareSkinLibrary() {
  if (SkinLibrary() != nullptr) return;
  std::unique_ptr<loader::MemoryModule> module = loader::LoadLibraryFromMemory(
      System(), std::span<const uint8_t>(SkinLibraryImage, SkinLibraryImageSize));
  SkinLibrary() = module.release();
}

void ApplySkin(WindowHandle) {
  loader::MemoryModule* library = SkinLibrary();
  if (library == nullptr) return;
  const uint64_t address = loader::FindExport(*library, "SkinH_AttachRes");
  if (address == 0) return;
  auto attach = reinterpret_cast<AttachResFunction>(static_cast<uintptr_t>(address));
  attach(SkinData, static_cast<int>(SkinDataSize), nullptr, 0, 0, 0);
}

}  // namespace brevane
