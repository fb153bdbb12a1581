// Writing BASIC programs into an OS65D disk image held in memory.
//
// A program goes into its entry's own tracks, or into a new entry on free tracks. The file
// is the memory image OS65D loads at $3279: the header (basic_file_header; its track count
// the tracks needed for $3279 to end), the memory in front of the program area (kept as it
// was; zeros in a new file), the program area, and zeros to the end of the last track the
// header counts. As OS65D's own save does, only those tracks are written: the entry's other
// tracks are left as they are, whatever they hold. An entry that covers track 0 or the
// directory track, or tracks another entry claims too, is refused: the directory cannot say
// which of them owns the tracks.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "disk/disk_writer.h"
#include "disk/os65d.h"

namespace brenvik::disk {

// The first address a BASIC file's memory holds: $327E, after the 5-byte header at $3279.
inline constexpr uint16_t first_file_address = file_load_address + file_header_size;

// Whether `name` is one OS65D can store: 1 to 6 characters, upper case letters, digits and
// the punctuation of real names (* / - and the like), a space only inside.
bool is_storable_name(const std::string& name);

class os65d_writer final : public disk_writer {
 public:
  // `file` is the whole image file in memory and `disk` reads it; both outlive the writer.
  os65d_writer(std::vector<unsigned char>& file, os65d_volume& disk) : file_(file), disk_(disk) {}

  bool accepts_name(const std::string& name) const override { return is_storable_name(name); }
  write_problem check_program(const std::string&, std::optional<uint16_t>) const override {
    return {};
  }
  write_problem store_program(const std::string& name, uint16_t load_address,
                              std::span<const unsigned char> program) override;
  write_problem put_file(const std::string& name, std::span<const unsigned char> data) override;
  write_problem delete_entry(const entry& e) override;
  write_problem rename_entry(const entry& e, const std::string& name) override;

 private:
  // The entry `name` names, or a new one for a file of `size` bytes (`existing` says which),
  // when a file may be written to its tracks (file_tracks).
  write_problem target_entry(const std::string& name, std::size_t size, entry& target,
                             bool& existing);
  // Writes the directory entry of a new file `e` (its slot, name and tracks).
  void write_new_entry(const entry& e);
  // The entry's tracks, when a file may be written to them: readable, off the system tracks,
  // claimed by no other entry.
  write_problem file_tracks(const entry& target, int& first, int& last);
  write_problem new_entry(const std::string& name, std::size_t file_size, entry& made);
  void write(const std::vector<byte_place>& places, std::span<const unsigned char> bytes);
  void write_directory_entry(int slot, std::span<const unsigned char, 8> bytes);

  std::vector<unsigned char>& file_;
  os65d_volume& disk_;
};

// The header and contents of a BASIC file of `file_size` bytes: `old` (the file now, or
// empty) with the program area placed for `load_address`, the bytes in front kept.
std::vector<unsigned char> basic_file_bytes(std::span<const unsigned char> old,
                                            std::size_t file_size, uint16_t load_address,
                                            std::span<const unsigned char> program,
                                            std::size_t track_bytes);

}  // namespace brenvik::disk
