// Reading a library image (portable executable format) from untrusted bytes.
// Every field is checked against the size of the bytes it comes from and
// against the image's stated size before it is used.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "extras/loader/system.h"

namespace brevane::loader {

inline constexpr uint32_t kMaxImageSize = 64u << 20;

// Data directory slots the loader uses.
inline constexpr int kExportDirectory = 0;
inline constexpr int kImportDirectory = 1;
inline constexpr int kRelocationDirectory = 5;

// Section flags.
inline constexpr uint32_t kSectionNoCache = 0x04000000;
inline constexpr uint32_t kSectionDiscardable = 0x02000000;
inline constexpr uint32_t kSectionExecute = 0x20000000;
inline constexpr uint32_t kSectionRead = 0x40000000;
inline constexpr uint32_t kSectionWrite = 0x80000000;

struct DataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

struct Section {
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;
  uint32_t raw_offset = 0;
  uint32_t raw_size = 0;
  uint32_t characteristics = 0;
};

struct ImageLayout {
  Machine machine = Machine::kI386;
  bool is64 = false;
  uint64_t preferred_base = 0;
  uint32_t entry_point = 0;  // 0: none
  uint32_t section_alignment = 0;
  uint32_t size_of_image = 0;
  uint32_t size_of_headers = 0;
  uint32_t image_base_field = 0;  // offset of the base address in the headers
  DataDirectory directories[16];
  std::vector<Section> sections;
};

// The layout of a valid image, or nothing for bytes that are not one:
// a missing "MZ" or "PE\0\0", a header or section outside the bytes or the
// stated size, an unknown optional header, a section alignment that is not
// a power of two, a size beyond kMaxImageSize, or an entry point outside
// the image.
std::optional<ImageLayout> ParseImage(std::span<const uint8_t> image);

// Little-endian reads that the caller has bounds-checked.
inline uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Read32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline uint64_t Read64(const uint8_t* p) { return Read32(p) | (uint64_t{Read32(p + 4)} << 32); }
inline void Write32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Write64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// True when offset .. offset + length lies within size, without overflow.
inline bool Within(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}

// The zero-terminated name at offset, or nothing when it runs off the end.
std::optional<std::string_view> ReadName(std::span<const uint8_t> bytes, uint64_t offset);

}  // namespace brevane::loader
