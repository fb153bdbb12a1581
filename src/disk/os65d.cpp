#include "disk/os65d.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "image/image_format.h"

namespace brenvik::disk {

namespace {

constexpr unsigned char header_mark[] = {0x43, 0x57};  // then the track in BCD, then 0x58
constexpr unsigned char header_end = 0x58;
constexpr std::size_t header_size = 4;
constexpr unsigned char sector_mark = 0x76;
constexpr unsigned char end_mark[] = {0x47, 0x53};  // after a sector's data
constexpr std::size_t most_stray_bytes = 32;        // before a sector mark
constexpr std::size_t directory_entries = 64;
constexpr std::size_t boot_header_size = 3;  // load address (high, low), page count
constexpr unsigned char unused_mark = '#';

// The value of a BCD byte, or -1 when a digit is above 9.
constexpr int from_bcd(unsigned char bcd) {
  return (bcd >> 4) > 9 || (bcd & 0xF) > 9 ? -1 : (bcd >> 4) * 10 + (bcd & 0xF);
}

}  // namespace

entry directory_entry::as_entry(int disk_tracks) const {
  char tracks[8];
  std::snprintf(tracks, sizeof tracks, "%X-%X", first_bcd, last_bcd);
  entry e{.slot = slot,
          .name = name_text(),
          .tracks = tracks,
          .first = from_bcd(first_bcd),
          .last = from_bcd(last_bcd),
          .first_byte = first_bcd,
          .last_byte = last_bcd};
  int first = 0;
  int last = 0;
  e.track_problem = decode_tracks(disk_tracks, first, last);
  return e;
}

problem directory_entry::decode_tracks(int disk_tracks, int& first, int& last) const {
  first = from_bcd(first_bcd);
  last = from_bcd(last_bcd);
  if (first < 0) return {.kind = problem::not_bcd, .count = first_bcd};
  if (last < 0) return {.kind = problem::not_bcd, .count = last_bcd};
  if (first >= disk_tracks) {
    return {.kind = problem::beyond_disk, .track = first, .count = disk_tracks - 1};
  }
  if (last >= disk_tracks) {
    return {.kind = problem::beyond_disk, .track = last, .count = disk_tracks - 1};
  }
  if (first > last) return {.kind = problem::first_after_last, .track = first, .count = last};
  return {};
}

program_search find_program(std::span<const unsigned char> prefix, bool whole, basic_program& found,
                            unsigned file_address) {
  const auto more_or_none = [&] { return whole ? program_search::none : program_search::more; };
  if (prefix.size() < file_header_size) return more_or_none();
  const unsigned start = image::word_at(prefix.data());
  // The lead byte lies in the memory after the header.
  if (start < file_address + file_header_size + 1) return program_search::none;
  const std::size_t area = start - 1 - file_address;
  if (prefix.size() <= area) return more_or_none();
  if (prefix[area] != 0) return program_search::none;
  const image::chain_walk walk = image::follow_chain(prefix, area + 1, start);
  switch (walk.result) {
    case image::chain_walk::complete:
      found = {.load_address = static_cast<uint16_t>(start - 1),
               .area = area,
               .length = walk.end - area};
      return program_search::found;
    case image::chain_walk::cut:
      return more_or_none();
    case image::chain_walk::broken:
      break;
  }
  return program_search::none;
}

track& os65d_disk::track_at(int number) {
  auto [place, fresh] = tracks_.try_emplace(number);
  if (fresh) place->second = read_track(image_, shape_, number);
  return place->second;
}

const track& os65d_disk::decoded_track(int number) {
  return track_at(number);
}

std::optional<std::size_t> os65d_disk::header_at(int number) {
  const std::vector<unsigned char>& bytes = track_at(number).bytes;
  const unsigned char header[header_size] = {header_mark[0], header_mark[1], to_bcd(number),
                                             header_end};
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin(header), std::end(header));
  if (at == bytes.end()) return std::nullopt;
  return static_cast<std::size_t>(at - bytes.begin());
}

