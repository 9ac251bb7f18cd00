#include "extras/loader/memory_module.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "extras/tests/samples.h"
#include "testing/heap_address_space.h"

namespace brevane::loader {
namespace {

using samples::PeRecipe;

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

uint64_t ReadAt(const MemoryModule& m, uint32_t rva, bool is64) {
  const uint8_t* p = m.mapped().data() + rva;
  return is64 ? Read64(p) : Read32(p);
}

HeapAddressSpace::Library Kernel() {
  HeapAddressSpace::Library lib;
  lib.by_name["GetProcessHeap"] = 0x7C800100;
  lib.by_name["HeapAlloc"] = 0x7C800200;
  lib.by_ordinal[7] = 0x7C800700;
  return lib;
}

HeapAddressSpace::Library User() {
  HeapAddressSpace::Library lib;
  lib.by_name["SetWindowLongA"] = 0x77D00100;
  return lib;
}

PeRecipe SkinLike(bool is64 = false) {
  PeRecipe recipe;
  recipe.is64 = is64;
  recipe.image_base = is64 ? 0x180000000ull : 0x10000000;
  recipe.exports = {"SkinH_AttachRes", "SkinH_AdjustHSV", "SkinH_Detach"};
  recipe.imports = {{"KERNEL32.dll", {"GetProcessHeap", "HeapAlloc"}, {7}},
                  {"user32.dll", {"SetWindowLongA"}, {}}};
  return recipe;
}

TEST(LoadLibraryFromMemory, MapsAtThePreferredBaseWithoutRelocating) {
  HeapAddressSpace system;
  system.AddLibrary("kernel32.dll", Kernel());
  system.AddLibrary("user32.dll", User());
  const samples::PeImage pe = samples::Pe(SkinLike());
  {
    auto module = LoadLibraryFromMemory(system, Bytes(pe.bytes));
    ASSERT_TRUE(module);
    EXPECT_EQ(module->base(), 0x10000000u);
    for (std::size_t i = 0; i < pe.address_entry_rvas.size(); ++i) {
      EXPECT_EQ(ReadAt(*module, pe.address_entry_rvas[i], false), pe.address_entry_values[i]);
    }
    // Imports bound by name and by ordinal, in table order.
    std::vector<uint64_t> bound;
    for (uint32_t rva : pe.import_slot_rvas) bound.push_back(ReadAt(*module, rva, false));
    EXPECT_THAT(bound, ::testing::ElementsAre(0x7C800100, 0x7C800200, 0x7C800700, 0x77D00100));
    EXPECT_THAT(system.loaded, ::testing::ElementsAre("kernel32.dll", "user32.dll"));
    // Sections in place, the section without data zero-filled.
    EXPECT_EQ(module->mapped()[samples::kTextRva], 0xC3);
    EXPECT_EQ(module->mapped()[samples::kBssRva], 0);
    // Entry point told of the attach, with the base.
    ASSERT_EQ(system.entry_calls.size(), 1u);
    EXPECT_EQ(system.entry_calls[0].entry, 0x10000000u + samples::kTextRva + 0x100);
    EXPECT_EQ(system.entry_calls[0].base, 0x10000000u);
    EXPECT_EQ(system.entry_calls[0].reason, kProcessAttach);
    EXPECT_TRUE(module->initialised());
  }
  // Unloading: detach, every library freed, the space released.
  ASSERT_EQ(system.entry_calls.size(), 2u);
  EXPECT_EQ(system.entry_calls[1].reason, kProcessDetach);
  EXPECT_THAT(system.freed, ::testing::ElementsAre("user32.dll", "kernel32.dll"));
  EXPECT_EQ(system.OpenLibraries(), 0);
  EXPECT_EQ(system.LiveRegions(), 0u);
}

TEST(LoadLibraryFromMemory, MapsElsewhereAndMovesEveryAddressEntry) {
  for (bool is64 : {false, true}) {
    HeapAddressSpace system(is64 ? Machine::kAmd64 : Machine::kI386);
    system.AddLibrary("kernel32.dll", Kernel());
    system.AddLibrary("user32.dll", User());
    system.honour_preferred_base = false;
    system.next_free_address = is64 ? 0x7FF600000000ull : 0x00400000;
    PeRecipe recipe = SkinLike(is64);
    recipe.address_entries = 9;
    const samples::PeImage pe = samples::Pe(recipe);
    auto module = LoadLibraryFromMemory(system, Bytes(pe.bytes));
    ASSERT_TRUE(module) << "64-bit: " << is64;
    EXPECT_EQ(module->base(), system.next_free_address - 0x10000);
    const uint64_t delta = module->base() - recipe.image_base;
    ASSERT_EQ(pe.address_entry_rvas.size(), 9u);
    for (std::size_t i = 0; i < pe.address_entry_rvas.size(); ++i) {
      EXPECT_EQ(ReadAt(*module, pe.address_entry_rvas[i], is64), pe.address_entry_values[i] + delta)
          << "entry " << i << ", 64-bit: " << is64;
    }
    // The copied headers name the actual base.
    const ImageLayout& l = module->layout();
    EXPECT_EQ(ReadAt(*module, l.image_base_field, is64), module->base());
    EXPECT_EQ(FindExport(*module, "SkinH_Detach"), module->base() + samples::kTextRva + 32);
  }
}

TEST(LoadLibraryFromMemory, ImageWithoutRelocationsOnlyAtItsBase) {
  HeapAddressSpace system;
  system.AddLibrary("kernel32.dll", Kernel());
  system.AddLibrary("user32.dll", User());
  PeRecipe recipe = SkinLike();
  recipe.relocations = false;
  const samples::PeImage pe = samples::Pe(recipe);
  EXPECT_TRUE(LoadLibraryFromMemory(system, Bytes(pe.bytes)));
  system.honour_preferred_base = false;
  EXPECT_FALSE(LoadLibraryFromMemory(system, Bytes(pe.bytes)));
  EXPECT_EQ(system.OpenLibraries(), 0);
  EXPECT_EQ(system.LiveRegions(), 0u);
}

TEST(LoadLibraryFromMemory, UnresolvableImportUnloadsEverythingLoadedSoFar) {
  HeapAddressSpace system;
  system.AddLibrary("kernel32.dll", Kernel());
  system.AddLibrary("user32.dll", User());
  PeRecipe missing_function = SkinLike();
  missing_function.imports[1].names.push_back("NoSuchFunction");
  PeRecipe missing_ordinal = SkinLike();
  missing_ordinal.imports[1].ordinals.push_back(99);
  PeRecipe missing_library = SkinLike();
  missing_library.imports.push_back({"gdi32.dll", {"BitBlt"}, {}});
  PeRecipe wrong_case = SkinLike();
  wrong_case.imports[0].names[0] = "getprocessheap";
  for (const PeRecipe& recipe : {missing_function, missing_ordinal, missing_library, wrong_case}) {
    system.loaded.clear();
    system.freed.clear();
    EXPECT_FALSE(LoadLibraryFromMemory(system, Bytes(samples::Pe(recipe).bytes)));
    EXPECT_FALSE(system.loaded.empty());
    EXPECT_THAT(system.freed, ::testing::UnorderedElementsAreArray(system.loaded));
    EXPECT_EQ(system.OpenLibraries(), 0);
    EXPECT_EQ(system.LiveRegions(), 0u);
  }
  EXPECT_TRUE(system.entry_calls.empty());
}

TEST(LoadLibraryFromMemory, FailingEntryPointUnloadsWithoutDetach) {
  HeapAddressSpace system;
  system.AddLibrary("kernel32.dll", Kernel());
  system.AddLibrary("user32.dll", User());
  system.entry_point = [](const HeapAddressSpace::EntryCall&) { return false; };
  EXPECT_FALSE(LoadLibraryFromMemory(system, Bytes(samples::Pe(SkinLike()).bytes)));
  ASSERT_EQ(system.entry_calls.size(), 1u);
  EXPECT_EQ(system.entry_calls[0].reason, kProcessAttach);
  EXPECT_EQ(system.OpenLibraries(), 0);
  EXPECT_EQ(system.LiveRegions(), 0u);
}

TEST(LoadLibraryFromMemory, SectionsGetTheirProtections) {
  HeapAddressSpace system;
  system.AddLibrary("kernel32.dll", Kernel());
  system.AddLibrary("user32.dll", User());
  auto module = LoadLibraryFromMemory(system, Bytes(samples::Pe(SkinLike()).bytes));
  ASSERT_TRUE(module);
  using P = Protection;
  ASSERT_EQ(system.protections.size(), 4u);
  EXPECT_EQ(system.protections[0].offset, samples::kTextRva);
  EXPECT_EQ(system.protections[0].protection, (P{true, false, true, false}));
  EXPECT_EQ(system.protections[1].offset, samples::kDataRva);
  EXPECT_EQ(system.protections[1].protection, (P{true, true, false, false}));
  EXPECT_EQ(system.protections[2].offset, samples::kRdataRva);
  EXPECT_EQ(system.protections[2].protection, (P{true, false, false, false}));
  EXPECT_EQ(system.protections[3].offset, samples::kBssRva);
  // The relocations are discardable: decommitted instead.
  EXPECT_THAT(system.decommits, ::testing::ElementsAre(std::pair<std::size_t, std::size_t>(
                                    samples::kRelocRva, 0x1000)));
}

TEST(PlanProtections, SharedPagesGetTheUnionOfTheirSections) {
  ImageLayout layout;
  layout.size_of_image = 0x3000;
  layout.section_alignment = 0x200;
  layout.sections = {{0x200, 0x200, 0, 0, kSectionRead | kSectionExecute},
                     {0x400, 0x100, 0, 0, kSectionRead | kSectionWrite},
                     {0x1000, 0x1800, 0, 0, kSectionRead | kSectionDiscardable},
                     {0x2800, 0x100, 0, 0, kSectionRead}};
  const auto plan = PlanProtections(layout, 0x1000);
  ASSERT_EQ(plan.size(), 3u);
  EXPECT_EQ(plan[0].offset, 0u);
  EXPECT_EQ(plan[0].size, 0x1000u);
  EXPECT_EQ(plan[0].protection, (Protection{true, true, true, false}));
  EXPECT_TRUE(plan[1].decommit);  // only the discardable section on it
  EXPECT_EQ(plan[1].size, 0x1000u);
  EXPECT_FALSE(plan[2].decommit);  // shared with a section that stays
  EXPECT_EQ(plan[2].offset, 0x2000u);
}

TEST(FindExport, ExactNameWhereverItStandsInTheTable) {
  HeapAddressSpace system;
  for (const auto& names : std::vector<std::vector<std::string>>{
           {"SkinH_AttachRes", "SkinH_Detach", "Zzz"}, {"Aaa", "SkinH_Detach", "SkinH_AttachRes"}}) {
    PeRecipe recipe;
    recipe.exports = names;
    auto module = LoadLibraryFromMemory(system, Bytes(samples::Pe(recipe).bytes));
    ASSERT_TRUE(module);
    const std::size_t index = names[0] == "SkinH_AttachRes" ? 0 : 2;
    EXPECT_EQ(FindExport(*module, "SkinH_AttachRes"), module->base() + samples::kTextRva + 16 * index);
    EXPECT_EQ(FindExport(*module, std::string("SkinH_AttachRes\0junk", 20)),
              FindExport(*module, "SkinH_AttachRes"));
    EXPECT_EQ(FindExport(*module, "skinh_attachres"), 0u);
    EXPECT_EQ(FindExport(*module, "SkinH_AttachRe"), 0u);
    EXPECT_EQ(FindExport(*module, "SkinH_AttachRess"), 0u);
    EXPECT_EQ(FindExport(*module, ""), 0u);
  }
  PeRecipe none;
  none.exports.clear();
  auto module = LoadLibraryFromMemory(system, Bytes(samples::Pe(none).bytes));
  ASSERT_TRUE(module);
  EXPECT_EQ(FindExport(*module, "SkinH_AttachRes"), 0u);
}

TEST(LoadLibraryFromMemory, RefusesImagesOfAnotherMachineAndWithoutSpace) {
  HeapAddressSpace i386(Machine::kI386);
  HeapAddressSpace amd64(Machine::kAmd64);
  PeRecipe recipe32, recipe64;
  recipe64.is64 = true;
  EXPECT_FALSE(LoadLibraryFromMemory(i386, Bytes(samples::Pe(recipe64).bytes)));
  EXPECT_FALSE(LoadLibraryFromMemory(amd64, Bytes(samples::Pe(recipe32).bytes)));
  EXPECT_TRUE(LoadLibraryFromMemory(amd64, Bytes(samples::Pe(recipe64).bytes)));
  i386.refuse_all = true;
  EXPECT_FALSE(LoadLibraryFromMemory(i386, Bytes(samples::Pe(recipe32).bytes)));
}

// A 32-bit image may not be placed where its addresses would not fit.
TEST(LoadLibraryFromMemory, RefusesA32BitImageAbove4GiB) {
  HeapAddressSpace system;
  system.honour_preferred_base = false;
  system.next_free_address = 0x1FFFF0000ull;
  EXPECT_FALSE(LoadLibraryFromMemory(system, Bytes(samples::Pe(PeRecipe{}).bytes)));
  EXPECT_EQ(system.LiveRegions(), 0u);
}

struct Corruption {
  const char* what;
  std::function<void(std::string&, const samples::PeImage&)> apply;
};

void Put32(std::string& s, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(LoadLibraryFromMemory, RefusesCorruptImages) {
  const uint32_t opt = 0x80 + 24;
  const auto section = [](const samples::PeImage& pe, int i, int field) {
    return pe.section_table_offset + 40 * i + field;
  };
  const auto rdata_file = [](uint32_t rva) { return 0x800 + (rva - samples::kRdataRva); };
  const std::vector<Corruption> corruptions = {
      {"no MZ", [](std::string& s, auto&) { s[0] = 'Z'; }},
      {"header offset past the end", [](std::string& s, auto&) { Put32(s, 0x3C, 0xFFFFFFF0); }},
      {"header offset near the end", [](std::string& s, auto&) { Put32(s, 0x3C, s.size() - 6); }},
      {"no PE signature", [](std::string& s, auto&) { s[0x82] = 'X'; }},
      {"unknown optional header", [=](std::string& s, auto&) { s[opt] = 0x07; }},
      {"optional header too small", [](std::string& s, auto&) { s[0x80 + 20] = 40; s[0x80 + 21] = 0; }},
      {"optional header too large", [](std::string& s, auto&) { s[0x80 + 20] = '\xFF'; s[0x80 + 21] = '\xFF'; }},
      {"many sections", [](std::string& s, auto&) { s[0x80 + 6] = '\xFF'; s[0x80 + 7] = '\xFF'; }},
      {"zero image size", [=](std::string& s, auto&) { Put32(s, opt + 56, 0); }},
      {"huge image size", [=](std::string& s, auto&) { Put32(s, opt + 56, 0xFFFFF000); }},
      {"image size below a section", [=](std::string& s, auto&) { Put32(s, opt + 56, 0x5000); }},
      {"section alignment zero", [=](std::string& s, auto&) { Put32(s, opt + 32, 0); }},
      {"section alignment not a power of two", [=](std::string& s, auto&) { Put32(s, opt + 32, 0x1800); }},
      {"headers larger than the file", [=](std::string& s, auto&) { Put32(s, opt + 60, 0x100000); }},
      {"headers end before the section table", [=](std::string& s, auto&) { Put32(s, opt + 60, 0x100); }},
      {"entry point outside", [=](std::string& s, auto&) { Put32(s, opt + 16, 0x7000); }},
      {"section data past the file",
       [=](std::string& s, auto& pe) { Put32(s, section(pe, 1, 20), 0x1900); }},
      {"section data offset wraps",
       [=](std::string& s, auto& pe) { Put32(s, section(pe, 1, 20), 0xFFFFFF00); }},
      {"section address wraps",
       [=](std::string& s, auto& pe) { Put32(s, section(pe, 1, 12), 0xFFFFFF00); }},
      {"section size past the image",
       [=](std::string& s, auto& pe) { Put32(s, section(pe, 4, 8), 0x2000); }},
      {"relocation directory outside",
       [=](std::string& s, auto&) { Put32(s, opt + 96 + 40, 0x6FFC); }},
      {"relocation block too short",
       [=](std::string& s, auto&) { Put32(s, 0x1800 + 4, 4); }},
      {"relocation block too long",
       [=](std::string& s, auto&) { Put32(s, 0x1800 + 4, 0x1000); }},
      {"relocation target outside",
       [=](std::string& s, auto&) { Put32(s, 0x1800, 0x6FFE); }},
      {"library name outside",
       [=](std::string& s, auto& pe) { Put32(s, rdata_file(pe.import_directory_rva) + 12, 0x7000); }},
      {"address table outside",
       [=](std::string& s, auto& pe) { Put32(s, rdata_file(pe.import_directory_rva) + 16, 0x6FFE); }},
      {"lookup table outside",
       [=](std::string& s, auto& pe) { Put32(s, rdata_file(pe.import_directory_rva), 0xFFFFFFF0); }},
      {"function name outside",
       [=](std::string& s, auto& pe) {
         const uint32_t lookup = static_cast<uint8_t>(s[rdata_file(pe.import_directory_rva)]) |
                                 (static_cast<uint8_t>(s[rdata_file(pe.import_directory_rva) + 1]) << 8);
         Put32(s, rdata_file(samples::kRdataRva + (lookup - samples::kRdataRva)), 0x6FFFFF);
       }},
  };
  HeapAddressSpace system;
  system.AddLibrary("kernel32.dll", Kernel());
  system.AddLibrary("user32.dll", User());
  system.honour_preferred_base = false;  // relocations are applied
  const samples::PeImage pe = samples::Pe(SkinLike());
  ASSERT_TRUE(LoadLibraryFromMemory(system, Bytes(pe.bytes)));
  for (const Corruption& c : corruptions) {
    std::string bytes = pe.bytes;
    c.apply(bytes, pe);
    EXPECT_FALSE(LoadLibraryFromMemory(system, Bytes(bytes))) << c.what;
    EXPECT_EQ(system.OpenLibraries(), 0) << c.what;
    EXPECT_EQ(system.LiveRegions(), 0u) << c.what;
  }
  // Every shorter prefix of the file is refused.
  for (std::size_t n = 0; n < pe.bytes.size(); n += 61) {
    EXPECT_FALSE(LoadLibraryFromMemory(system, Bytes(pe.bytes.substr(0, n)))) << n;
  }
  EXPECT_FALSE(LoadLibraryFromMemory(system, Bytes(pe.bytes.substr(0, pe.bytes.size() - 1))));
}

TEST(FindExport, DamagedExportTablesGiveNothing) {
  HeapAddressSpace system;
  PeRecipe recipe;
  recipe.exports = {"SkinH_AttachRes"};
  const samples::PeImage pe = samples::Pe(recipe);
  const std::size_t dir = 0x800 + (pe.export_directory_rva - samples::kRdataRva);
  const std::vector<std::pair<const char*, std::function<void(std::string&)>>> damages = {
      {"names outside", [&](std::string& s) { Put32(s, dir + 32, 0x6FFE); }},
      {"name count huge", [&](std::string& s) { Put32(s, dir + 24, 0x40000000); }},
      {"ordinals outside", [&](std::string& s) { Put32(s, dir + 36, 0xFFFFFFFF); }},
      {"function index past the table", [&](std::string& s) { Put32(s, dir + 20, 0); }},
      {"functions outside", [&](std::string& s) { Put32(s, dir + 28, 0x6FFE); }},
      {"directory outside", [&](std::string& s) { Put32(s, 0x80 + 24 + 96, 0x6FF0); }},
  };
  for (const auto& [what, damage] : damages) {
    std::string bytes = pe.bytes;
    damage(bytes);
    auto module = LoadLibraryFromMemory(system, Bytes(bytes));
    ASSERT_TRUE(module) << what;
    EXPECT_EQ(FindExport(*module, "SkinH_AttachRes"), 0u) << what;
  }
}

}  // namespace
}  // namespace brevane::loader
