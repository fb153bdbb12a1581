#include "disk/picodos_store.h"

#include <algorithm>

#include "image/image_format.h"

namespace brenvik::disk {

namespace {

struct place {
  int track;
  std::size_t index;  // in the track's bytes
};

// Where each byte of slot `slot` lies: the data of its tracks' sectors, in order.
problem slot_places(os65d_disk& disk, int slot, std::vector<place>& places) {
  places.clear();
  std::vector<sector> found;
  for (int track = slot_first_track(slot); track < slot_first_track(slot) + slot_track_count;
       ++track) {
    if (const problem p = disk.sectors(track, found); p.kind != problem::none) return p;
    for (const sector& s : found)
      for (std::size_t i = 0; i < s.size(); ++i)
        places.push_back({track, s.data + i});
  }
  return {};
}

// The bytes slot `slot` holds, a track that is yet to get its sector counted with one; or
// the problem of a track that can take no program.
problem slot_size(picodos_volume& disk, int slot, std::size_t& size) {
  size = 0;
  std::vector<sector> found;
  for (int track = slot_first_track(slot); track < slot_first_track(slot) + slot_track_count;
       ++track) {
    const problem p = disk.disk().sectors(track, found);
    if (p.kind == problem::none) {
      for (const sector& s : found)
        size += s.size();
    } else if (disk.track_writable(track)) {
      size += std::size_t{slot_sector_pages} * 256;
    } else {
      return p;
    }
  }
  return {};
}

}  // namespace

int picodos_writer::empty_slot() {
  std::size_t size = 0;
  for (int slot = 1; slot <= slot_count(disk_.shape().tracks); ++slot) {
    if (!disk_.holds_header(slot_first_track(slot)) &&
        slot_size(disk_, slot, size).kind == problem::none) {
      return slot;
    }
  }
  return 0;
}

slot_problem picodos_writer::store(int slot, std::span<const unsigned char> program) {
  if (program.size() > slot_room) {
    return {.kind = slot_problem::too_big, .size = program.size(), .room = slot_room};
  }
  std::size_t size = 0;
  if (const problem p = slot_size(disk_, slot, size); p.kind != problem::none) {
    return {.kind = slot_problem::unreadable, .tracks = p};
  }
  if (size < file_header_size + program.size()) {
    return {.kind = slot_problem::too_big,
            .size = program.size(),
            .room = size - std::min(size, file_header_size)};
  }
  std::vector<sector> found;
  for (int track = slot_first_track(slot); track < slot_first_track(slot) + slot_track_count;
       ++track) {
    if (disk_.disk().sectors(track, found).kind != problem::none) {
      disk_.disk().add_sector(file_, track, slot_sector_pages);
    }
  }
  std::vector<place> places;
  slot_places(disk_.disk(), slot, places);
  // The read-back check would catch a slot that came out smaller than counted.
  std::vector<unsigned char> bytes(std::max(places.size(), file_header_size + program.size()), 0);
  const unsigned start = picodos_load_address + 1u;
  const unsigned end = picodos_load_address + static_cast<unsigned>(program.size()) + 1u;
  bytes[0] = image::low_byte(start);
  bytes[1] = image::high_byte(start);
  bytes[2] = image::low_byte(end);
  bytes[3] = image::high_byte(end);
  bytes[4] = slot_track_count;
  std::copy(program.begin(), program.end(), bytes.begin() + file_header_size);
  for (std::size_t i = 0; i < places.size(); ++i)
    disk_.disk().write_byte(file_, places[i].track, places[i].index, bytes[i]);
  return {};
}

}  // namespace brenvik::disk
