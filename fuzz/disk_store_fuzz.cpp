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
#include "disk/os65d.h"
#include "disk/storing.h"
#include "disk_images.h"
#include "input_limit.h"
#include "memory_streams.h"
#include "sample_disk.h"
#include "tokenize/tokenizer.h"

namespace {

using namespace brenvik;

// The tracks of the entry `name`, or -1 -1.
std::pair<int, int> tracks_of(disk::os65d_disk& disk, const std::string& name) {
  const auto entry = disk.find_entry(name);
  int first = 0;
  int last = 0;
  if (!entry ||
      entry->decode_tracks(disk.shape().tracks, first, last).kind != disk::problem::none) {
    return {-1, -1};
  }
  return {first, last};
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
  disk::disk_store store(std::vector<unsigned char>(original.begin(), original.end()), shape,
                         "fuzz");
  const std::string listing(reinterpret_cast<const char*>(data + 3), size - 3);
  std::string program;
  const auto tokenize = [&](int row, uint16_t load_address, FILE* out) {
    testing::memory_input in(listing);
    testing::memory_output image;
    const int result =
        tokenize_text(in.file(), image.file(), testing::discard(), row, load_address);
    program = image.bytes();
    std::fwrite(program.data(), 1, program.size(), out);
    return result;
  };
  const std::vector<unsigned char>& file = store.file();
  if (!store.store(name, version, std::nullopt, tokenize, testing::discard())) {
    if (std::memcmp(file.data(), original.data(), file.size()) != 0) __builtin_trap();
    return 0;
  }

  // A reader of its own sees the program, and nothing else changed.
  const auto written = image_in_memory(file);
  disk::os65d_disk disk(*written, shape);
  if (store.misread(*written)) __builtin_trap();
  const auto [first, last] = tracks_of(disk, name);
  if (first < 0) __builtin_trap();
  for (int track = 0; track < shape.tracks; ++track) {
    if ((track >= first && track <= last) || track == disk.directory_track()) continue;
    const std::size_t at = shape.first_track + shape.track_size * static_cast<std::size_t>(track);
    if (std::memcmp(file.data() + at, original.data() + at, shape.track_size) != 0)
      __builtin_trap();
  }
  std::optional<disk::basic_program> found;
  std::vector<unsigned char> read_back;
  if (disk.find_basic(first, last, found, read_back).kind != disk::problem::none || !found ||
      found->length != program.size() ||
      std::memcmp(read_back.data() + found->area, program.data(), program.size()) != 0) {
    __builtin_trap();
  }
  return 0;
}
