#include "extras/tests/samples.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>


namespace brevane::samples {
namespace {

void Put16(std::string& s, std::size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::size_t at, uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}
void Put64(std::string& s, std::size_t at, uint64_t v) {
  Put32(s, at, static_cast<uint32_t>(v));
  Put32(s, at + 4, static_cast<uint32_t>(v >> 32));
}
void Add16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

}  // namespace

std::string Bitmap(int width, int height, Rgb colour) {
  const int stride = (width * 3 + 3) & ~3;
  std::string s(54, '\0');
  s[0] = 'B', s[1] = 'M';
  Put32(s, 2, static_cast<uint32_t>(54 + stride * height));
  Put32(s, 10, 54);
  Put32(s, 14, 40);
  Put32(s, 18, static_cast<uint32_t>(width));
  Put32(s, 22, static_cast<uint32_t>(height));
  Put16(s, 26, 1);
  Put16(s, 28, 24);
  Put32(s, 34, static_cast<uint32_t>(stride * height));
  for (int y = 0; y < height; ++y) {
    std::string line;
    for (int x = 0; x < width; ++x) {
      line.push_back(static_cast<char>(colour.b));
      line.push_back(static_cast<char>(colour.g));
      line.push_back(static_cast<char>(colour.r));
    }
    line.resize(static_cast<std::size_t>(stride), '\0');
    s += line;
  }
  return s;
}

std::string Bitmap8(int width, int height, Rgb top, Rgb rest) {
  const int stride = (width + 3) & ~3;
  const int offset = 54 + 2 * 4;
  std::string s(static_cast<std::size_t>(offset), '\0');
  s[0] = 'B', s[1] = 'M';
  Put32(s, 2, static_cast<uint32_t>(offset + stride * height));
  Put32(s, 10, static_cast<uint32_t>(offset));
  Put32(s, 14, 40);
  Put32(s, 18, static_cast<uint32_t>(width));
  Put32(s, 22, static_cast<uint32_t>(height));
  Put16(s, 26, 1);
  Put16(s, 28, 8);
  Put32(s, 34, static_cast<uint32_t>(stride * height));
  Put32(s, 46, 2);  // colours used
  const Rgb table[2] = {top, rest};
  for (int i = 0; i < 2; ++i) {
    s[static_cast<std::size_t>(54 + i * 4)] = static_cast<char>(table[i].b);
    s[static_cast<std::size_t>(55 + i * 4)] = static_cast<char>(table[i].g);
    s[static_cast<std::size_t>(56 + i * 4)] = static_cast<char>(table[i].r);
  }
  for (int y = height - 1; y >= 0; --y) {  // bottom-up
    std::string line(static_cast<std::size_t>(width), static_cast<char>(y == 0 ? 0 : 1));
    line.resize(static_cast<std::size_t>(stride), '\0');
    s += line;
  }
  return s;
}

std::string Icon(int width, int height, Rgb colour, int type) {
  const int mask_stride = ((width + 31) / 32) * 4;
  const uint32_t data_size = 40 + static_cast<uint32_t>(width * height * 4 + mask_stride * height);
  std::string s(22, '\0');
  Put16(s, 2, static_cast<uint32_t>(type));
  Put16(s, 4, 1);
  s[6] = static_cast<char>(width & 0xFF);
  s[7] = static_cast<char>(height & 0xFF);
  if (type == 1) {
    Put16(s, 10, 1);   // planes
    Put16(s, 12, 32);  // bits per pixel
  }                    // a cursor's hot spot stays at 0, 0
  Put32(s, 14, data_size);
  Put32(s, 18, 22);
  std::string dib(40, '\0');
  Put32(dib, 0, 40);
  Put32(dib, 4, static_cast<uint32_t>(width));
  Put32(dib, 8, static_cast<uint32_t>(height * 2));
  Put16(dib, 12, 1);
  Put16(dib, 14, 32);
  for (int i = 0; i < width * height; ++i) {
    dib.push_back(static_cast<char>(colour.b));
    dib.push_back(static_cast<char>(colour.g));
    dib.push_back(static_cast<char>(colour.r));
    dib.push_back(static_cast<char>(0xFF));
  }
  dib.append(static_cast<std::size_t>(mask_stride * height), '\0');
  return s + dib;
}

std::string Gif(int width, int height, const std::vector<Rgb>& frames, int delay_cs) {
  if (frames.empty() || frames.size() > 4) throw std::invalid_argument("1 to 4 frames");
  std::string s = "GIF89a";
  Add16(s, static_cast<uint32_t>(width));
  Add16(s, static_cast<uint32_t>(height));
  s += '\x81';  // global colour table of 4 entries
  s += '\0';
  s += '\0';
  for (int i = 0; i < 4; ++i) {
    const Rgb c = i < static_cast<int>(frames.size()) ? frames[i] : Rgb{0, 0, 0};
    s += static_cast<char>(c.r), s += static_cast<char>(c.g), s += static_cast<char>(c.b);
  }
  if (frames.size() > 1) {
    s += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  }
  for (std::size_t f = 0; f < frames.size(); ++f) {
    s += std::string("\x21\xF9\x04\x04", 4);
    Add16(s, static_cast<uint32_t>(delay_cs));
    s += std::string("\x00\x00", 2);
    s += '\x2C';
    Add16(s, 0);
    Add16(s, 0);
    Add16(s, static_cast<uint32_t>(width));
    Add16(s, static_cast<uint32_t>(height));
    s += '\0';
    s += '\x02';  // minimum code size: codes of 3 bits, clear 4, end 5
    // A clear code before every second pixel keeps the code width at 3.
    std::vector<int> codes;
    const int pixels = width * height;
    for (int p = 0; p < pixels; p += 2) {
      codes.push_back(4);
      codes.push_back(static_cast<int>(f));
      if (p + 1 < pixels) codes.push_back(static_cast<int>(f));
    }
    codes.push_back(5);
    std::string data;
    uint32_t acc = 0;
    int bits = 0;
    for (int code : codes) {
      acc |= static_cast<uint32_t>(code) << bits;
      bits += 3;
      while (bits >= 8) {
        data += static_cast<char>(acc & 0xFF);
        acc >>= 8;
        bits -= 8;
      }
    }
    if (bits > 0) data += static_cast<char>(acc & 0xFF);
    for (std::size_t at = 0; at < data.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - at);
      s += static_cast<char>(n);
      s += data.substr(at, n);
    }
    s += '\0';
  }
  s += '\x3B';
  return s;
}

