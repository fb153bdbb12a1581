// The Pico-DOS and HEXDOS readers over damaged disks: a small sound disk in one of its forms,
// patched and cut short as the input says, read as a listing reads it: the DOS, the
// directory, and every entry's program, which must be a whole chain of links inside the
// bytes read. On a Pico-DOS disk a small program is then stored into a slot, and must read
// back as stored; one that cannot be stored changes nothing.
//
// Input: byte 0 picks the form and whether to cut the image; bytes 1-3 the length to cut it
// to; byte 4 the slot to store into (0: the first empty one); then patches of 3 bytes offset,
// 1 byte length, and that many bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/disk_words.h"
#include "disk/container.h"
#include "disk/picodos.h"
#include "disk/picodos_writer.h"
#include "disk/volume.h"
#include "image/decoder.h"
#include "image/image_format.h"
#include "input_limit.h"
#include "memory_streams.h"
#include "sample_disk.h"
#include "sample_dos_disks.h"

using namespace brenvik;

namespace {

// Traps unless `program` is a program area inside `bytes`: lead byte 00, then a chain of
// links that ends in its end marker exactly at the area's end.
void check_program(const disk::basic_program& program, const std::vector<unsigned char>& bytes) {
  if (program.area + program.length > bytes.size() || program.length < 3 ||
      bytes[program.area] != 0) {
    __builtin_trap();
  }
  const auto area = std::span(bytes).subspan(program.area, program.length);
  const image::chain_walk walk = image::follow_chain(area, 1, program.load_address + 1u);
  if (walk.result != image::chain_walk::complete || walk.end != program.length) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 5 || size > fuzzing::input_limit) return 0;
  std::string image = fuzzing::sample_dos_disk(data[0]);
  const std::size_t cut = data[1] | std::size_t{data[2]} << 8 | std::size_t{data[3]} << 16;
  fuzzing::patch(image, data, size, 5, cut, (data[0] & 8) != 0);

  std::vector<unsigned char> file(image.begin(), image.end());
  const auto bytes = image_in_memory(file);
  disk::geometry shape;
  disk::container_problem problem;
  if (!disk::identify(*bytes, shape, problem)) return 0;
  disk::problem why;
  const auto disk = disk::open_volume(*bytes, shape, why);
  if (!disk) {
    if (describe(why).empty()) __builtin_trap();
    return 0;
  }
  std::vector<disk::entry> entries;
  if (disk->read_directory(entries).kind != disk::problem::none) __builtin_trap();
  disk->free_space(entries);
  for (const disk::entry& entry : entries) {
    describe_contents(*disk, entry);
    std::optional<disk::basic_program> program;
    std::vector<unsigned char> read;
    if (disk->entry_program(entry, program, read).kind != disk::problem::none || !program) continue;
    check_program(*program, read);
    decode_image(
        std::span(read).subspan(program->area, program->length), testing::discard(),
        testing::discard(),
        {.load_address = program->load_address, .fallback_version = disk->basic_version()});
  }

  auto* picodos = dynamic_cast<disk::picodos_volume*>(disk.get());
  if (picodos == nullptr) return 0;
  static const std::string hello =
      testing::image_of(0x0300, {{10, "\x97\"STORED\""}, {20, "\x80"}});
  disk::picodos_writer writer(file, *picodos);
  const int slot = data[4] % 10 != 0 ? data[4] % 10 : writer.empty_slot();
  if (slot == 0 || slot > disk::slot_count(shape.tracks)) return 0;
  const std::vector<unsigned char> before = file;
  if (writer
          .store_program(std::to_string(slot), disk::picodos_load_address, testing::as_bytes(hello))
          .kind != disk::write_problem::none) {
    if (file != before) __builtin_trap();
    return 0;
  }
  const auto written = image_in_memory(file);
  disk::picodos_volume again(*written, shape);
  std::optional<disk::basic_program> program;
  std::vector<unsigned char> read;
  const int first = disk::slot_first_track(slot);
  const disk::entry stored{.first = first, .last = first + 3};
  if (again.entry_program(stored, program, read).kind != disk::problem::none || !program ||
      program->length != hello.size() ||
      std::memcmp(read.data() + program->area, hello.data(), hello.size()) != 0) {
    __builtin_trap();
  }
  return 0;
}
