#include "disk/hexdos.h"

#include <algorithm>
#include <span>
#include <string>

#include "catalogue/catalogue.h"
#include "image/image_format.h"

namespace brenvik::disk {

namespace {

constexpr unsigned char track_mark = 0x57;
constexpr std::size_t most_stray_bytes = 32;     // before the mark
constexpr unsigned char free_track_line = 0xA5;  // the token `*`: the directory's last line
constexpr unsigned first_record = hexdos_load_address + 1u;

// The index of track `number`'s mark in `bytes`, or npos.
std::size_t find_mark(const std::vector<unsigned char>& bytes, int number) {
  const auto value = static_cast<unsigned char>(number);
  for (std::size_t at = 0; at < most_stray_bytes && at + 2 + hexdos_track_bytes <= bytes.size();
       ++at) {
    if (bytes[at] != track_mark || bytes[at + 1] != value) continue;
    const bool os65d_header = at > 0 && bytes[at - 1] == 0x43 && bytes[at + 2] == 0x58;
    if (!os65d_header) return at;
  }
  return std::string::npos;
}

// A directory line's text with ROM BASIC's keywords written out for its token codes.
std::string name_of(std::span<const unsigned char> text) {
  std::string name;
  for (const unsigned char c : text) {
    if (c < first_token) {
      name += static_cast<char>(c);
    } else if (c - first_token < static_cast<unsigned>(version_table[0].keyword_count)) {
      name += keyword_text(0, static_cast<int>(c - first_token));
    }
  }
  return name;
}

}  // namespace

const track& hexdos_volume::decoded_track(int number) {
  auto [place, fresh] = tracks_.try_emplace(number);
  if (fresh) place->second = read_track(image_, shape_, number);
  return place->second;
}

bool hexdos_volume::has_mark(int number) {
  return find_mark(decoded_track(number).bytes, number) != std::string::npos;
}

problem hexdos_volume::track_data(int number, std::size_t& data) {
  const track& raw = decoded_track(number);
  if (!raw.read) return {.kind = problem::unreadable, .track = number};
  const std::size_t mark = find_mark(raw.bytes, number);
  if (mark == std::string::npos) return {.kind = problem::no_track_header, .track = number};
  data = mark + 2;
  if (const int errors = raw.errors_between(mark, data + hexdos_track_bytes); errors > 0) {
    return {.kind = problem::frame_errors, .track = number, .count = errors};
  }
  return {};
}

problem hexdos_volume::read_directory(std::vector<entry>& entries) {
  entries.clear();
  std::size_t data = 0;
  if (const problem p = track_data(hexdos_directory_track, data); p.kind != problem::none) {
    return p;
  }
  const std::vector<unsigned char>& raw = decoded_track(hexdos_directory_track).bytes;
  std::vector<unsigned char> memory(1, 0);
  memory.insert(memory.end(), raw.begin() + static_cast<std::ptrdiff_t>(data),
                raw.begin() + static_cast<std::ptrdiff_t>(data + hexdos_track_bytes));
  if (image::follow_chain(memory, 1, first_record).result != image::chain_walk::complete) {
    return {.kind = problem::no_directory_program, .track = hexdos_directory_track};
  }

  entries.push_back({.slot = 0,
                     .name = "DIRECTORY",
                     .tracks = "1-1",
                     .first = hexdos_directory_track,
                     .last = hexdos_directory_track});
  int free_track = shape_.tracks;  // without a `*` line, the last file may run to the end
  for (std::size_t at = 1;;) {
    const unsigned link = image::word_at(memory.data() + at);
    if (link == image::end_link) break;
    const std::size_t next = link - hexdos_load_address;
    const auto line = static_cast<int>(image::word_at(memory.data() + at + 2));
    std::span<const unsigned char> text(memory.data() + at + 4, next - at - 4);
    text =
        text.first(static_cast<std::size_t>(std::find(text.begin(), text.end(), 0) - text.begin()));
    if (text.size() == 1 && text[0] == free_track_line) {
      free_track = line;
      break;
    }
    entries.push_back(
        {.slot = static_cast<int>(entries.size()), .name = name_of(text), .first = line});
    at = next;
  }
  for (std::size_t i = 1; i < entries.size(); ++i) {
    entry& e = entries[i];
    e.last = (i + 1 < entries.size() ? entries[i + 1].first : free_track) - 1;
    e.tracks = std::to_string(e.first) + "-" + std::to_string(e.last);
    if (e.last < e.first) {
      e.track_problem = {.kind = problem::first_after_last, .track = e.first, .count = e.last};
    } else if (e.last >= shape_.tracks) {
      e.track_problem = {.kind = problem::beyond_disk,
                         .track = e.first >= shape_.tracks ? e.first : e.last,
                         .count = shape_.tracks - 1};
    }
  }
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (entries[i].track_problem.kind != problem::none) entries[i].first = entries[i].last = -1;
  }
  return {};
}

problem hexdos_volume::entry_program(const entry& e, std::optional<basic_program>& program,
                                     std::vector<unsigned char>& bytes) {
  program.reset();
  bytes.assign(1, 0);
  if (e.first < 0) return e.track_problem;
  for (int number = e.first; number <= e.last; ++number) {
    std::size_t data = 0;
    if (const problem p = track_data(number, data); p.kind != problem::none) return p;
    const std::vector<unsigned char>& raw = decoded_track(number).bytes;
    bytes.insert(bytes.end(), raw.begin() + static_cast<std::ptrdiff_t>(data),
                 raw.begin() + static_cast<std::ptrdiff_t>(data + hexdos_track_bytes));
    const image::chain_walk walk = image::follow_chain(bytes, 1, first_record);
    if (walk.result == image::chain_walk::complete) {
      program = basic_program{.load_address = hexdos_load_address, .area = 0, .length = walk.end};
    }
    if (walk.result != image::chain_walk::cut) break;
  }
  return {};
}

}  // namespace brenvik::disk