problem os65d_disk::sectors(int number, std::vector<sector>& found) {
  found.clear();
  const track& raw = decoded_track(number);
  if (!raw.read) return {.kind = problem::unreadable, .track = number};
  const std::vector<unsigned char>& bytes = raw.bytes;
  const std::optional<std::size_t> header = header_at(number);
  if (!header) return {.kind = problem::no_track_header, .track = number};

  std::size_t next = *header + header_size;
  for (int expected = 1;; ++expected) {
    const std::size_t limit = std::min(bytes.size(), next + most_stray_bytes);
    bool taken = false;
    for (std::size_t i = next; i + 3 <= limit && !taken; ++i) {
      if (bytes[i] != sector_mark || bytes[i + 1] != expected || bytes[i + 2] == 0) continue;
      const sector s{.number = expected, .pages = bytes[i + 2], .data = i + 3};
      // A sector ends in its end mark; without it, what looked like one is none.
      const std::size_t end = s.data + s.size();
      if (end + sizeof end_mark > bytes.size() || bytes[end] != end_mark[0] ||
          bytes[end + 1] != end_mark[1]) {
        continue;
      }
      found.push_back(s);
      next = end + sizeof end_mark;
      taken = true;
    }
    if (!taken) break;
  }
  if (found.empty()) return {.kind = problem::no_sector, .track = number, .count = 1};

  int errors = raw.errors_between(*header, *header + header_size);
  for (const sector& s : found)
    errors += raw.errors_between(s.data - 3, s.data + s.size());
  if (errors > 0) return {.kind = problem::frame_errors, .track = number, .count = errors};
  return {};
}

std::size_t os65d_disk::directory_slot_at(const std::vector<sector>& found, int slot) {
  const auto at = static_cast<std::size_t>(slot) * directory_entry_size;
  return at < 256 ? found[0].data + at : found[1].data + at - 256;
}

problem os65d_disk::read_directory(std::vector<directory_entry>& entries, bool unused) {
  entries.clear();
  const int number = directory_track();
  std::vector<sector> found;
  if (const problem p = sectors(number, found); p.kind != problem::none) return p;
  if (found.size() < 2) return {.kind = problem::no_sector, .track = number, .count = 2};
  const std::vector<unsigned char>& bytes = decoded_track(number).bytes;
  for (std::size_t slot = 0; slot < directory_entries; ++slot) {
    const std::size_t at = directory_slot_at(found, static_cast<int>(slot));
    directory_entry entry;
    entry.slot = static_cast<int>(slot);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), entry.name.size(),
                entry.name.begin());
    entry.first_bcd = bytes[at + first_track_at];
    entry.last_bcd = bytes[at + last_track_at];
    if (unused || entry.name[0] != unused_mark) entries.push_back(entry);
  }
  return {};
}

problem os65d_disk::find_basic(int first, int last, std::optional<basic_program>& program,
                               std::vector<unsigned char>& bytes, unsigned file_address) {
  program.reset();
  bytes.clear();
  for (int number = first; number <= last; ++number) {
    if (const problem p = data_of(number, number, bytes); p.kind != problem::none) return p;
    basic_program at;
    const program_search search = find_program(bytes, number == last, at, file_address);
    if (search == program_search::found) program = at;
    if (search != program_search::more) break;
  }
  return {};
}

problem os65d_disk::entry_program(const directory_entry& entry,
                                  std::optional<basic_program>& program,
                                  std::vector<unsigned char>& bytes) {
  program.reset();
  bytes.clear();
  int first = 0;
  int last = 0;
  if (const problem p = entry.decode_tracks(shape_.tracks, first, last); p.kind != problem::none) {
    return p;
  }
  return first == 0 ? problem{} : find_basic(first, last, program, bytes);
}

problem os65d_disk::data_of(int first, int last, std::vector<unsigned char>& bytes) {
  std::vector<sector> found;
  for (int number = first; number <= last; ++number) {
    if (const problem p = sectors(number, found); p.kind != problem::none) return p;
    const std::vector<unsigned char>& data = decoded_track(number).bytes;
    for (const sector& s : found)
      bytes.insert(bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(s.data),
                   data.begin() + static_cast<std::ptrdiff_t>(s.data + s.size()));
  }
  return {};
}

