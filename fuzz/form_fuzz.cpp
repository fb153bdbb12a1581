// Converting damaged disks between the two forms, and checking their tracks: a small sound
// disk in one of its forms, patched and cut short as the input says, converted to the other
// form and back, holds the same sectors on every track (number, pages, data) unless a track
// did not fit; the check of its tracks reads every track without fault.
//
// Input: byte 0 picks the form (flat or bitstream, 5.25" or 8") and whether to cut the image;
// bytes 1-3 the length to cut it to; then patches of 3 bytes offset, 1 byte length, and that
// many bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "disk/container.h"
#include "disk/form_conversion.h"
#include "disk/os65d.h"
#include "disk/track_check.h"
#include "disk_images.h"
#include "input_limit.h"
#include "sample_disk.h"

using namespace brenvik;

namespace {

// Every track's sectors, as the reader finds them: number, pages and data, one after another.
std::vector<std::vector<unsigned char>> sectors_of(std::span<const unsigned char> file) {
  const auto bytes = image_in_memory(file);
  disk::geometry shape;
  disk::container_problem problem;
  if (!disk::identify(*bytes, shape, problem)) __builtin_trap();
  disk::os65d_disk disk(*bytes, shape);
  std::vector<std::vector<unsigned char>> tracks;
  for (int number = 1; number < shape.tracks; ++number) {
    std::vector<disk::sector> found;
    disk.sectors(number, found);
    const std::vector<unsigned char>& data = disk.decoded_track(number).bytes;
    std::vector<unsigned char>& all = tracks.emplace_back();
    for (const disk::sector& s : found) {
      all.push_back(static_cast<unsigned char>(s.number));
      all.push_back(static_cast<unsigned char>(s.pages));
      all.insert(all.end(), data.begin() + static_cast<std::ptrdiff_t>(s.data),
                 data.begin() + static_cast<std::ptrdiff_t>(s.data + s.size()));
    }
  }
  return tracks;
}

// `file` in form `to`, after checking that it converts without a problem; nothing when a
// track was cut.
std::vector<unsigned char> converted(std::span<const unsigned char> file, disk::form to) {
  const auto bytes = image_in_memory(file);
  disk::geometry shape;
  disk::container_problem problem;
  if (!disk::identify(*bytes, shape, problem)) __builtin_trap();
  std::vector<unsigned char> out;
  std::vector<disk::cut_track> cut;
  if (disk::convert_form(*bytes, shape, to, out, cut).kind != disk::conversion_problem::none)
    __builtin_trap();
  if (!cut.empty()) out.clear();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 4 || size > fuzzing::input_limit) return 0;
  std::string image = fuzzing::sample_disk(data[0]);
  const std::size_t cut = data[1] | std::size_t{data[2]} << 8 | std::size_t{data[3]} << 16;
  fuzzing::patch(image, data, size, 4, cut, (data[0] & 4) != 0);

  const auto bytes = image_in_memory(testing::as_bytes(image));
  disk::geometry shape;
  disk::container_problem problem;
  if (!disk::identify(*bytes, shape, problem)) return 0;
  disk::check_tracks(*bytes, shape,
                     (data[0] & 8) != 0 ? disk::track_framing::hexdos : disk::track_framing::os65d);
  if (shape.tracks == 80) return 0;  // no flat form
  const disk::form other =
      shape.kind == disk::form::flat ? disk::form::bitstream : disk::form::flat;
  const std::vector<unsigned char> there = converted(testing::as_bytes(image), other);
  if (there.empty()) return 0;
  const std::vector<unsigned char> back = converted(there, shape.kind);
  if (back.empty()) return 0;
  const auto sectors = sectors_of(testing::as_bytes(image));
  if (sectors_of(there) != sectors || sectors_of(back) != sectors) __builtin_trap();
  return 0;
}
