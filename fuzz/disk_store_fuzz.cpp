// Storing any listing into a disk: the program reads back as it was tokenized, and no byte
// outside the target entry's tracks and its directory entry changes; a program that is not
// stored changes nothing at all.
//
// Input: byte 0 picks the disk (flat or bitstream, 5.25" or 8"), byte 1 the entry, byte 2
// the version; the rest is the listing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "disk/container.h"
#include "disk/disk_store.h"
#include "disk/os65d.h"
#include "disk/volume.h"
#include "disk_images.h"
#include "input_limit.h"
#include "memory_streams.h"
#include "sample_disk.h"
#include "tokenize/tokenizer.h"

namespace {

using namespace brenvik;

// The tracks of the entry `name`, or -1 -1.
std::pair<int, int> tracks_of(disk::volume& disk, const std::string& name) {
  const auto entry = disk.find_entry(name);
  if (!entry || entry->track_problem.kind != disk::problem::none) return {-1, -1};
  return {entry->first, entry->last};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 3 || size > fuzzing::input_limit) return 0;
  static const char* const names[] = {"HELLO", "MOVED", "DATA", "NEWONE", "OS65D3"};
  const std::string& original = fuzzing::sample_disk(data[0]);
  const std::string name = names[data[1] % 5];
  const int version = data[2] % 7;

  const auto original_bytes = image_in_memory(testing::as_bytes(original));
  disk::geometry shape;
  disk::container_problem problem;
  if (!disk::identify(*original_bytes, shape, problem)) __builtin_trap();
  disk::disk_store store(std::vector<unsigned char>(original.begin(), original.end()), shape);
  if (store.writer() == nullptr) __builtin_trap();
  const std::string listing(reinterpret_cast<const char*>(data + 3), size - 3);
  const disk::store_plan plan = store.plan(name, version, std::nullopt);
  const std::vector<unsigned char>& file = store.file();
  testing::memory_input in(listing);
  testing::memory_output image;
  const int result = plan.problem.kind != disk::write_problem::none
                         ? -1
                         : tokenize_text(in.file(), image.file(), testing::discard(), plan.version,
                                         plan.load_address);
  const std::string program = image.bytes();
  if (result < 0 ||
      store.store(name, plan, testing::as_bytes(program)).kind != disk::write_problem::none) {
    if (std::memcmp(file.data(), original.data(), file.size()) != 0) __builtin_trap();
    return 0;
  }

  // A reader of its own sees the program, and nothing else changed.
  const auto written = image_in_memory(file);
  disk::problem why;
  const auto disk = disk::open_volume(*written, shape, why);
  if (!disk) __builtin_trap();
  if (store.misread(*written, shape)) __builtin_trap();
  const auto [first, last] = tracks_of(*disk, name);
  if (first < 0) __builtin_trap();
  for (int track = 0; track < shape.tracks; ++track) {
    if ((track >= first && track <= last) || track == disk->directory_track()) continue;
    const std::size_t at = shape.first_track + shape.track_size * static_cast<std::size_t>(track);
    if (std::memcmp(file.data() + at, original.data() + at, shape.track_size) != 0)
      __builtin_trap();
  }
  std::optional<disk::basic_program> found;
  std::vector<unsigned char> read_back;
  disk::os65d_disk reader(*written, shape);
  if (reader.find_basic(first, last, found, read_back).kind != disk::problem::none || !found ||
      found->length != program.size() ||
      std::memcmp(read_back.data() + found->area, program.data(), program.size()) != 0) {
    __builtin_trap();
  }
  return 0;
}
