// The disk reader over damaged disks: a small sound disk in one of its forms, patched and
// cut short as the input says, then read as a listing of it reads it: the directory, what
// every entry holds, and the program of one entry, named by the input.
//
// Input: byte 0 picks the form (flat or bitstream, 5.25" or 8") and whether to cut the image;
// bytes 1-3 the length to cut it to; byte 4 the length n of the entry name that follows;
// then patches of 3 bytes offset, 1 byte length, and that many bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/disk_words.h"
#include "disk/container.h"
#include "disk/volume.h"
#include "disk_images.h"
#include "image/decoder.h"
#include "input_limit.h"
#include "memory_streams.h"
#include "sample_disk.h"

using namespace brenvik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 5 || size > fuzzing::input_limit) return 0;
  std::string image = fuzzing::sample_disk(data[0]);
  const std::size_t cut = data[1] | std::size_t{data[2]} << 8 | std::size_t{data[3]} << 16;
  const std::size_t name_length = data[4];
  if (5 + name_length > size) return 0;
  const std::string name(reinterpret_cast<const char*>(data + 5), name_length);
  fuzzing::patch(image, data, size, 5 + name_length, cut, (data[0] & 4) != 0);

  const auto bytes = image_in_memory(testing::as_bytes(image));
  disk::geometry shape;
  disk::container_problem problem;
  if (!disk::identify(*bytes, shape, problem)) return 0;
  disk::problem why;
  const auto disk = disk::open_volume(*bytes, shape, why);
  if (!disk) return 0;
  std::vector<disk::entry> entries;
  if (disk->read_directory(entries).kind != disk::problem::none) __builtin_trap();
  for (const disk::entry& entry : entries) {
    describe_contents(*disk, entry);
    if (entry.name.find(name) != 0 || name.empty()) continue;
    std::optional<disk::basic_program> program;
    std::vector<unsigned char> file;
    if (disk->entry_program(entry, program, file).kind != disk::problem::none || !program) continue;
    if (program->area + program->length > file.size()) __builtin_trap();
    decode_image(
        std::span(file).subspan(program->area, program->length), testing::discard(),
        testing::discard(),
        {.load_address = program->load_address, .fallback_version = disk->basic_version()});
  }
  return 0;
}
