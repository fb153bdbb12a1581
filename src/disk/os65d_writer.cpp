#include "disk/os65d_writer.h"

#include <algorithm>
#include <string_view>

#include "image/image_format.h"

namespace brenvik::disk {

namespace {

// Characters of real OS65D names besides letters and digits.
constexpr std::string_view name_punctuation = "!$%&'()*+-./:;<>?@[\\]^_ ";

}  // namespace

bool is_storable_name(const std::string& name) {
  if (name.empty() || name.size() > directory_name_size || name.front() == ' ' ||
      name.back() == ' ') {
    return false;
  }
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           name_punctuation.find(c) != std::string_view::npos;
  });
}

std::array<unsigned char, file_header_size> basic_file_header(uint16_t load_address,
                                                              std::size_t size, int track_count) {
  const unsigned start = load_address + 1u;
  const unsigned end = load_address + static_cast<unsigned>(size) + 1u;
  return {image::low_byte(start), image::high_byte(start), image::low_byte(end),
          image::high_byte(end), static_cast<unsigned char>(track_count)};
}

std::vector<unsigned char> basic_file_bytes(std::span<const unsigned char> old,
                                            std::size_t file_size, uint16_t load_address,
                                            std::span<const unsigned char> program,
                                            std::size_t track_bytes) {
  std::vector<unsigned char> file(file_size, 0);
  std::copy_n(old.begin(), std::min(old.size(), file_size), file.begin());
  const std::size_t area = load_address - file_load_address;
  const std::size_t memory = area + program.size() + 1;  // $3279 to the header's end
  const auto header = basic_file_header(load_address, program.size(),
                                        static_cast<int>((memory + track_bytes - 1) / track_bytes));
  std::copy(header.begin(), header.end(), file.begin());
  std::copy(program.begin(), program.end(), file.begin() + static_cast<std::ptrdiff_t>(area));
  std::fill(file.begin() + static_cast<std::ptrdiff_t>(area + program.size()), file.end(), 0);
  return file;
}

void os65d_writer::write(const std::vector<byte_place>& places,
                         std::span<const unsigned char> bytes) {
  disk_.disk().write_bytes(file_, places, bytes);
  for (const byte_place& at : places)
    written_.insert(at.track);
}

void os65d_writer::write_directory_entry(int slot, std::span<const unsigned char, 8> bytes) {
  os65d_disk& disk = disk_.disk();
  std::vector<sector> found;
  disk.sectors(disk.directory_track(), found);
  const std::size_t at = os65d_disk::directory_slot_at(found, slot);
  std::vector<byte_place> places;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    places.push_back({disk.directory_track(), at + i});
  write(places, bytes);
  disk_.forget_directory();
}

write_problem os65d_writer::file_tracks(const entry& target, int& first, int& last) {
  if (target.track_problem.kind != problem::none) {
    return {.kind = write_problem::entry_unreadable, .tracks = target.track_problem};
  }
  first = target.first;
  last = target.last;
  // The DOS's boot tracks and the directory are no file's to overwrite.
  for (const int system : {0, disk_.directory_track()}) {
    if (first <= system && system <= last) {
      return {.kind = write_problem::system_track, .tracks = {.track = system}};
    }
  }
  if (const std::vector<entry> others = disk_.overlapping(target); !others.empty()) {
    const entry& other = others.front();
    return {.kind = write_problem::overlapping,
            .first = std::max(first, std::min(other.first, other.last)),
            .last = std::min(last, std::max(other.first, other.last)),
            .other = other.name};
  }
  return {};
}

write_problem os65d_writer::store_program(const std::string& name, uint16_t load_address,
                                          std::span<const unsigned char> program) {
  if (load_address < first_file_address) return {.kind = write_problem::below_file};
  // The memory from $3279 to the header's end, which is one past the end marker's address,
  // and the tracks the header says to load for it.
  const std::size_t needed = load_address - file_load_address + program.size() + 1;
  os65d_disk& disk = disk_.disk();
  const std::size_t track_bytes = disk.program_sector_size();
  const auto count = static_cast<int>((needed + track_bytes - 1) / track_bytes);

  entry target;
  bool existing = false;
  if (write_problem p = target_entry(name, needed, target, existing);
      p.kind != write_problem::none) {
    return p;
  }
  const int first = target.first;
  const int last = target.last;
  // Only the program's tracks are written: the entry's other tracks stay as they are,
  // whatever they hold.
  std::vector<byte_place> places;
  if (const problem p = disk.data_places(first, std::min(last, first + count - 1), places);
      p.kind != problem::none) {
    return {.kind = write_problem::entry_unreadable, .tracks = p};
  }
  if (needed > places.size() || first + count - 1 > last) {
    std::vector<byte_place> whole;
    if (disk.data_places(first, last, whole).kind != problem::none) whole.clear();
    return {.kind = write_problem::too_big,
            .needed = needed,
            .available = std::max(places.size(), whole.size())};
  }

  std::vector<unsigned char> old(places.size());
  if (existing) {
    for (std::size_t i = 0; i < places.size(); ++i)
      old[i] = disk.decoded_track(places[i].track).bytes[places[i].index];
  }
  write(places, basic_file_bytes(old, places.size(), load_address, program, track_bytes));
  if (!existing) write_new_entry(target);
  stored_as_ = target.name;
  return {};
}

