#include "disk/volume.h"

#include <algorithm>

#include "disk/os65d.h"
#include "messages.h"

namespace brenvik::disk {

std::string describe(const problem& p) {
  switch (p.kind) {
    case problem::no_track_header:
      return format_message(message::track_without_header, p.track);
    case problem::frame_errors:
      return format_message(message::track_frame_errors, p.track, p.count);
    case problem::no_sector:
      return format_message(message::track_without_sector, p.track, p.count);
    case problem::unreadable:
      return format_message(message::track_unreadable, p.track);
    case problem::not_bcd:
      return format_message(message::track_not_bcd, static_cast<unsigned>(p.count));
    case problem::beyond_disk:
      return format_message(message::track_beyond_disk, p.track, p.count);
    case problem::first_after_last:
      return format_message(message::first_after_last, p.track, p.count);
    case problem::none:
      break;
  }
  return {};
}

bool entry::is_named(std::string_view given) const {
  const auto key = [](std::string_view text) {
    std::string upper(text.substr(0, text.find_last_not_of(' ') + 1));
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
  };
  return key(name) == key(given);
}

std::optional<entry> volume::find_entry(std::string_view name) {
  std::vector<entry> entries;
  read_directory(entries);
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const entry& e) { return e.is_named(name); });
  if (found == entries.end()) return std::nullopt;
  return *found;
}

std::unique_ptr<volume> open_volume(image_bytes& image, const geometry& shape, problem& why) {
  auto os65d = std::make_unique<os65d_volume>(image, shape);
  std::vector<entry> entries;
  why = os65d->read_directory(entries);
  if (why.kind != problem::none) return nullptr;
  return os65d;
}

std::vector<int> free_tracks(int tracks, int directory_track, const std::vector<entry>& entries) {
  std::vector<bool> covered(static_cast<std::size_t>(std::max(tracks, 0)), false);
  const auto cover = [&](int track) {
    if (track >= 0 && track < tracks) covered[static_cast<std::size_t>(track)] = true;
  };
  cover(0);
  cover(directory_track);
  for (const entry& e : entries) {
    if (e.first < 0 || e.last < 0) continue;
    for (int track = std::min(e.first, e.last); track <= std::max(e.first, e.last); ++track)
      cover(track);
  }
  std::vector<int> free;
  for (int track = 0; track < tracks; ++track)
    if (!covered[static_cast<std::size_t>(track)]) free.push_back(track);
  return free;
}

track_run longest_run(const std::vector<int>& free) {
  track_run longest;
  track_run current;
  for (std::size_t i = 0; i < free.size(); ++i) {
    if (i == 0 || free[i] != free[i - 1] + 1) current = {.first = free[i], .length = 0};
    if (++current.length > longest.length) longest = current;
  }
  return longest;
}

contents entry_contents(volume& disk, const entry& e) {
  std::optional<basic_program> program;
  std::vector<unsigned char> bytes;
  if (const problem p = disk.entry_program(e, program, bytes); p.kind != problem::none) {
    return {.kind = contents::unreadable, .why = p};
  }
  if (!program) return {.kind = contents::other};
  return {.kind = contents::basic, .program = *program};
}

std::string describe_contents(volume& disk, const entry& e) {
  const contents held = entry_contents(disk, e);
  switch (held.kind) {
    case contents::unreadable:
      return format_message(message::unreadable_entry, describe(held.why).c_str());
    case contents::other:
      break;
    case contents::basic:
      return format_message(message::holds_basic, held.program.load_address, held.program.length);
  }
  return message::holds_other;
}

}  // namespace brenvik::disk
