// Our loader on the real system: the skin engine library the program
// carries is mapped from memory, its export found and called, mapped
// elsewhere when its preferred base is taken, and refused (with everything
// loaded for it freed again) when it imports a function that does not exist.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "extras/loader/memory_module.h"
#include "extras/loader/windows_system.h"
#include "extras/skin.h"
#include "extras/skin/skin_resources.h"

namespace brevane::loader {
namespace {

using AttachRes = int(__stdcall*)(const unsigned char*, int, const char*, int, int, int);

// The real system, with every library load and free, reservation and
// release and entry point call counted.
class CountingSystem final : public LoaderSystem {
 public:
  Machine NativeMachine() const override { return real_.NativeMachine(); }
  std::size_t PageSize() const override { return real_.PageSize(); }
  Region ReserveAt(uint64_t address, std::size_t size) override { return Count(real_.ReserveAt(address, size)); }
  Region ReserveAnywhere(std::size_t size) override { return Count(real_.ReserveAnywhere(size)); }
  bool Commit(const Region& r, std::size_t o, std::size_t s) override { return real_.Commit(r, o, s); }
  bool Protect(const Region& r, std::size_t o, std::size_t s, Protection p) override {
    return real_.Protect(r, o, s, p);
  }
  void Decommit(const Region& r, std::size_t o, std::size_t s) override { real_.Decommit(r, o, s); }
  void Release(const Region& r) override {
    ++releases;
    real_.Release(r);
  }
  LibraryHandle LoadSystemLibrary(const std::string& name) override {
    LibraryHandle h = real_.LoadSystemLibrary(name);
    if (h) loaded.push_back(name);
    return h;
  }
  uint64_t FindFunction(LibraryHandle l, const std::string& name) override { return real_.FindFunction(l, name); }
  uint64_t FindFunctionByOrdinal(LibraryHandle l, uint16_t o) override { return real_.FindFunctionByOrdinal(l, o); }
  void FreeSystemLibrary(LibraryHandle l) override {
    ++frees;
    real_.FreeSystemLibrary(l);
  }
  bool CallEntryPoint(uint64_t entry, uint64_t base, uint32_t reason) override {
    reasons.push_back(reason);
    return real_.CallEntryPoint(entry, base, reason);
  }

  std::vector<std::string> loaded;
  int frees = 0;
  int reservations = 0;
  int releases = 0;
  std::vector<uint32_t> reasons;

 private:
  Region Count(Region r) {
    if (!r.empty()) ++reservations;
    return r;
  }
  WindowsLoaderSystem real_;
};

std::span<const uint8_t> SkinLibrary() { return {SkinLibraryImage, SkinLibraryImageSize}; }

// A hidden top-level window with a title bar, as the skin engine looks for.
class TopLevelWindow {
 public:
  TopLevelWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
    wc.lpszClassName = L"BrevaneSkinTarget";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, L"BrevaneSkinTarget", L"skin", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, wc.hInstance, nullptr);
    // The class brush is shared: start each test from the plain one.
    SetClassLongPtrW(window, GCLP_HBRBACKGROUND, COLOR_3DFACE + 1);
  }
  ~TopLevelWindow() { DestroyWindow(window); }
  LONG_PTR ClassBrush() const { return GetClassLongPtrW(window, GCLP_HBRBACKGROUND); }
  HWND window = nullptr;
};

