#include "disk/directory_check.h"

#include <algorithm>

#include "disk/os65d.h"
#include "image/image_format.h"

namespace brenvik::disk {

namespace {

// Where the chain of a file that looks like a BASIC program breaks: a header whose start
// address lies in the file with the lead byte 00 before it, and a chain of line links from
// there that does not reach its end marker inside the file.
std::optional<image::chain_walk> broken_chain(std::span<const unsigned char> file,
                                              unsigned file_address) {
  if (file.size() < file_header_size + 2) return std::nullopt;
  const unsigned start = image::word_at(file.data());
  if (start < file_address + file_header_size + 1) return std::nullopt;
  const std::size_t area = start - 1 - file_address;
  if (area + 3 > file.size() || file[area] != 0) return std::nullopt;
  // A first link out of reach says the bytes are no program at all, not a broken one.
  const unsigned first_link = image::word_at(file.data() + area + 1);
  if (first_link != image::end_link && !image::link_within_reach(first_link, start)) {
    return std::nullopt;
  }
  const image::chain_walk walk = image::follow_chain(file, area + 1, start);
  if (walk.result == image::chain_walk::complete) return std::nullopt;
  return walk;
}

}  // namespace

std::vector<directory_finding> check_directory(volume& disk) {
  std::vector<directory_finding> found;
  const std::vector<entry>& entries = disk.entries();
  if (disk.directory_problem().kind != problem::none) {
    found.push_back(
        {.kind = directory_finding::unreadable_directory, .tracks = disk.directory_problem()});
    return found;
  }
  const unsigned file_address = disk.basic_version() == 0 ? 0x02FBu : file_load_address;
  for (const entry& e : entries) {
    if (e.track_problem.kind != problem::none) {
      found.push_back({.kind = directory_finding::entry_out_of_range,
                       .entry = e.name,
                       .tracks = e.track_problem});
      continue;
    }
    // The DOS's own entry starts on track 0; an entry of the directory track alone names the
    // directory itself (HEXDOS keeps one).
    const bool directory_itself = e.first == disk.directory_track() && e.last == e.first;
    if (e.first != 0 && !directory_itself) {
      for (const int system : {0, disk.directory_track()}) {
        if (system >= 0 && e.first <= system && system <= e.last) {
          found.push_back(
              {.kind = directory_finding::entry_on_system_track, .entry = e.name, .track = system});
        }
      }
    }
    for (const entry& other : disk.overlapping(e)) {
      if (other.slot < e.slot) continue;  // said once, for the pair
      found.push_back({.kind = directory_finding::entries_overlap,
                       .entry = e.name,
                       .other = other.name,
                       .first = std::max(e.first, std::min(other.first, other.last)),
                       .last = std::min(e.last, std::max(other.first, other.last))});
    }
    if (e.first == 0) continue;  // the DOS's boot code holds no file of sectors
    std::vector<unsigned char> file;
    const problem p = disk.entry_file(e, file);
    if (p.kind == problem::not_read_raw) continue;
    if (p.kind != problem::none) {
      found.push_back({.kind = directory_finding::unreadable_file, .entry = e.name, .tracks = p});
      continue;
    }
    if (const auto walk = broken_chain(file, file_address)) {
      found.push_back(
          {.kind = directory_finding::broken_chain,
           .entry = e.name,
           .first = walk->result == image::chain_walk::cut ? -1 : static_cast<int>(walk->record),
           .last = static_cast<int>(walk->link)});
    }
  }
  return found;
}

}  // namespace brenvik::disk