namespace {

std::string PcxHeader(int version, int bits, int width, int height, int line_bytes) {
  std::string s(128, '\0');
  s[0] = 0x0A;
  s[1] = static_cast<char>(version);
  s[2] = 1;
  s[3] = static_cast<char>(bits);
  Put16(s, 8, static_cast<uint32_t>(width - 1));
  Put16(s, 10, static_cast<uint32_t>(height - 1));
  Put16(s, 12, 72);
  Put16(s, 14, 72);
  s[65] = 1;
  Put16(s, 66, static_cast<uint32_t>(line_bytes));
  Put16(s, 68, 1);
  return s;
}

void AddPcxByte(std::string& s, uint8_t b) {
  if (b >= 0xC0) s += '\xC1';
  s += static_cast<char>(b);
}

}  // namespace

std::string Pcx8(int width, int height, Rgb colour) {
  const int line = (width + 1) & ~1;
  std::string s = PcxHeader(5, 8, width, height, line);
  for (int y = 0; y < height; ++y) {
    for (int left = width; left > 0; left -= 63) {
      const int n = std::min(63, left);
      s += static_cast<char>(0xC0 | n);
      s += '\x01';
    }
    if (line > width) s += '\0';
  }
  s += '\x0C';
  std::string palette(768, '\0');
  palette[3] = static_cast<char>(colour.r);
  palette[4] = static_cast<char>(colour.g);
  palette[5] = static_cast<char>(colour.b);
  return s + palette;
}

std::string Pcx1(int width, int height) {
  const int line = (((width + 7) / 8) + 1) & ~1;
  std::string s = PcxHeader(3, 1, width, height, line);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < line; ++i) {
      uint8_t b = 0;
      for (int bit = 0; bit < 8; ++bit) {
        const int x = i * 8 + bit;
        if (x < width && (x + y) % 2 == 0) b |= static_cast<uint8_t>(0x80 >> bit);
      }
      AddPcxByte(s, b);
    }
  }
  return s;
}

