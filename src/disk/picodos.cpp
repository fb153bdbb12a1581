#include "disk/picodos.h"

#include <algorithm>
#include <string>

namespace brenvik::disk {

bool picodos_volume::holds_header(int track) {
  std::vector<sector> found;
  disk_.sectors(track, found);
  if (found.empty() || found[0].size() < file_header_size + 1) return false;
  const std::vector<unsigned char>& bytes = disk_.decoded_track(track).bytes;
  const std::size_t at = found[0].data;
  return bytes[at] == 0x01 && bytes[at + 1] == 0x03 && bytes[at + file_header_size] == 0;
}

bool picodos_volume::track_writable(int track) {
  std::vector<sector> found;
  return disk_.sectors(track, found).kind == problem::none ||
         disk_.takes_sector(track, slot_sector_pages);
}

int picodos_volume::slot_named(const std::string& name) const {
  if (name.empty() || name.size() > 2 || name.front() == '0' ||
      !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  const int slot = std::stoi(name);
  return slot <= slot_count(disk_.shape().tracks) ? slot : 0;
}

problem picodos_volume::read_directory(std::vector<entry>& entries) {
  entries.clear();
  const int tracks = disk_.shape().tracks;
  std::vector<bool> held(static_cast<std::size_t>(tracks), false);
  const auto add = [&](int slot, std::string name, int first) {
    const int last = std::min(first + slot_track_count - 1, tracks - 1);
    entries.push_back({.slot = slot,
                       .name = std::move(name),
                       .tracks = std::to_string(first) + "-" + std::to_string(last),
                       .first = first,
                       .last = last});
    for (int t = first; t <= last; ++t)
      held[static_cast<std::size_t>(t)] = true;
  };
  const int slots = slot_count(tracks);
  for (int slot = 1; slot <= slots; ++slot) {
    if (holds_header(slot_first_track(slot))) {
      add(slot, std::to_string(slot), slot_first_track(slot));
    }
  }
  // A program the DOS did not put into a slot: on the tracks of empty slots and after them.
  for (int track = slot_first_track(1); track < tracks; ++track) {
    const bool slot_start =
        (track + 1) % slot_track_count == 0 && (track + 1) / slot_track_count <= slots;
    if (held[static_cast<std::size_t>(track)] || slot_start || !holds_header(track)) continue;
    std::string name = std::to_string(track);
    name.insert(name.begin(), 'T');
    add(slots + track, std::move(name), track);
  }
  return {};
}

std::vector<int> picodos_volume::free_space(const std::vector<entry>& entries) {
  std::vector<int> free;
  for (int slot = 1; slot <= slot_count(disk_.shape().tracks); ++slot) {
    const int first = slot_first_track(slot);
    const bool held = std::any_of(entries.begin(), entries.end(), [&](const entry& e) {
      return e.first >= 0 && e.first <= first + slot_track_count - 1 && e.last >= first;
    });
    bool formatted = !held;
    for (int track = first; formatted && track < first + slot_track_count; ++track)
      formatted = track_writable(track);
    for (int track = first; formatted && track < first + slot_track_count; ++track)
      free.push_back(track);
  }
  return free;
}

problem picodos_volume::entry_program(const entry& e, std::optional<basic_program>& program,
                                      std::vector<unsigned char>& bytes) {
  program.reset();
  bytes.clear();
  if (e.first < 0) return e.track_problem;
  return disk_.find_basic(e.first, e.last, program, bytes, picodos_file_address);
}

problem picodos_volume::entry_file(const entry& e, std::vector<unsigned char>& bytes) {
  bytes.clear();
  return disk_.data_of(e.first, e.last, bytes);
}

}  // namespace brenvik::disk
