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
#include "disk/store.h"
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
  if (!entry || entry->tracks(disk.shape().tracks, first, last).kind != disk::problem::none) {
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

  std::vector<unsigned char> file(original.begin(), original.end());
  const auto bytes = disk::image_in_memory(file);
  disk::geometry shape;
  disk::container_problem problem;
  if (!disk::identify(*bytes, shape, problem)) __builtin_trap();
  disk::disk_writer writer(file, shape);
  const auto entry = writer.disk().find_entry(name);
  const uint16_t load_address =
      entry ? writer.program_address(*entry).value_or(0x327E) : static_cast<uint16_t>(0x327E);

  testing::memory_input listing(std::string(reinterpret_cast<const char*>(data + 3), size - 3));
  testing::memory_output image;
  if (tokenize_text(listing.file(), image.file(), testing::discard(), version, load_address) != 0) {
    return 0;
  }
  const std::string program = image.bytes();
  const disk::store_problem stored = writer.store(name, load_address, testing::as_bytes(program));
  if (stored.kind != disk::store_problem::none) {
    if (std::memcmp(file.data(), original.data(), file.size()) != 0) __builtin_trap();
    return 0;
  }

  const auto [first, last] = tracks_of(writer.disk(), name);
  if (first < 0) __builtin_trap();
  for (int track = 0; track < shape.tracks; ++track) {
    if ((track >= first && track <= last) || track == writer.disk().directory_track()) continue;
    const std::size_t at = shape.first_track + shape.track_size * static_cast<std::size_t>(track);
    if (std::memcmp(file.data() + at, original.data() + at, shape.track_size) != 0)
      __builtin_trap();
  }
  std::optional<disk::basic_program> found;
  std::vector<unsigned char> read_back;
  if (writer.disk().find_basic(first, last, found, read_back).kind != disk::problem::none ||
      !found || found->length != program.size() ||
      std::memcmp(read_back.data() + found->area, program.data(), program.size()) != 0) {
    __builtin_trap();
  }
  return 0;
}
