// Writing BASIC programs into the slots of a Pico-DOS disk image held in memory.
//
// A program goes into slot k, the four tracks 4k-1 to 4k+2, as the DOS's own saves leave it:
// the header (basic_file_header, track count 4), the program area from $0300, and zeros to
// the end of the slot. A track of the slot that is formatted and never written (its header,
// no sector) first gets its sector of 8 pages right after the header, as the DOS's save
// writes it. A name that is a slot's number names that slot; any other name takes the first
// empty one.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "disk/disk_writer.h"
#include "disk/picodos.h"

namespace brenvik::disk {

// The most a slot's program area may hold: 4 tracks of 2048 bytes less the header.
inline constexpr std::size_t slot_room = slot_bytes - file_header_size;

class picodos_writer final : public disk_writer {
 public:
  // `file` is the whole image file in memory and `disk` reads it; both outlive the writer.
  picodos_writer(std::vector<unsigned char>& file, picodos_volume& disk)
      : file_(file), disk_(disk) {}

  bool accepts_name(const std::string&) const override { return true; }
  std::optional<uint16_t> fixed_load_address() const override { return picodos_load_address; }
  write_problem check_program(const std::string& name,
                              std::optional<uint16_t> load_address) const override;
  write_problem store_program(const std::string& name, uint16_t load_address,
                              std::span<const unsigned char> program) override;
  write_problem put_file(const std::string& name, std::span<const unsigned char> data) override;
  write_problem delete_entry(const entry& e) override;
  write_problem rename_entry(const entry&, const std::string&) override {
    return {.kind = write_problem::not_written};
  }

  // The first slot that holds no program and whose four tracks can be written, or 0.
  int empty_slot();

 private:
  write_problem store_in_slot(int slot, std::span<const unsigned char> program);
  // Gives every track of the slot its sector, then writes `bytes` over its data from the
  // start; the problem of a track that cannot be read.
  write_problem write_slot(int slot, std::span<const unsigned char> bytes);

  std::vector<unsigned char>& file_;
  picodos_volume& disk_;
};

}  // namespace brenvik::disk
