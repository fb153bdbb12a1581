#include "disk/blank_disk.h"

#include <algorithm>
#include <cstddef>

#include "disk/form_conversion.h"
#include "disk/os65d.h"
#include "image_bytes.h"

namespace brenvik::disk {

namespace {

constexpr std::size_t page = 256;
constexpr unsigned char unused_entry[] = {0x23, 0x23, 0x23, 0x23, 0x23, 0x23, 0x00, 0x00};

// Writes sector `number` of `pages` pages at `at` in a track; returns where its data starts.
std::size_t put_sector(std::vector<unsigned char>& file, std::size_t at, int number, int pages) {
  file[at] = 0x76;
  file[at + 1] = static_cast<unsigned char>(number);
  file[at + 2] = static_cast<unsigned char>(pages);
  const std::size_t end = at + 3 + page * static_cast<std::size_t>(pages);
  file[end] = 0x47;
  file[end + 1] = 0x53;
  return at + 3;
}

}  // namespace

std::vector<unsigned char> blank_disk(bool eight_inch, form kind) {
  const int tracks = eight_inch ? 77 : 40;
  const std::size_t track_size = eight_inch ? 3840 : 2304;
  const int directory_track = eight_inch ? 8 : 12;
  const int pages = eight_inch ? 12 : 8;
  std::vector<unsigned char> flat(track_size * static_cast<std::size_t>(tracks), 0);
  for (int number = 1; number < tracks; ++number) {
    const std::size_t at = track_size * static_cast<std::size_t>(number);
    const unsigned char header[] = {0x43, 0x57, to_bcd(number), 0x58};
    std::copy(std::begin(header), std::end(header), flat.begin() + static_cast<std::ptrdiff_t>(at));
    if (number != directory_track) {
      put_sector(flat, at + sizeof header, 1, pages);
      continue;
    }
    std::size_t next = at + sizeof header;
    for (int sector = 1; sector <= 2; ++sector) {
      const std::size_t data = put_sector(flat, next, sector, 1);
      for (std::size_t entry = 0; entry < page; entry += sizeof unused_entry)
        std::copy(std::begin(unused_entry), std::end(unused_entry),
                  flat.begin() + static_cast<std::ptrdiff_t>(data + entry));
      next = data + page + 2;
    }
  }
  if (kind == form::flat) return flat;
  const auto image = image_in_memory(flat);
  const geometry shape{.kind = form::flat,
                       .eight_inch = eight_inch,
                       .tracks = tracks,
                       .first_track = 0,
                       .track_size = track_size};
  std::vector<unsigned char> bitstream;
  std::vector<cut_track> cut;  // a blank track fits whole
  convert_form(*image, shape, form::bitstream, bitstream, cut);
  return bitstream;
}

}  // namespace brenvik::disk
