// A disk's directory as brenvik shows it: lines of text for people, or one JSON document
// for programs.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "disk/volume.h"

namespace brenvik {

// Writes one line per entry of `entries` (as `disk` read them): the name (every byte
// outside 20-7E, and %, as %XX), the tracks, what the entry holds; then the free space:
// "free: n tracks, longest run n from track n".
void write_directory(FILE* out, disk::volume& disk, const std::vector<disk::entry>& entries);

// Writes the directory as one JSON document: the disk as given (`disk_name`), its DOS, form,
// size, tracks and directory track, the entries (name without trailing spaces; first and
// last track, null where the directory gives none; kind "basic", "other" or "unreadable";
// load, length and the version a listing takes for a BASIC program, `version` when it is
// given; the problem of an unreadable one), the free tracks and the longest run of them
// (null when none is free). Strings are escaped as JSON requires, bytes above 127 as \u00XX.
void write_directory_json(FILE* out, disk::volume& disk, const std::vector<disk::entry>& entries,
                          const std::string& disk_name, int version);

// `text` as a JSON string, quotes included.
std::string json_string(std::string_view text);

}  // namespace brenvik
