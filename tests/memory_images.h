// Memory images built by hand, for tests: RAM holding a program where ROM BASIC's pointers
// say, and the checkpoint layouts around it.
#pragma once

#include <string>

#if BRENVIK_ZLIB
#include <zlib.h>
#endif

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

#if BRENVIK_ZLIB
// A UK101 machine image: a Java serialization stream of a dump object (its name, its RAM as
// a byte array, its time and version), compressed as a zlib stream.
inline std::string machine_image(const std::string& ram) {
  const auto big_endian = [](std::size_t n) {
    return std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 8), static_cast<char>(n)};
  };
  std::string stream("\xAC\xED\x00\x05\x73\x72\x00\x12uk101.machine.Dump", 26);
  stream += std::string(8, '\x5A') + "\x02" + std::string("\x00\x02", 2) +
            std::string("L\x00\x04name", 7) + std::string("[\x00\x05store", 8) +
            std::string("\x78\x70\x74\x00\x04GAME", 9);
  stream += std::string("\x75\x72\x00\x02\x5B\x42", 6) + std::string(8, '\x33') + "\x02" +
            std::string("\x00\x00\x78\x70", 4) + big_endian(ram.size()) + ram;
  stream += std::string(
      "\x74\x00\x03"
      "1.0",
      6);
  uLongf size = compressBound(static_cast<uLong>(stream.size()));
  std::string compressed(size, '\0');
  compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
            reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size()), 6);
  compressed.resize(size);
  return compressed;
}
#endif

}  // namespace brenvik::testing
