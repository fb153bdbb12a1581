#include "disk/picodos_writer.h"

#include <algorithm>

namespace brenvik::disk {

namespace {

constexpr int slot_last_track(int slot) {
  return slot_first_track(slot) + slot_track_count - 1;
}

// The bytes slot `slot` holds, a track that is yet to get its sector counted with one; or
// the problem of a track that can take no program.
problem slot_size(picodos_volume& disk, int slot, std::size_t& size) {
  size = 0;
  std::vector<sector> found;
  for (int track = slot_first_track(slot); track <= slot_last_track(slot); ++track) {
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

bool is_number(const std::string& name) {
  return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::unique_ptr<disk_writer> picodos_volume::writer(std::vector<unsigned char>& file) {
  return std::make_unique<picodos_writer>(file, *this);
}

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

write_problem picodos_writer::check_program(const std::string& name,
                                            std::optional<uint16_t> load_address) const {
  if (disk_.slot_named(name) == 0 && is_number(name)) {
    return {.kind = write_problem::no_such_slot, .slots = slot_count(disk_.shape().tracks)};
  }
  if (load_address && *load_address != picodos_load_address) {
    return {.kind = write_problem::slot_address};
  }
  return {};
}

write_problem picodos_writer::store_program(const std::string& name, uint16_t load_address,
                                            std::span<const unsigned char> program) {
  if (write_problem p = check_program(name, load_address); p.kind != write_problem::none) {
    return p;
  }
  const int slot = disk_.slot_named(name) != 0 ? disk_.slot_named(name) : empty_slot();
  if (slot == 0) return {.kind = write_problem::no_empty_slot};
  return store_in_slot(slot, program);
}

write_problem picodos_writer::store_in_slot(int slot, std::span<const unsigned char> program) {
  if (program.size() > slot_room) {
    return {.kind = write_problem::too_big,
            .needed = program.size(),
            .available = slot_room,
            .slot = slot};
  }
  std::size_t size = 0;
  if (const problem p = slot_size(disk_, slot, size); p.kind != problem::none) {
    return {.kind = write_problem::entry_unreadable, .tracks = p, .slot = slot};
  }
  if (size < file_header_size + program.size()) {
    return {.kind = write_problem::too_big,
            .needed = program.size(),
            .available = size - std::min(size, file_header_size),
            .slot = slot};
  }
  std::vector<unsigned char> bytes(file_header_size + program.size(), 0);
  const auto header = basic_file_header(picodos_load_address, program.size(), slot_track_count);
  std::copy(header.begin(), header.end(), bytes.begin());
  std::copy(program.begin(), program.end(), bytes.begin() + file_header_size);
  bytes.resize(slot_bytes, 0);  // zeros to the end of the slot
  return write_slot(slot, bytes);
}

write_problem picodos_writer::write_slot(int slot, std::span<const unsigned char> bytes) {
  os65d_disk& disk = disk_.disk();
  std::vector<sector> found;
  for (int track = slot_first_track(slot); track <= slot_last_track(slot); ++track) {
    if (disk.sectors(track, found).kind != problem::none) {
      disk.add_sector(file_, track, slot_sector_pages);
    }
  }
  std::vector<byte_place> places;
  if (const problem p = disk.data_places(slot_first_track(slot), slot_last_track(slot), places);
      p.kind != problem::none) {
    return {.kind = write_problem::entry_unreadable, .tracks = p, .slot = slot};
  }
  places.resize(std::min(places.size(), bytes.size()));
  disk.write_bytes(file_, places, bytes);
  for (int track = slot_first_track(slot); track <= slot_last_track(slot); ++track)
    written_.insert(track);
  disk_.forget_directory();
  stored_as_ = std::to_string(slot);
  return {};
}

write_problem picodos_writer::put_file(const std::string& name,
                                       std::span<const unsigned char> data) {
  if (disk_.slot_named(name) == 0 && is_number(name)) {
    return {.kind = write_problem::no_such_slot, .slots = slot_count(disk_.shape().tracks)};
  }
  const int slot = disk_.slot_named(name) != 0 ? disk_.slot_named(name) : empty_slot();
  if (slot == 0) return {.kind = write_problem::no_empty_slot};
  std::size_t size = 0;
  if (const problem p = slot_size(disk_, slot, size); p.kind != problem::none) {
    return {.kind = write_problem::entry_unreadable, .tracks = p, .slot = slot};
  }
  if (data.size() > size) {
    return {.kind = write_problem::file_too_big,
            .needed = data.size(),
            .available = size,
            .slot = slot};
  }
  std::vector<unsigned char> bytes(data.begin(), data.end());
  if (!disk_.holds_header(slot_first_track(slot))) bytes.resize(size, 0);
  return write_slot(slot, bytes);
}

write_problem picodos_writer::delete_entry(const entry& e) {
  // A slot is used while its first bytes are a program header: start $0301 goes.
  std::vector<byte_place> places;
  if (const problem p = disk_.disk().data_places(e.first, e.first, places);
      p.kind != problem::none) {
    return {.kind = write_problem::entry_unreadable, .tracks = p};
  }
  const unsigned char cleared[2] = {0, 0};
  places.resize(2);
  disk_.disk().write_bytes(file_, places, cleared);
  written_.insert(e.first);
  disk_.forget_directory();
  return {};
}

}  // namespace brenvik::disk
