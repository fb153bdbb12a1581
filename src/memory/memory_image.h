// Memory images: what a UK101, Superboard II or C1P held in RAM, kept as an emulator's
// checkpoint or as a plain memory dump, and the BASIC program in it.
//
// Three checkpoint layouts are known, told apart by their size: 34,832 bytes (32 KiB of RAM
// at offset 0, then the display mode, video RAM and CPU state), 14,351 bytes (14 bytes of
// CPU state, then 12 KiB of RAM) and 34,831 bytes (CPU state, display mode and 2 KiB of
// video RAM, then 32 KiB of RAM at offset $080F). A machine image (a zlib stream, 78 9C) holds
// a Java serialization stream whose one byte array is the RAM from $0000 on. Anything else is
// a plain dump whose first byte is $0000.
//
// ROM BASIC keeps the address of a program's first line record at $79/$7A (TXTTAB) and the
// end of the program at $7B/$7C (VARTAB: the address after the end marker, or one more).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image_bytes.h"

namespace brenvik::memory {

enum class memory_layout {
  plain,
  checkpoint_v0,
  checkpoint_v1,
  checkpoint_v2,
  machine_image,  // inflated, its RAM found
  compressed      // a machine image that could not be read: see `unread`
};

// Why a machine image could not be read.
enum class unread_image {
  none,
  not_built_in,  // this build reads no zlib stream
  damaged,       // the zlib stream is corrupt or cut short
  no_memory      // the stream holds no byte array of at most 64 KiB
};

struct memory_image {
  memory_layout layout = memory_layout::plain;
  unread_image unread = unread_image::none;
  std::vector<unsigned char> ram;  // from $0000 on, at most 64 KiB; empty when compressed
};

inline constexpr unsigned txttab_at = 0x79;
inline constexpr unsigned vartab_at = 0x7B;
inline constexpr std::size_t pointers_end = 0x7D;  // RAM must reach this far to hold both

// Reads the memory of `file`: a checkpoint by its size, a compressed image by its first
// bytes, else a plain dump from offset 0. With `plain_offset` the file is a plain dump whose
// byte at that offset is $0000. Returns false when the file cannot be read.
bool read_memory(image_bytes& file, std::optional<std::uint64_t> plain_offset, memory_image& into);

// A program area in memory, or why none lies at an address.
struct memory_program {
  enum kind_t {
    found,
    outside,       // `load_address` lies beyond the memory
    no_lead_byte,  // the byte at `load_address` is not 00
    broken_link,   // the record at `record` links to `link`, out of reach
    past_memory    // the chain of links runs past the end of memory
  } kind = found;
  uint16_t load_address = 0;  // of the lead byte
  std::size_t length = 0;     // found: lead byte to end marker
  int lines = 0;              // found: 0 for an empty program
  unsigned record = 0;
  unsigned link = 0;
};

// The program whose lead byte lies at `load_address`: a 00 there and a chain of line links
// from the next address that ends in 00 00 inside `ram`.
memory_program program_at(std::span<const unsigned char> ram, unsigned load_address);

// The 16-bit pointer at `at` (txttab_at, vartab_at); `ram` must reach pointers_end.
unsigned basic_pointer(std::span<const unsigned char> ram, unsigned at);

// The longest complete program of two lines or more anywhere in `ram` (the first of equal
// ones), found by its records alone, as what is left of a program BASIC no longer points
// to: a 00 in front, each record's link 5 to 255 bytes on, its text free of zeros and ended
// by one, line numbers ascending, and the end marker 00 00.
std::optional<memory_program> stale_program(std::span<const unsigned char> ram);

}  // namespace brenvik::memory
