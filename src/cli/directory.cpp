#include "cli/directory.h"

#include "catalogue/catalogue.h"
#include "cli/disk_words.h"
#include "messages.h"

namespace brenvik {

namespace {

std::string json_number(int value) {
  return value < 0 ? "null" : std::to_string(value);
}

std::string json_entry(disk::volume& disk, const disk::entry& e, int version) {
  std::string name(disk::without_padding(e.name));
  std::string json = "{\"name\": " + json_string(name) + ", \"first\": " + json_number(e.first) +
                     ", \"last\": " + json_number(e.last);
  const disk::contents held = disk::entry_contents(disk, e);
  switch (held.kind) {
    case disk::contents::basic: {
      const int row = version != no_version ? version
                      : first_row_at(held.program.load_address) != no_version
                          ? first_row_at(held.program.load_address)
                          : disk.basic_version();
      json += ", \"kind\": \"basic\", \"load\": " + std::to_string(held.program.load_address) +
              ", \"length\": " + std::to_string(held.program.length) +
              ", \"version\": " + std::to_string(row);
      break;
    }
    case disk::contents::other:
      json += ", \"kind\": \"other\"";
      break;
    case disk::contents::unreadable:
      json += ", \"kind\": \"unreadable\", \"problem\": " + json_string(describe(held.why));
      break;
  }
  const std::vector<disk::entry> others = disk.overlapping(e);
  if (!others.empty()) {
    json += ", \"overlaps\": [";
    for (std::size_t i = 0; i < others.size(); ++i) {
      const std::string& other = others[i].name;
      json += (i == 0 ? "" : ", ") + json_string(disk::without_padding(other));
    }
    json += "]";
  }
  return json + "}";
}

// What an entry holds, and the other entries that claim its tracks too.
std::string contents_line(disk::volume& disk, const disk::entry& e) {
  std::string line = describe_contents(disk, e);
  const std::vector<disk::entry> others = disk.overlapping(e);
  for (std::size_t i = 0; i < others.size(); ++i) {
    const std::string& other = others[i].name;
    line += i == 0 ? message::overlaps_with : ", ";
    line += shown_name(disk::without_padding(other));
  }
  return line;
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

void write_directory(FILE* out, disk::volume& disk, const std::vector<disk::entry>& entries) {
  for (const disk::entry& entry : entries) {
    report(out, message::directory_line, shown_name(entry.name).c_str(), entry.tracks.c_str(),
           contents_line(disk, entry).c_str());
  }
  const std::vector<int> free = disk.free_space(entries);
  const disk::track_run longest = disk::longest_run(free);
  const std::string run =
      longest.length > 0 ? format_message(message::longest_free_run, longest.length, longest.first)
                         : std::string();
  report(out, message::free_tracks, static_cast<int>(free.size()), run.c_str());
}

void write_directory_json(FILE* out, disk::volume& disk, const std::vector<disk::entry>& entries,
                          const std::string& disk_name, int version) {
  const disk::geometry& shape = disk.shape();
  std::string json =
      "{\"disk\": " + json_string(disk_name) + ", \"dos\": \"" + disk.dos() + "\", \"form\": \"" +
      (shape.kind == disk::form::flat ? "flat" : "bitstream") + "\", \"size\": \"" +
      (shape.eight_inch ? "8" : "5.25") + "\", \"tracks\": " + std::to_string(shape.tracks) +
      ", \"directory_track\": " + json_number(disk.directory_track()) + ", \"entries\": [";
  for (std::size_t i = 0; i < entries.size(); ++i)
    json += (i == 0 ? "\r\n  " : ",\r\n  ") + json_entry(disk, entries[i], version);
  const std::vector<int> free = disk.free_space(entries);
  json += "\r\n], \"free_tracks\": [";
  for (std::size_t i = 0; i < free.size(); ++i)
    json += (i == 0 ? "" : ", ") + std::to_string(free[i]);
  const disk::track_run longest = disk::longest_run(free);
  json += "], \"longest_free_run\": ";
  json += longest.length > 0 ? "{\"first\": " + std::to_string(longest.first) +
                                   ", \"length\": " + std::to_string(longest.length) + "}"
                             : std::string("null");
  json += "}\r\n";
  std::fwrite(json.data(), 1, json.size(), out);
}

}  // namespace brenvik
