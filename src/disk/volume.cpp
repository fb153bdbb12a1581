#include "disk/volume.h"

#include <algorithm>

#include "disk/disk_writer.h"
#include "disk/hexdos.h"
#include "disk/os65d.h"
#include "disk/picodos.h"

namespace brenvik::disk {

namespace {

// True when every entry of the directory is unused or named in printable characters, as
// OS65D's own are: program text read as a directory is not.
bool looks_like_directory(os65d_disk& disk) {
  std::vector<directory_entry> all;
  disk.read_directory(all, true);
  return std::all_of(all.begin(), all.end(), [](const directory_entry& e) {
    return e.name[0] == '#' || std::all_of(e.name.begin(), e.name.end(),
                                           [](unsigned char c) { return c >= 0x20 && c < 0x7F; });
  });
}

// True when some track carries an OS65D track header or a HEXDOS track mark.
bool any_track_marked(image_bytes& image, const geometry& shape) {
  os65d_disk os65d(image, shape);
  hexdos_volume hexdos(image, shape);
  std::vector<sector> found;
  for (int number = 1; number < shape.tracks; ++number) {
    const problem::kind_t kind = os65d.sectors(number, found).kind;
    if (kind != problem::no_track_header && kind != problem::unreadable) return true;
    if (hexdos.has_mark(number)) return true;
  }
  return false;
}

}  // namespace

bool entry::is_named(std::string_view given) const {
  const auto key = [](std::string_view text) {
    std::string upper(without_padding(text));
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
  };
  return key(name) == key(given);
}

bool entry::is_named_exactly(std::string_view given) const {
  const auto trimmed = [](std::string_view text) { return without_padding(text); };
  return trimmed(name) == trimmed(given);
}

const std::vector<entry>& volume::entries() {
  if (!directory_read_) {
    directory_problem_ = read_directory(entries_);
    directory_read_ = true;
  }
  return entries_;
}

const problem& volume::directory_problem() {
  entries();
  return directory_problem_;
}

std::optional<entry> volume::find_entry(std::string_view name) {
  const std::vector<entry>& all = entries();
  auto found = std::find_if(all.begin(), all.end(),
                            [&](const entry& e) { return e.is_named_exactly(name); });
  if (found == all.end()) {
    found = std::find_if(all.begin(), all.end(), [&](const entry& e) { return e.is_named(name); });
  }
  if (found == all.end()) return std::nullopt;
  return *found;
}

namespace {

// Whether `name` matches the shell pattern `pattern`: * any run of characters, ? any one,
// letters in either case.
bool matches(std::string_view pattern, std::string_view name) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || upper(pattern[p]) == upper(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

}  // namespace

std::vector<entry> volume::find_entries(std::string_view given) {
  if (auto one = find_entry(given)) return {*one};
  std::vector<entry> found;
  if (given.find_first_of("*?") == std::string_view::npos) return found;
  for (const entry& e : entries()) {
    if (matches(given, without_padding(e.name))) {
      found.push_back(e);
    }
  }
  return found;
}

problem volume::entry_file(const entry&, std::vector<unsigned char>& bytes) {
  bytes.clear();
  return {.kind = problem::not_read_raw};
}

std::vector<entry> volume::overlapping(const entry& e) {
  std::vector<entry> others;
  if (e.first < 0 || e.last < 0) return others;
  const int low = std::min(e.first, e.last);
  const int high = std::max(e.first, e.last);
  for (const entry& other : entries()) {
    if (other.slot == e.slot || other.first < 0 || other.last < 0) continue;
    const int from = std::max(low, std::min(other.first, other.last));
    const int to = std::min(high, std::max(other.first, other.last));
    // Track 0 and the directory track are no file's: sharing them is no overlap (the DOS's
    // own entry covers them, and stores refuse them anyway).
    for (int track = from; track <= to; ++track) {
      if (track != 0 && track != directory_track()) {
        others.push_back(other);
        break;
      }
    }
  }
  return others;
}

std::unique_ptr<disk_writer> volume::writer(std::vector<unsigned char>&) {
  return nullptr;
}

std::vector<int> volume::free_space(const std::vector<entry>& entries) {
  return free_tracks(shape().tracks, directory_track(), entries);
}

std::unique_ptr<volume> open_volume(image_bytes& image, const geometry& shape, problem& why) {
  why = {};
  auto os65d = std::make_unique<os65d_volume>(image, shape);
  std::vector<entry> entries;
  const problem directory = os65d->read_directory(entries);
  if (directory.kind == problem::none &&
      (shape.eight_inch || looks_like_directory(os65d->disk()))) {
    return os65d;
  }
  if (!shape.eight_inch) {
    auto picodos = std::make_unique<picodos_volume>(image, shape);
    for (int slot = 1; slot <= slot_count(shape.tracks); ++slot)
      if (picodos->holds_header(slot_first_track(slot))) return picodos;
  }
  if (directory.kind == problem::none) return os65d;  // odd names, but no other DOS claims it
  if (!shape.eight_inch) {
    auto hexdos = std::make_unique<hexdos_volume>(image, shape);
    if (hexdos->has_mark(hexdos_directory_track)) {
      const problem p = hexdos->read_directory(entries);
      if (p.kind == problem::none) return hexdos;
      why = {.kind = problem::broken_hexdos, .track = p.track, .count = p.count, .cause = p.kind};
      return nullptr;
    }
  }
  if (any_track_marked(image, shape)) {
    why = {.kind = problem::no_dos,
           .track = directory.track,
           .count = directory.count,
           .cause = directory.kind};
  } else {
    why = {.kind = problem::unformatted};
  }
  return nullptr;
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

}  // namespace brenvik::disk
