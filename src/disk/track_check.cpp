#include "disk/track_check.h"

#include <algorithm>
#include <cstddef>
#include <span>

#include "disk/os65d.h"

namespace brenvik::disk {

namespace {

constexpr std::size_t header_size = 4;        // 43 57 <track> 58
constexpr std::size_t most_stray_bytes = 32;  // as many as the reader skips before a mark
constexpr unsigned char sector_mark = 0x76;
constexpr unsigned char end_mark[] = {0x47, 0x53};
constexpr unsigned char hexdos_mark = 0x57;

// Adds the frame errors between bytes `from` and `to` of a track as a finding about
// `sector`; returns how many there are.
int add_frame_errors(std::vector<finding>& found, const track& frames, int number, int sector,
                     std::size_t from, std::size_t to) {
  const int broken = frames.errors_between(from, to);
  if (broken > 0) {
    found.push_back(
        {.kind = finding::frame_errors, .track = number, .sector = sector, .count = broken});
  }
  return broken;
}

// The header and the sectors after it, walked as the reader walks them: a sector mark within
// the stray bytes after the sector before, whose pages end in the end mark. A mark whose pages
// lack it, where no sector follows, is a finding.
void check_os65d(std::vector<finding>& found, const track& frames, int number) {
  const std::vector<unsigned char>& bytes = frames.bytes;
  const unsigned char header[] = {0x43, 0x57, to_bcd(number), 0x58};
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin(header), std::end(header));
  if (at == bytes.end()) {
    for (std::size_t i = 0; i + header_size <= bytes.size(); ++i) {
      if (bytes[i] == header[0] && bytes[i + 1] == header[1] && bytes[i + 3] == header[3]) {
        found.push_back(
            {.kind = finding::wrong_track_number, .track = number, .count = bytes[i + 2]});
        return;
      }
    }
    found.push_back({.kind = finding::no_track_header, .track = number});
    return;
  }
  const auto start = static_cast<std::size_t>(at - bytes.begin());
  std::vector<finding> errors;
  int accounted = add_frame_errors(errors, frames, number, 0, start, start + header_size);
  std::size_t next = start + header_size;
  int missing_end = 0;  // the sector whose mark lacks its end mark
  for (int expected = 1;; ++expected) {
    const std::size_t limit = std::min(bytes.size(), next + most_stray_bytes);
    bool taken = false;
    bool marked = false;
    for (std::size_t i = next; i + 3 <= limit && !taken; ++i) {
      if (bytes[i] != sector_mark || bytes[i + 1] != expected || bytes[i + 2] == 0) continue;
      marked = true;
      const std::size_t end = i + 3 + std::size_t{bytes[i + 2]} * 256;
      if (end + 2 > bytes.size() || bytes[end] != end_mark[0] || bytes[end + 1] != end_mark[1])
        continue;
      accounted += add_frame_errors(errors, frames, number, expected, i, end + 2);
      next = end + 2;
      taken = true;
    }
    if (taken) continue;
    missing_end = marked ? expected : 0;
    break;
  }
  found.insert(found.end(), errors.begin(), errors.end());
  if (missing_end > 0) {
    found.push_back({.kind = finding::no_end_mark, .track = number, .sector = missing_end});
  }
  if (const int elsewhere = static_cast<int>(frames.frame_errors.size()) - accounted;
      elsewhere > 0) {
    found.push_back(
        {.kind = finding::frame_errors, .track = number, .sector = -1, .count = elsewhere});
  }
}

void check_hexdos(std::vector<finding>& found, const track& frames, int number) {
  const std::vector<unsigned char>& bytes = frames.bytes;
  const std::size_t limit = std::min(bytes.size(), most_stray_bytes + 2);
  for (std::size_t i = 0; i + 2 <= limit; ++i) {
    if (bytes[i] == hexdos_mark && bytes[i + 1] == number) {
      add_frame_errors(found, frames, number, -1, 0, bytes.size());
      return;
    }
  }
  const auto mark =
      std::find(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(limit), hexdos_mark);
  if (mark + 1 < bytes.begin() + static_cast<std::ptrdiff_t>(limit)) {
    found.push_back({.kind = finding::wrong_track_number, .track = number, .count = mark[1]});
  } else {
    found.push_back({.kind = finding::no_track_header, .track = number});
  }
}

}  // namespace

std::vector<finding> check_tracks(image_bytes& image, const geometry& disk, track_framing framing) {
  std::vector<finding> found;
  for (int number = 0; number < disk.tracks; ++number) {
    const track frames = read_track(image, disk, number);
    if (!frames.read) {
      found.push_back({.kind = finding::unreadable, .track = number});
      continue;
    }
    if (number == 0) {
      add_frame_errors(found, frames, 0, -1, 0, frames.bytes.size());
      continue;
    }
    if (std::all_of(frames.bytes.begin(), frames.bytes.end(),
                    [](unsigned char b) { return b == 0; })) {
      found.push_back({.kind = finding::unformatted, .track = number});
      continue;
    }
    if (framing == track_framing::os65d) {
      check_os65d(found, frames, number);
    } else {
      check_hexdos(found, frames, number);
    }
  }
  return found;
}

}  // namespace brenvik::disk