write_problem os65d_writer::target_entry(const std::string& name, std::size_t size, entry& target,
                                         bool& existing) {
  const std::optional<entry> found = disk_.find_entry(name);
  existing = found.has_value();
  if (found) {
    target = *found;
  } else if (write_problem p = new_entry(name, size, target); p.kind != write_problem::none) {
    return p;
  }
  int first = 0;
  int last = 0;
  return file_tracks(target, first, last);
}

void os65d_writer::write_new_entry(const entry& e) {
  std::array<unsigned char, directory_entry_size> bytes{};
  std::fill_n(bytes.begin(), directory_name_size, ' ');
  std::copy_n(e.name.begin(), std::min(e.name.size(), directory_name_size), bytes.begin());
  bytes[first_track_at] = to_bcd(e.first);
  bytes[last_track_at] = to_bcd(e.last);
  write_directory_entry(e.slot, bytes);
}

write_problem os65d_writer::put_file(const std::string& name, std::span<const unsigned char> data) {
  entry target;
  bool existing = false;
  // An empty file still takes a track.
  if (write_problem p = target_entry(name, std::max<std::size_t>(data.size(), 1), target, existing);
      p.kind != write_problem::none) {
    return p;
  }
  const int first = target.first;
  const int last = target.last;
  std::vector<byte_place> places;
  if (const problem p = disk_.disk().data_places(first, last, places); p.kind != problem::none) {
    return {.kind = write_problem::entry_unreadable, .tracks = p};
  }
  if (data.size() > places.size()) {
    return {.kind = write_problem::file_too_big, .needed = data.size(), .available = places.size()};
  }
  if (existing) places.resize(data.size());
  std::vector<unsigned char> bytes(places.size(), 0);
  std::copy(data.begin(), data.end(), bytes.begin());
  write(places, bytes);
  if (!existing) write_new_entry(target);
  stored_as_ = target.name;
  return {};
}

write_problem os65d_writer::delete_entry(const entry& e) {
  std::array<unsigned char, directory_entry_size> unused{};
  std::fill_n(unused.begin(), directory_name_size, '#');
  write_directory_entry(e.slot, unused);
  return {};
}

write_problem os65d_writer::rename_entry(const entry& e, const std::string& name) {
  for (const entry& other : disk_.entries()) {
    if (other.slot != e.slot && other.is_named(name)) {
      return {.kind = write_problem::name_taken, .other = other.name};
    }
  }
  std::array<unsigned char, directory_entry_size> bytes{};
  std::fill_n(bytes.begin(), directory_name_size, ' ');
  std::copy_n(name.begin(), std::min(name.size(), directory_name_size), bytes.begin());
  bytes[first_track_at] = e.first_byte;
  bytes[last_track_at] = e.last_byte;
  write_directory_entry(e.slot, bytes);
  stored_as_ = name;
  return {};
}

write_problem os65d_writer::new_entry(const std::string& name, std::size_t file_size, entry& made) {
  const int slot = disk_.free_slot();
  if (slot < 0) return {.kind = write_problem::no_free_entry};
  os65d_disk& disk = disk_.disk();
  const std::size_t track_bytes = disk.program_sector_size();
  const auto count = static_cast<int>((file_size + track_bytes - 1) / track_bytes);
  const int tracks = disk.shape().tracks;
  std::vector<bool> taken(static_cast<std::size_t>(tracks), true);
  for (const int track : free_tracks(tracks, disk.directory_track(), disk_.entries()))
    taken[static_cast<std::size_t>(track)] = false;
  // A free track is of use when it holds one sector of a program track's size.
  const auto formatted = [&](int number) {
    std::vector<sector> found;
    return disk.sectors(number, found).kind == problem::none && found.size() == 1 &&
           found[0].size() == track_bytes;
  };
  for (int first = 1, run = 0; first + run < tracks;) {
    const int number = first + run;
    if (taken[static_cast<std::size_t>(number)] || !formatted(number)) {
      first = number + 1;
      run = 0;
      continue;
    }
    if (++run == count) {
      made = {.slot = slot, .name = name, .first = first, .last = first + count - 1};
      return {};
    }
  }
  return {.kind = write_problem::no_free_tracks, .tracks_needed = count};
}

std::unique_ptr<disk_writer> os65d_volume::writer(std::vector<unsigned char>& file) {
  return std::make_unique<os65d_writer>(file, *this);
}

}  // namespace brenvik::disk