problem os65d_disk::data_places(int first, int last, std::vector<byte_place>& places) {
  places.clear();
  std::vector<sector> found;
  for (int number = first; number <= last; ++number) {
    if (const problem p = sectors(number, found); p.kind != problem::none) return p;
    for (const sector& s : found)
      for (std::size_t i = 0; i < s.size(); ++i)
        places.push_back({number, s.data + i});
  }
  return {};
}

void os65d_disk::write_bytes(std::span<unsigned char> file, const std::vector<byte_place>& places,
                             std::span<const unsigned char> bytes) {
  for (std::size_t i = 0; i < places.size() && i < bytes.size(); ++i) {
    track& decoded = track_at(places[i].track);
    write_track_byte(file, shape_, places[i].track, decoded, places[i].index, bytes[i]);
    decoded.bytes[places[i].index] = bytes[i];
  }
}

bool os65d_disk::takes_sector(int number, int pages) {
  std::vector<sector> found;
  if (sectors(number, found).kind != problem::no_sector) return false;
  const track& raw = decoded_track(number);
  const std::size_t header = *header_at(number);
  return raw.errors_between(header, header + header_size) == 0 &&
         room_after(shape_, raw, header + header_size - 1) >=
             3 + static_cast<std::size_t>(pages) * 256 + sizeof end_mark;
}

void os65d_disk::add_sector(std::span<unsigned char> file, int number, int pages) {
  std::vector<unsigned char> values(3 + static_cast<std::size_t>(pages) * 256 + sizeof end_mark, 0);
  values[0] = sector_mark;
  values[1] = 1;
  values[2] = static_cast<unsigned char>(pages);
  values[values.size() - 2] = end_mark[0];
  values[values.size() - 1] = end_mark[1];
  extend_track(file, shape_, number, track_at(number), *header_at(number) + header_size - 1,
               values);
  tracks_.erase(number);
}

problem os65d_volume::read_directory(std::vector<entry>& entries) {
  entries.clear();
  if (const problem p = disk_.read_directory(directory_); p.kind != problem::none) return p;
  for (const directory_entry& d : directory_)
    entries.push_back(d.as_entry(disk_.shape().tracks));
  return {};
}

problem os65d_volume::entry_program(const entry& e, std::optional<basic_program>& program,
                                    std::vector<unsigned char>& bytes) {
  const auto found = std::find_if(directory_.begin(), directory_.end(),
                                  [&](const directory_entry& d) { return d.slot == e.slot; });
  if (found == directory_.end()) {
    program.reset();
    bytes.clear();
    return e.track_problem;
  }
  return disk_.entry_program(*found, program, bytes);
}

problem os65d_disk::boot_bytes(std::vector<unsigned char>& bytes) {
  const track& boot = decoded_track(0);
  if (!boot.read || boot.bytes.size() < boot_header_size) {
    return {.kind = problem::unreadable, .track = 0};
  }
  const std::size_t size =
      std::min(boot.bytes.size(), boot_header_size + std::size_t{boot.bytes[2]} * 256);
  bytes.insert(bytes.end(), boot.bytes.begin(),
               boot.bytes.begin() + static_cast<std::ptrdiff_t>(size));
  return {};
}

problem os65d_volume::entry_file(const entry& e, std::vector<unsigned char>& bytes) {
  bytes.clear();
  if (e.track_problem.kind != problem::none) return e.track_problem;
  int first = e.first;
  if (first == 0) {
    if (const problem p = disk_.boot_bytes(bytes); p.kind != problem::none) return p;
    first = 1;
  }
  return disk_.data_of(first, e.last, bytes);
}

int os65d_volume::free_slot() {
  std::vector<directory_entry> all;
  disk_.read_directory(all, true);
  const auto unused = std::find_if(
      all.begin(), all.end(), [](const directory_entry& e) { return e.name[0] == unused_mark; });
  return unused == all.end() ? -1 : unused->slot;
}

}  // namespace brenvik::disk
