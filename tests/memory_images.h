// Memory images built by hand, for tests: RAM holding a program where ROM BASIC's pointers
// say, and the checkpoint layouts around it.
#pragma once

#include <string>

namespace brenvik::testing {

// `size` bytes of RAM, the program area `image` at `load_address`, TXTTAB at its first
// record and VARTAB `vartab_after` bytes past its end.
inline std::string ram_with(std::size_t size, unsigned load_address, const std::string& image,
                            unsigned vartab_after = 1) {
  std::string ram(size, '\0');
  ram.replace(0, 3, "\x4C\x74\xA2");  // ROM BASIC's warm start
  ram.replace(load_address, image.size(), image);
  const auto vartab = static_cast<unsigned>(load_address + image.size() + vartab_after);
  const char pointers[] = {static_cast<char>((load_address + 1) & 0xFF),
                           static_cast<char>((load_address + 1) >> 8),
                           static_cast<char>(vartab & 0xFF), static_cast<char>(vartab >> 8)};
  ram.replace(0x79, 4, pointers, 4);
  return ram;
}

// Checkpoint layout 0 (RAM, display mode, video RAM, CPU state), 1 (CPU state, 12 KiB of
// RAM, display mode, video RAM) or 2 (CPU state, display mode, video RAM, RAM) around `ram`.
inline std::string checkpoint(int layout, const std::string& ram) {
  const std::string cpu(14, '\x11');
  const std::string display = "\x01" + std::string(2048, ' ');
  return layout == 0   ? ram + display + cpu + "\x22"
         : layout == 1 ? cpu + ram + display
                       : cpu + display + ram;
}

}  // namespace brenvik::testing
