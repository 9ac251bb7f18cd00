// Small files built in memory for the tests and as fuzzing seeds: pictures
// of every banner format and synthetic library images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brevane::samples {

struct Rgb {
  uint8_t r, g, b;
};

// Pictures of width x height filled with one colour.
std::string Jpeg(int width, int height, Rgb colour, bool progressive = false);
// A four-colour JPEG as print programs write it (Adobe marker, inks stored
// inverted: 255 is no ink), every pixel holding the four given values.
std::string JpegCmyk(int width, int height, uint8_t c, uint8_t m, uint8_t y, uint8_t k);
std::string Bitmap(int width, int height, Rgb colour);
// An 8-bit bitmap with a two-entry colour table, stored bottom-up: pixel
// (x, y) is colour `top` on the top row and `rest` below it.
std::string Bitmap8(int width, int height, Rgb top, Rgb rest);
// An icon (type 1) or cursor (type 2) with one 32-bit image.
std::string Icon(int width, int height, Rgb colour, int type = 1);
// An animated GIF with one frame per colour, each shown for the given
// hundredths of a second; one colour gives a still GIF.
std::string Gif(int width, int height, const std::vector<Rgb>& frames, int delay_cs);
// PCX with 8 bits per pixel and the 256-colour palette, or 1 bit per pixel
// (pixel x is white when (x + y) is even, for the mono picture).
std::string Pcx8(int width, int height, Rgb colour);
std::string Pcx1(int width, int height);

// A synthetic library image.
struct PeImport {
  std::string library;
  std::vector<std::string> names;
  std::vector<uint16_t> ordinals;
};
struct PeRecipe {
  bool is64 = false;
  uint64_t image_base = 0x10000000;
  std::vector<std::string> exports;  // in name-table order; export i's code is at kTextRva + 16 * i
  std::vector<PeImport> imports;
  int address_entries = 4;           // absolute addresses in .data, each with a relocation entry
  bool relocations = true;
  bool entry_point = true;
};
struct PeImage {
  std::string bytes;
  std::vector<uint32_t> address_entry_rvas;  // where each address entry sits
  std::vector<uint64_t> address_entry_values;  // what it holds at the preferred base
  std::vector<uint32_t> import_slot_rvas;      // address-table slots, imports in order, names then ordinals
  uint32_t export_directory_rva = 0;
  uint32_t relocation_rva = 0;
  uint32_t import_directory_rva = 0;
  uint32_t nt_offset = 0;
  uint32_t section_table_offset = 0;
};
inline constexpr uint32_t kTextRva = 0x1000;
inline constexpr uint32_t kDataRva = 0x2000;
inline constexpr uint32_t kRdataRva = 0x3000;
inline constexpr uint32_t kRelocRva = 0x5000;
inline constexpr uint32_t kBssRva = 0x6000;
inline constexpr uint32_t kImageSize = 0x7000;
PeImage Pe(const PeRecipe& recipe);

}  // namespace brevane::samples
