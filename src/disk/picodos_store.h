// Storing BASIC programs into the slots of a Pico-DOS disk image held in memory.
//
// A program goes into slot k, the four tracks 4k-1 to 4k+2, as the DOS's own saves leave it:
// the header (start $0301, end = the address after the end marker + 1, track count 4), the
// program area from $0300, and zeros to the end of the slot. Only the data bytes of the
// slot's sectors change: in a bitstream image the data and parity bits of their frames. A
// track of the slot that is formatted and never written (its header, no sector) first gets
// its sector of 8 pages right after the header, as the DOS's save writes it.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "disk/picodos.h"
#include "disk/volume.h"

namespace brenvik::disk {

// Why a program cannot go into a slot.
struct slot_problem {
  enum kind_t {
    none,
    unreadable,  // a track of the slot: `tracks` says why
    too_big,     // the program area is `size` bytes, a slot holds `room`
    no_empty_slot
  } kind = none;
  problem tracks;
  std::size_t size = 0;
  std::size_t room = 0;
};

// The most a slot's program area may hold: 4 tracks of 2048 bytes less the header.
inline constexpr std::size_t slot_room = slot_bytes - file_header_size;

class picodos_writer {
 public:
  // `file` is the whole image file in memory and `disk` reads it; both outlive the writer.
  picodos_writer(std::vector<unsigned char>& file, picodos_volume& disk)
      : file_(file), disk_(disk) {}

  // The first slot that holds no program and whose four tracks can be written, or 0.
  int empty_slot();

  // Stores the program area `program` (lead byte to end marker, made for $0300) into slot
  // `slot`. Returns the problem that kept it out, with the image unchanged.
  slot_problem store(int slot, std::span<const unsigned char> program);

 private:
  std::vector<unsigned char>& file_;
  picodos_volume& disk_;
};

}  // namespace brenvik::disk
