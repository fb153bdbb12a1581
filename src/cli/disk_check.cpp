#include "cli/disk_check.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cli/destination.h"
#include "cli/directory.h"
#include "cli/disk_open.h"
#include "cli/disk_words.h"
#include "disk/directory_check.h"
#include "disk/volume.h"
#include "messages.h"

namespace brenvik {

namespace {

// One thing wrong: its kind for -json, the track and entry it is about, and its words.
struct report_line {
  const char* kind;
  int track = -1;
  std::string entry;
  std::string text;
};

report_line describe_track(const disk::finding& f) {
  using disk::finding;
  switch (f.kind) {
    case finding::unreadable:
      return {"unreadable", f.track, "", format_message(message::track_unreadable, f.track)};
    case finding::unformatted:
      return {"unformatted", f.track, "", format_message(message::check_unformatted, f.track)};
    case finding::no_track_header:
      return {"no_track_header", f.track, "",
              format_message(message::track_without_header, f.track)};
    case finding::wrong_track_number:
      return {"wrong_track_number", f.track, "",
              format_message(message::check_wrong_number, f.track, static_cast<unsigned>(f.count))};
    case finding::no_end_mark:
      return {"no_end_mark", f.track, "",
              format_message(message::check_no_end_mark, f.track, f.sector)};
    case finding::frame_errors:
      return {"frame_errors", f.track, "",
              f.sector < 0 ? format_message(message::check_frames_elsewhere, f.track, f.count)
              : f.sector == 0
                  ? format_message(message::check_frames_header, f.track, f.count)
                  : format_message(message::check_frames_sector, f.track, f.count, f.sector)};
  }
  return {"", -1, "", ""};
}

report_line describe_finding(const disk::directory_finding& f) {
  using disk::directory_finding;
  const std::string entry = shown_name(disk::without_padding(f.entry));
  switch (f.kind) {
    case directory_finding::unreadable_directory:
      return {"directory", f.tracks.track, "",
              format_message(message::check_directory, describe(f.tracks).c_str())};
    case directory_finding::entry_out_of_range:
      return {"entry_tracks", f.tracks.track, f.entry,
              format_message(message::check_entry, entry.c_str(), describe(f.tracks).c_str())};
    case directory_finding::entry_on_system_track:
      return {"system_track", f.track, f.entry,
              format_message(message::check_system_track, entry.c_str(), f.track,
                             f.track == 0 ? message::boot_tracks : message::directory_track)};
    case directory_finding::entries_overlap:
      return {"overlap", f.first, f.entry,
              format_message(message::check_overlap, entry.c_str(),
                             shown_name(disk::without_padding(f.other)).c_str(), f.first, f.last)};
    case directory_finding::broken_chain:
      return {"broken_chain", -1, f.entry,
              f.first < 0
                  ? format_message(message::check_chain_cut, entry.c_str())
                  : format_message(message::check_chain_broken, entry.c_str(),
                                   static_cast<unsigned>(f.first), static_cast<unsigned>(f.last))};
    case directory_finding::unreadable_file:
      return {"unreadable_file", f.tracks.track, f.entry,
              format_message(message::check_entry, entry.c_str(), describe(f.tracks).c_str())};
  }
  return {"", -1, "", ""};
}

std::string text_report(const char* disk_name, const std::vector<report_line>& lines, int tracks,
                        std::size_t entries) {
  std::string text;
  for (const report_line& line : lines)
    text += std::string(disk_name) + ": " + line.text + "\r\n";
  const char* plural = entries == 1 ? "y" : "ies";
  if (lines.empty()) {
    return text + format_message(message::check_clean, disk_name, tracks, entries, plural);
  }
  return text + format_message(message::check_summary, disk_name, lines.size(),
                               lines.size() == 1 ? "" : "s", tracks, entries, plural);
}

std::string json_report(const char* disk_name, const char* dos,
                        const std::vector<report_line>& lines, int tracks, std::size_t entries) {
  std::string json = "{\"disk\": " + json_string(disk_name) +
                     ", \"dos\": " + (dos != nullptr ? json_string(dos) : std::string("null")) +
                     ", \"tracks\": " + std::to_string(tracks) +
                     ", \"entries\": " + std::to_string(entries) + ", \"problems\": [";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const report_line& line = lines[i];
    json += (i == 0 ? "\r\n  " : ",\r\n  ");
    json += "{\"kind\": \"" + std::string(line.kind) + "\", \"track\": " +
            (line.track < 0 ? std::string("null") : std::to_string(line.track)) + ", \"entry\": " +
            (line.entry.empty() ? std::string("null")
                                : json_string(disk::without_padding(line.entry))) +
            ", \"text\": " + json_string(line.text) + "}";
  }
  return json + (lines.empty() ? "]}\r\n" : "\r\n]}\r\n");
}

}  // namespace

int check_disk(const run_context& run) {
  const char* disk_name = run.options.disk_name->c_str();
  std::optional<disk::geometry> shape;
  const auto bytes = open_disk(run, shape);
  if (!bytes) return exit_failure;
  std::vector<report_line> lines;
  disk::problem why;
  const auto disk = disk::open_volume(*bytes, *shape, why);
  const disk::track_framing framing = disk ? disk->framing() : disk::track_framing::os65d;
  const std::vector<disk::finding> tracks = disk::check_tracks(*bytes, *shape, framing);
  // A disk never formatted is said once, not track by track.
  const bool blank = static_cast<int>(tracks.size()) >= shape->tracks - 1 &&
                     std::all_of(tracks.begin(), tracks.end(), [](const disk::finding& f) {
                       return f.kind == disk::finding::unformatted;
                     });
  for (const disk::finding& f : tracks)
    if (!blank) lines.push_back(describe_track(f));
  std::size_t entries = 0;
  if (disk) {
    entries = disk->entries().size();
    for (const disk::directory_finding& f : disk::check_directory(*disk))
      lines.push_back(describe_finding(f));
  } else {
    lines.push_back(
        {"no_dos", -1, "", format_message(message::check_no_dos, describe(why).c_str())});
  }
  outcome refusal = outcome::failed;
  std::optional<destination> to = destination::open(run, run.options.output_name, refusal);
  if (!to) return exit_failure;
  std::string text = run.options.json ? json_report(disk_name, disk ? disk->dos() : nullptr, lines,
                                                    shape->tracks, entries)
                                      : text_report(disk_name, lines, shape->tracks, entries);
  // With -lf, lines end in LF alone; the report's own texts hold no other CR.
  if (run.options.lf_only) std::erase(text, '\r');
  std::fwrite(text.data(), 1, text.size(), to->stream());
  if (to->close(run, false) != outcome::converted) return exit_failure;
  return lines.empty() ? exit_success : exit_failure;
}

}  // namespace brenvik