PeImage Pe(const PeRecipe& recipe) {
  const uint32_t w = recipe.is64 ? 8 : 4;
  const uint32_t optional_size = recipe.is64 ? 240 : 224;
  const uint32_t nt = 0x80;
  PeImage out;
  out.nt_offset = nt;
  std::string s(0x1A00, '\0');
  s[0] = 'M', s[1] = 'Z';
  Put32(s, 0x3C, nt);
  std::memcpy(&s[nt], "PE\0\0", 4);
  const uint32_t file = nt + 4;
  Put16(s, file, recipe.is64 ? 0x8664 : 0x014C);
  Put16(s, file + 2, 5);
  Put16(s, file + 16, optional_size);
  Put16(s, file + 18, recipe.is64 ? 0x2022 : 0x2102);
  const uint32_t opt = file + 20;
  Put16(s, opt, recipe.is64 ? 0x20B : 0x10B);
  Put32(s, opt + 16, recipe.entry_point ? kTextRva + 0x100 : 0);
  Put32(s, opt + 20, kTextRva);
  if (recipe.is64) {
    Put64(s, opt + 24, recipe.image_base);
  } else {
    Put32(s, opt + 28, static_cast<uint32_t>(recipe.image_base));
  }
  Put32(s, opt + 32, 0x1000);
  Put32(s, opt + 36, 0x200);
  Put32(s, opt + 56, kImageSize);
  Put32(s, opt + 60, 0x400);
  Put16(s, opt + 68, 2);
  const uint32_t dirs = opt + (recipe.is64 ? 112 : 96);
  Put32(s, dirs - 4, 16);

  struct Sec {
    const char* name;
    uint32_t va, vs, raw, raw_size, flags;
  };
  const Sec secs[5] = {{".text", kTextRva, 0x200, 0x400, 0x200, 0x60000020},
                       {".data", kDataRva, 0x200, 0x600, 0x200, 0xC0000040},
                       {".rdata", kRdataRva, 0x1000, 0x800, 0x1000, 0x40000040},
                       {".reloc", kRelocRva, 0x200, 0x1800, 0x200, 0x42000040},
                       {".bss", kBssRva, 0x100, 0, 0, 0xC0000080}};
  out.section_table_offset = opt + optional_size;
  for (int i = 0; i < 5; ++i) {
    const uint32_t at = out.section_table_offset + 40 * i;
    std::memcpy(&s[at], secs[i].name, std::strlen(secs[i].name));
    Put32(s, at + 8, secs[i].vs);
    Put32(s, at + 12, secs[i].va);
    Put32(s, at + 16, secs[i].raw_size);
    Put32(s, at + 20, secs[i].raw);
    Put32(s, at + 36, secs[i].flags);
  }
  const auto file_of = [&](uint32_t rva) -> uint32_t {
    for (const Sec& sec : secs) {
      if (rva >= sec.va && rva < sec.va + sec.vs) return sec.raw + (rva - sec.va);
    }
    throw std::out_of_range("rva");
  };

  // Code: a return instruction for every export and the entry point.
  for (uint32_t i = 0; i < 0x200; ++i) s[0x400 + i] = '\xCC';
  for (std::size_t i = 0; i < recipe.exports.size(); ++i) s[0x400 + 16 * i] = '\xC3';
  s[0x400 + 0x100] = '\xC3';

  // Address entries and their relocation block.
  std::string block;
  for (int i = 0; i < recipe.address_entries; ++i) {
    const uint32_t rva = kDataRva + 8 * static_cast<uint32_t>(i);
    const uint64_t value = recipe.image_base + kTextRva + 16 * static_cast<uint32_t>(i);
    if (recipe.is64) {
      Put64(s, file_of(rva), value);
    } else {
      Put32(s, file_of(rva), static_cast<uint32_t>(value));
    }
    out.address_entry_rvas.push_back(rva);
    out.address_entry_values.push_back(value);
    Add16(block, ((recipe.is64 ? 10u : 3u) << 12) | (rva - kDataRva));
  }
  if (block.size() % 4) Add16(block, 0);  // an entry of no kind pads the block
  out.relocation_rva = kRelocRva;
  if (recipe.relocations && !block.empty()) {
    Put32(s, file_of(kRelocRva), kDataRva);
    Put32(s, file_of(kRelocRva) + 4, static_cast<uint32_t>(8 + block.size()));
    std::memcpy(&s[file_of(kRelocRva) + 8], block.data(), block.size());
    Put32(s, dirs + 8 * 5, kRelocRva);
    Put32(s, dirs + 8 * 5 + 4, static_cast<uint32_t>(8 + block.size()));
  }

  // Read-only data: import descriptors and tables, then the export tables.
  uint32_t cursor = kRdataRva;
  const auto take = [&](uint32_t size) {
    const uint32_t at = cursor;
    cursor += (size + 7) & ~7u;
    if (cursor > kRdataRva + 0x1000) throw std::length_error("rdata");
    return at;
  };
  const auto put_name = [&](const std::string& name) {
    const uint32_t at = take(static_cast<uint32_t>(name.size() + 1));
    std::memcpy(&s[file_of(at)], name.data(), name.size());
    return at;
  };
  if (!recipe.imports.empty()) {
    const uint32_t descriptors = take(20 * static_cast<uint32_t>(recipe.imports.size() + 1));
    out.import_directory_rva = descriptors;
    Put32(s, dirs + 8, descriptors);
    Put32(s, dirs + 12, 20 * static_cast<uint32_t>(recipe.imports.size() + 1));
    for (std::size_t k = 0; k < recipe.imports.size(); ++k) {
      const PeImport& imp = recipe.imports[k];
      const uint32_t count = static_cast<uint32_t>(imp.names.size() + imp.ordinals.size());
      const uint32_t lookup = take((count + 1) * w);
      const uint32_t slots = take((count + 1) * w);
      const uint32_t name = put_name(imp.library);
      uint32_t j = 0;
      const auto put_thunk = [&](uint64_t v) {
        if (recipe.is64) {
          Put64(s, file_of(lookup + j * w), v);
          Put64(s, file_of(slots + j * w), v);
        } else {
          Put32(s, file_of(lookup + j * w), static_cast<uint32_t>(v));
          Put32(s, file_of(slots + j * w), static_cast<uint32_t>(v));
        }
        out.import_slot_rvas.push_back(slots + j * w);
        ++j;
      };
      for (const std::string& fn : imp.names) put_thunk(put_name(std::string("\0\0", 2) + fn));
      for (uint16_t ord : imp.ordinals) put_thunk((recipe.is64 ? (uint64_t{1} << 63) : (1u << 31)) | ord);
      const uint32_t d = file_of(descriptors + 20 * static_cast<uint32_t>(k));
      Put32(s, d, lookup);
      Put32(s, d + 12, name);
      Put32(s, d + 16, slots);
    }
  }
  if (!recipe.exports.empty()) {
    const uint32_t n = static_cast<uint32_t>(recipe.exports.size());
    const uint32_t dir = take(40);
    const uint32_t functions = take(4 * n);
    const uint32_t names = take(4 * n);
    const uint32_t ordinals = take(2 * n);
    const uint32_t dll = put_name("skin.dll");
    for (uint32_t i = 0; i < n; ++i) {
      Put32(s, file_of(functions + 4 * i), kTextRva + 16 * i);
      Put32(s, file_of(names + 4 * i), put_name(recipe.exports[i]));
      Put16(s, file_of(ordinals + 2 * i), i);
    }
    const uint32_t d = file_of(dir);
    Put32(s, d + 12, dll);
    Put32(s, d + 16, 1);
    Put32(s, d + 20, n);
    Put32(s, d + 24, n);
    Put32(s, d + 28, functions);
    Put32(s, d + 32, names);
    Put32(s, d + 36, ordinals);
    out.export_directory_rva = dir;
    Put32(s, dirs, dir);
    Put32(s, dirs + 4, cursor - dir);
  }
  out.bytes = std::move(s);
  return out;
}

}  // namespace brevane::samples
