// Storing programs into a copy of a disk image: the disk read once and held in memory, the
// writer of its DOS, which version and load address each program gets, and the check that
// the written image reads back as stored. Problems come back as values; the command line
// words them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "disk/container.h"
#include "disk/disk_writer.h"
#include "disk/volume.h"

namespace brenvik::disk {

// The version and load address a program is made for, and what to say of them.
struct store_plan {
  write_problem problem;  // what keeps the program out before it is made
  int version = 0;
  uint16_t load_address = 0;
  bool version_chosen = false;  // no version was given: say the one taken
  enum address_note {
    as_given,               // given, or the version's own, or the entry's program's
    where_programs_lie,     // the address most of the disk's BASIC programs have
    above_version_address,  // the version's address lies below a file's memory
  } note = as_given;
};

class disk_store {
 public:
  // `file` is the whole image file, read once; `shape` its geometry.
  disk_store(std::vector<unsigned char> file, const geometry& shape);
  disk_store(const disk_store&) = delete;
  disk_store& operator=(const disk_store&) = delete;

  // The disk's DOS, read once: null, with why() saying what the disk holds, when it holds
  // none known.
  volume* disk() { return disk_.get(); }
  const problem& why() const { return why_; }
  // The writer of the disk's DOS: null when its DOS is not written (HEXDOS) or unknown.
  disk_writer* writer() { return writer_.get(); }

  // The version and load address for a program stored under `name`. The load address is
  // `load_address` when given, else that of the program the entry holds; for a new entry
  // (or one holding no program) the address most of the disk's BASIC programs have, or on a
  // disk with none the version's when a file's memory ($327E on) holds it, else $327E. On a
  // Pico-DOS disk it is $0300 and no other. The version is `version` when given, else the
  // one that address names, else the disk's own BASIC.
  store_plan plan(const std::string& name, int version, std::optional<uint16_t> load_address);

  // Stores the program area `program`, made as `plan` says, under `name`; the problem that
  // kept it out, with the image unchanged.
  write_problem store(const std::string& name, const store_plan& plan,
                      std::span<const unsigned char> program);

  // The disk workshop's changes, through the writer, kept for the read-back as stores are.
  write_problem put(const std::string& name, std::span<const unsigned char> data);
  write_problem remove(const entry& e);
  write_problem rename(const entry& e, const std::string& name);

  // The image file with every change made so far.
  const std::vector<unsigned char>& file() const { return file_; }

  // Reads `written`, the image as written to its file (of geometry `shape`: another form
  // than the one read, perhaps), with a reader of its own: the name of the first entry that
  // is not there as it was written, its directory entry or its file, or nothing.
  std::optional<std::string> misread(image_bytes& written, const geometry& shape);

 private:
  std::optional<uint16_t> common_program_address();
  // Keeps what was written under the writer's stored_as() name for the read-back.
  void record(std::span<const unsigned char> bytes, bool program);

  std::vector<unsigned char> file_;
  std::unique_ptr<image_bytes> bytes_;
  std::unique_ptr<volume> disk_;
  std::unique_ptr<disk_writer> writer_;
  problem why_;
  // What was written under each name: a program area, or a file's bytes.
  struct written_file {
    std::string name;
    std::vector<unsigned char> bytes;
    bool program;
  };
  std::vector<written_file> written_;
};

}  // namespace brenvik::disk