void ExpectSkinApplies(const MemoryModule& module) {
  const uint64_t address = FindExport(module, "SkinH_AttachRes");
  ASSERT_NE(address, 0u);
  auto attach = reinterpret_cast<AttachRes>(static_cast<uintptr_t>(address));
  TopLevelWindow target;
  ASSERT_NE(target.window, nullptr);
  // Anything but our skin format is refused and changes nothing.
  const unsigned char not_a_skin[] = "MZ not a skin at all";
  EXPECT_EQ(attach(not_a_skin, sizeof(not_a_skin), nullptr, 0, 0, 0), 0);
  EXPECT_EQ(attach(nullptr, 0, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(target.ClassBrush(), COLOR_3DFACE + 1);

  EXPECT_EQ(attach(SkinData, static_cast<int>(SkinDataSize), nullptr, 0, 0, 0), 1);
  EXPECT_NE(target.ClassBrush(), COLOR_3DFACE + 1);
  // The window now answers an edit box's colour request with the skin's
  // edit background (the program's skin: white).
  HDC dc = GetDC(target.window);
  const LRESULT brush = SendMessageW(target.window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0);
  EXPECT_NE(brush, 0);
  EXPECT_EQ(GetBkColor(dc), RGB(0xFF, 0xFF, 0xFF));
  ReleaseDC(target.window, dc);
}

TEST(WindowsLoader, MapsOurSkinLibraryAndCallsItsExport) {
  CountingSystem system;
  std::unique_ptr<MemoryModule> module = LoadLibraryFromMemory(system, SkinLibrary());
  ASSERT_NE(module, nullptr);
  EXPECT_TRUE(module->initialised());
  EXPECT_EQ(system.reasons, (std::vector<uint32_t>{kProcessAttach}));
  EXPECT_EQ(FindExport(*module, "skinh_attachres"), 0u);  // names are case-sensitive
  ExpectSkinApplies(*module);

  module.reset();
  // Unloading tells the entry point, frees every import and the space.
  EXPECT_EQ(system.reasons, (std::vector<uint32_t>{kProcessAttach, kProcessDetach}));
  EXPECT_EQ(system.frees, static_cast<int>(system.loaded.size()));
  EXPECT_EQ(system.releases, system.reservations);
}

TEST(WindowsLoader, RelocatesWhenThePreferredBaseIsTaken) {
  const std::optional<ImageLayout> layout = ParseImage(SkinLibrary());
  ASSERT_TRUE(layout.has_value());
  void* taken = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(layout->preferred_base)),
                             layout->size_of_image, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(taken, nullptr) << "the preferred base should be free before the test takes it";
  WindowsLoaderSystem system;
  std::unique_ptr<MemoryModule> module = LoadLibraryFromMemory(system, SkinLibrary());
  ASSERT_NE(module, nullptr);
  EXPECT_NE(module->base(), layout->preferred_base);
  ExpectSkinApplies(*module);
  module.reset();
  VirtualFree(taken, 0, MEM_RELEASE);
}

TEST(WindowsLoader, RefusesAnImportThatDoesNotExistAndFreesWhatItLoaded) {
  std::string image(reinterpret_cast<const char*>(SkinLibraryImage), SkinLibraryImageSize);
  // The skin engine imports this from user32, the last of its libraries.
  const std::string wanted = std::string("EnumThreadWindows") + '\0';
  const std::size_t at = image.find(wanted);
  ASSERT_NE(at, std::string::npos);
  image[at + wanted.size() - 2] = 'z';  // EnumThreadWindowz: exported by no library
  CountingSystem system;
  const auto* bytes = reinterpret_cast<const uint8_t*>(image.data());
  EXPECT_EQ(LoadLibraryFromMemory(system, std::span<const uint8_t>(bytes, image.size())), nullptr);
  EXPECT_FALSE(system.loaded.empty());
  EXPECT_EQ(system.frees, static_cast<int>(system.loaded.size()));
  EXPECT_EQ(system.releases, system.reservations);
  EXPECT_TRUE(system.reasons.empty());  // the entry point never ran
}

TEST(WindowsLoader, TheProgramsSkinHookupSkinsTheMainWindow) {
  TopLevelWindow target;
  PrepareSkinLibrary();
  ApplySkin(reinterpret_cast<WindowHandle>(target.window));
  EXPECT_NE(target.ClassBrush(), COLOR_3DFACE + 1);
}

}  // namespace
}  // namespace brevane::loader
