#include "disk/store.h"

#include <algorithm>
#include <string_view>

#include "image/image_format.h"

namespace brenvik::disk {

namespace {

// Characters of real OS65D names besides letters and digits.
constexpr std::string_view name_punctuation = "!$%&'()*+-./:;<>?@[\\]^_ ";

}  // namespace

bool is_storable_name(const std::string& name) {
  if (name.empty() || name.size() > 6 || name.front() == ' ' || name.back() == ' ') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           name_punctuation.find(c) != std::string_view::npos;
  });
}

std::vector<unsigned char> basic_file_bytes(std::span<const unsigned char> old,
                                            std::size_t file_size, uint16_t load_address,
                                            std::span<const unsigned char> program,
                                            std::size_t track_bytes) {
  std::vector<unsigned char> file(file_size, 0);
  std::copy_n(old.begin(), std::min(old.size(), file_size), file.begin());
  const std::size_t area = load_address - file_load_address;
  const unsigned start = load_address + 1u;
  const unsigned end = load_address + static_cast<unsigned>(program.size()) + 1u;
  file[0] = image::low_byte(start);
  file[1] = image::high_byte(start);
  file[2] = image::low_byte(end);
  file[3] = image::high_byte(end);
  file[4] = static_cast<unsigned char>((end - file_load_address + track_bytes - 1) / track_bytes);
  std::copy(program.begin(), program.end(), file.begin() + static_cast<std::ptrdiff_t>(area));
  std::fill(file.begin() + static_cast<std::ptrdiff_t>(area + program.size()), file.end(), 0);
  return file;
}

std::optional<uint16_t> disk_writer::program_address(const directory_entry& entry) {
  std::optional<basic_program> program;
  std::vector<unsigned char> bytes;
  if (disk_.entry_program(entry, program, bytes).kind != problem::none || !program) {
    return std::nullopt;
  }
  return program->load_address;
}

problem disk_writer::file_places(int first, int last, std::vector<place>& places) {
  places.clear();
  std::vector<sector> found;
  for (int number = first; number <= last; ++number) {
    if (const problem p = disk_.sectors(number, found); p.kind != problem::none) return p;
    for (const sector& s : found)
      for (std::size_t i = 0; i < s.size(); ++i)
        places.push_back({number, s.data + i});
  }
  return {};
}

void disk_writer::write(const std::vector<place>& places, std::span<const unsigned char> bytes) {
  for (std::size_t i = 0; i < places.size(); ++i) {
    const place& at = places[i];
    disk_.write_byte(file_, at.track, at.index, bytes[i]);
  }
}

store_problem disk_writer::store(const std::string& name, uint16_t load_address,
                                 std::span<const unsigned char> program) {
  if (load_address < first_file_address) return {.kind = store_problem::below_file};
  // The memory from $3279 to the header's end, which is one past the end marker's address,
  // and the tracks the header says to load for it.
  const std::size_t needed = load_address - file_load_address + program.size() + 1;
  const std::size_t track_bytes = disk_.program_sector_size();
  const auto count = static_cast<int>((needed + track_bytes - 1) / track_bytes);

  directory_entry target;
  const std::optional<directory_entry> existing = disk_.find_entry(name);
  if (existing) {
    target = *existing;
  } else if (const store_problem p = new_entry(name, needed, target);
             p.kind != store_problem::none) {
    return p;
  }
  int first = 0;
  int last = 0;
  if (const problem p = target.decode_tracks(disk_.shape().tracks, first, last);
      p.kind != problem::none) {
    return {.kind = store_problem::entry_unreadable, .tracks = p};
  }
  // The DOS's boot tracks and the directory are no file's to overwrite.
  for (const int system : {0, disk_.directory_track()}) {
    if (first <= system && system <= last) {
      return {.kind = store_problem::system_track, .tracks = {.track = system}};
    }
  }
  // Only the program's tracks are written: the entry's other tracks stay as they are,
  // whatever they hold.
  std::vector<place> places;
  if (const problem p = file_places(first, std::min(last, first + count - 1), places);
      p.kind != problem::none) {
    return {.kind = store_problem::entry_unreadable, .tracks = p};
  }
  if (needed > places.size() || first + count - 1 > last) {
    std::vector<place> whole;
    file_places(first, last, whole);
    return {.kind = store_problem::too_big,
            .needed = needed,
            .available = std::max(places.size(), whole.size())};
  }

  std::vector<unsigned char> old(places.size());
  if (existing) {
    for (std::size_t i = 0; i < places.size(); ++i)
      old[i] = disk_.decoded_track(places[i].track).bytes[places[i].index];
  }
  write(places, basic_file_bytes(old, places.size(), load_address, program, track_bytes));
  if (!existing) {
    std::vector<sector> found;
    disk_.sectors(disk_.directory_track(), found);
    const std::size_t at = os65d_disk::directory_slot_at(found, target.slot);
    std::vector<place> slot;
    for (std::size_t i = 0; i < 8; ++i)
      slot.push_back({disk_.directory_track(), at + i});
    std::vector<unsigned char> bytes(target.name.begin(), target.name.end());
    bytes.push_back(target.first_bcd);
    bytes.push_back(target.last_bcd);
    write(slot, bytes);
  }
  return {};
}

store_problem disk_writer::new_entry(const std::string& name, std::size_t file_size,
                                     directory_entry& made) {
  std::vector<directory_entry> entries;
  disk_.read_directory(entries, true);
  const auto free_slot = std::find_if(entries.begin(), entries.end(),
                                      [](const directory_entry& e) { return e.name[0] == '#'; });
  if (free_slot == entries.end()) return {.kind = store_problem::no_free_entry};

  const std::size_t track_bytes = disk_.program_sector_size();
  const auto count = static_cast<int>((file_size + track_bytes - 1) / track_bytes);
  std::vector<entry> used;
  for (const directory_entry& e : entries)
    if (e.name[0] != '#') used.push_back(e.as_entry(disk_.shape().tracks));
  std::vector<bool> taken(static_cast<std::size_t>(disk_.shape().tracks), true);
  for (const int track : free_tracks(disk_.shape().tracks, disk_.directory_track(), used))
    taken[static_cast<std::size_t>(track)] = false;
  // A free track is of use when it holds one sector of a program track's size.
  const auto formatted = [&](int number) {
    std::vector<sector> found;
    return disk_.sectors(number, found).kind == problem::none && found.size() == 1 &&
           found[0].size() == track_bytes;
  };
  for (int first = 1, run = 0; first + run < disk_.shape().tracks;) {
    const int number = first + run;
    if (taken[static_cast<std::size_t>(number)] || !formatted(number)) {
      first = number + 1;
      run = 0;
      continue;
    }
    if (++run == count) {
      made = {.slot = free_slot->slot,
              .name = {},
              .first_bcd = to_bcd(first),
              .last_bcd = to_bcd(first + count - 1)};
      std::fill(made.name.begin(), made.name.end(), ' ');
      std::copy_n(name.begin(), std::min(name.size(), made.name.size()), made.name.begin());
      return {};
    }
  }
  return {.kind = store_problem::no_free_tracks, .tracks_needed = count};
}

}  // namespace brenvik::disk
