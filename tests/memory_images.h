// Memory images built by hand, for tests: RAM holding a program where ROM BASIC's pointers
// say, and the checkpoint layouts around it.
#pragma once

#include <string>

namespace brenvik::testing {

// `size` bytes of RAM, zero page starting with ROM BASIC's warm-start jump, the program area
// `image` (lead byte first) at `load_address`, TXTTAB at its first record and VARTAB
// `vartab_after` bytes past its end marker's end.
inline std::string ram_with(std::size_t size, unsigned load_address, const std::string& image,
                            unsigned vartab_after = 1) {
  std::string ram(size, '\0');
  ram.replace(0, 3, "\x4C\x74\xA2");
  ram.replace(load_address, image.size(), image);
  const unsigned txttab = load_address + 1;
  const auto vartab = static_cast<unsigned>(load_address + image.size() + vartab_after);
  ram[0x79] = static_cast<char>(txttab & 0xFF);
  ram[0x7A] = static_cast<char>(txttab >> 8);
  ram[0x7B] = static_cast<char>(vartab & 0xFF);
  ram[0x7C] = static_cast<char>(vartab >> 8);
  return ram;
}

// A checkpoint of layout 0 (32 KiB of RAM, display mode, video RAM, CPU state: 34,832
// bytes), 1 (CPU state, 12 KiB of RAM, display mode, video RAM: 14,351) or 2 (CPU state,
// display mode, video RAM, 32 KiB of RAM: 34,831) around `ram`, which must be of that size.
inline std::string checkpoint(int layout, const std::string& ram) {
  const std::string cpu(14, '\x11');
  const std::string display = "\x01" + std::string(2048, ' ');
  switch (layout) {
    case 0:
      return ram + display + cpu + "\x22";
    case 1:
      return cpu + ram + display;
    default:
      return cpu + display + ram;
  }
}

}  // namespace brenvik::testing
