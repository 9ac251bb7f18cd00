#include "extras/loader/pe_image.h"

#include <algorithm>
#include <cstring>

namespace brevane::loader {
namespace {

constexpr uint16_t kMagic32 = 0x10B;
constexpr uint16_t kMagic64 = 0x20B;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;

}  // namespace

std::optional<std::string_view> ReadName(std::span<const uint8_t> bytes, uint64_t offset) {
  if (offset >= bytes.size()) return std::nullopt;
  const auto* start = bytes.data() + offset;
  const auto* end = static_cast<const uint8_t*>(std::memchr(start, 0, bytes.size() - offset));
  if (!end) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(start), static_cast<std::size_t>(end - start));
}

std::optional<ImageLayout> ParseImage(std::span<const uint8_t> image) {
  const uint8_t* b = image.data();
  const uint64_t n = image.size();
  if (n < 64 || b[0] != 'M' || b[1] != 'Z') return std::nullopt;
  const uint64_t nt = Read32(b + 0x3C);
  if (!Within(nt, 4 + kFileHeaderSize + 2, n)) return std::nullopt;
  if (std::memcmp(b + nt, "PE\0\0", 4) != 0) return std::nullopt;

  const uint8_t* file = b + nt + 4;
  const uint16_t machine = Read16(file);
  const uint16_t section_count = Read16(file + 2);
  const uint16_t optional_size = Read16(file + 16);
  const uint64_t optional = nt + 4 + kFileHeaderSize;
  if (!Within(optional, optional_size, n) || optional_size < 2) return std::nullopt;
  const uint8_t* opt = b + optional;

  ImageLayout layout;
  const uint16_t magic = Read16(opt);
  std::size_t directory_offset = 0;
  if (magic == kMagic32 && machine == static_cast<uint16_t>(Machine::kI386)) {
    if (optional_size < 96) return std::nullopt;
    layout.machine = Machine::kI386;
    layout.preferred_base = Read32(opt + 28);
    layout.image_base_field = static_cast<uint32_t>(optional + 28);
    directory_offset = 96;
  } else if (magic == kMagic64 && machine == static_cast<uint16_t>(Machine::kAmd64)) {
    if (optional_size < 112) return std::nullopt;
    layout.machine = Machine::kAmd64;
    layout.is64 = true;
    layout.preferred_base = Read64(opt + 24);
    layout.image_base_field = static_cast<uint32_t>(optional + 24);
    directory_offset = 112;
  } else {
    return std::nullopt;
  }
  layout.entry_point = Read32(opt + 16);
  layout.section_alignment = Read32(opt + 32);
  layout.size_of_image = Read32(opt + 56);
  layout.size_of_headers = Read32(opt + 60);
  const uint32_t directory_count = Read32(opt + directory_offset - 4);
  const uint64_t usable =
      std::min<uint64_t>({directory_count, 16, (optional_size - directory_offset) / 8});
  for (uint64_t i = 0; i < usable; ++i) {
    layout.directories[i].rva = Read32(opt + directory_offset + 8 * i);
    layout.directories[i].size = Read32(opt + directory_offset + 8 * i + 4);
  }

  const uint32_t alignment = layout.section_alignment;
  if (alignment == 0 || (alignment & (alignment - 1)) != 0) return std::nullopt;
  if (layout.size_of_image == 0 || layout.size_of_image > kMaxImageSize) return std::nullopt;
  const uint64_t table = optional + optional_size;
  const uint64_t table_size = uint64_t{section_count} * kSectionHeaderSize;
  // The headers, section table included, must be in the bytes and in the
  // image, since they are copied to the image's start.
  if (!Within(table, table_size, n)) return std::nullopt;
  if (layout.size_of_headers < table + table_size || layout.size_of_headers > n ||
      layout.size_of_headers > layout.size_of_image) {
    return std::nullopt;
  }
  if (layout.entry_point >= layout.size_of_image) return std::nullopt;

  for (uint16_t i = 0; i < section_count; ++i) {
    const uint8_t* s = b + table + i * kSectionHeaderSize;
    Section section;
    section.virtual_size = Read32(s + 8);
    section.virtual_address = Read32(s + 12);
    section.raw_size = Read32(s + 16);
    section.raw_offset = Read32(s + 20);
    section.characteristics = Read32(s + 36);
    if (!Within(section.virtual_address, std::max(section.virtual_size, section.raw_size),
                layout.size_of_image)) {
      return std::nullopt;
    }
    if (section.raw_size > 0 && !Within(section.raw_offset, section.raw_size, n)) {
      return std::nullopt;
    }
    layout.sections.push_back(section);
  }
  return layout;
}

}  // namespace brevane::loader
