// Storing programs into a copy of an OS65D disk image: which version and load address a
// program gets, what keeps it out (said on the message stream, naming the disk and the
// entry), and the check that the written image reads back as stored.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "disk/container.h"
#include "disk/os65d.h"
#include "disk/picodos.h"
#include "disk/picodos_store.h"
#include "disk/store.h"

namespace brenvik::disk {

class disk_store {
 public:
  // Writes the program area for `version` and `load_address` to `out`; returns what the
  // converter returns (-1: the program cannot be made, after its own message).
  using converter = std::function<int(int version, uint16_t load_address, FILE* out)>;

  // `file` is the whole image file, read once; `shape` its geometry; `label` names the disk
  // in messages.
  disk_store(std::vector<unsigned char> file, const geometry& shape, std::string label);
  disk_store(const disk_store&) = delete;
  disk_store& operator=(const disk_store&) = delete;

  // The disk as it is now, read as OS65D.
  os65d_disk& disk() { return disk_; }

  // The DOS the disk holds, told by content as for listing: "OS65D", "Pico-DOS", "HEXDOS".
  // False, after saying why on `err` (`program` names the tool), when it holds none known
  // or one that is not written (HEXDOS).
  bool ready(const char* program, FILE* err) const;
  // Whether `name` can be stored: an OS65D file name (is_storable_name); on a Pico-DOS disk
  // any name, a slot number naming its slot and others the first empty one.
  bool accepts_name(const std::string& name) const;
  // The image file with every program stored so far.
  const std::vector<unsigned char>& file() const { return file_; }

  // Stores under `name` the program that `convert` makes. The load address is `load_address`
  // when given, else that of the program the entry holds; for a new entry (or one holding
  // no program) the address most of the disk's BASIC programs have, or on a disk with none
  // the version's when a file's memory ($327E on) holds it, else $327E, said on `err` when
  // it is not the version's. The version is `version` when given, else the one that address
  // names, else the disk's own OS65D BASIC, and is said on `err`. Whatever keeps the
  // program out is said on `err`, and the image is left as it was. Returns true when the
  // program is stored.
  //
  // On a Pico-DOS disk the program goes into the slot `name` numbers, or else the first
  // empty one, at $0300 (-l may give no other address), listed with `version` or else row 0.
  bool store(const std::string& name, int version, std::optional<uint16_t> load_address,
             const converter& convert, FILE* err);

  // Reads `written`, the image as written to its file, with a reader of its own: the name
  // of the first program stored that is not there as it was stored, or nothing.
  std::optional<std::string> misread(image_bytes& written) const;

 private:
  std::optional<uint16_t> common_program_address();
  bool store_in_slot(const std::string& name, int version, std::optional<uint16_t> load_address,
                     const converter& convert, FILE* err);
  void report_problem(const std::string& name, uint16_t load_address, const store_problem& p,
                      FILE* err) const;

  std::vector<unsigned char> file_;
  std::unique_ptr<image_bytes> bytes_;
  os65d_disk disk_;
  disk_writer writer_;
  std::string label_;
  std::vector<std::pair<std::string, std::vector<unsigned char>>> stored_;
  problem why_;                              // no DOS known: what the disk holds
  const char* dos_ = nullptr;                // the DOS the disk holds, if known
  std::unique_ptr<picodos_volume> picodos_;  // a Pico-DOS disk, with the writer of its slots
  std::unique_ptr<picodos_writer> slots_;
};

}  // namespace brenvik::disk
