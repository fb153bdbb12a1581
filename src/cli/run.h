// What every conversion run knows: its options, the standard streams, and the files it
// reads; shared by the run over files and the run over a disk's entries.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command_line.h"
#include "cli/output_folder.h"

namespace brenvik {

// Where the output of one input goes: `path` names -o's file or the input's file in -o's
// folder, and is empty for standard output. `refused` when the input gets no output, after a
// message saying why (a rejection).
struct output_claim {
  bool refused = false;
  std::optional<std::string> path;
};

// How one input's conversion ended: converted, rejected (the run goes on, status 1 at the
// end), or failed (the run stops with status 1).
enum class outcome { converted, rejected, failed };

// The regular files a run reads, by device and inode: each output is told from them by one
// look-up, however many inputs there are. A named file that did not exist when they were
// identified is looked for again at each look-up.
struct files_read {
  std::set<std::pair<dev_t, ino_t>> identities;
  std::vector<std::string> missing;
  std::optional<std::pair<dev_t, ino_t>> replaceable;  // the disk, which -f lets a copy replace
};

struct run_context {
  const run_options& options;
  FILE* std_in;
  FILE* std_out;
  FILE* err;
  output_folder* folder = nullptr;  // -o naming a folder: one file per input

  const char* program() const { return options.program_name.c_str(); }

  // Opens a named input for reading, or says it cannot ("Can't open file") and returns null;
  // a folder is no input even where it opens.
  FILE* open_input(const std::string& name) const;

  // True when `file` is a regular file the run reads: a named input, standard input when
  // none is named, the disk image, a listing stored into it, or the memory image. These
  // are identified at the first call.
  bool reads(const struct stat& file) const;

  // Where the output of the input that `file_name` names goes: `-o`'s file, the file of
  // that name in -o's folder, or standard output (nothing).
  std::optional<std::string> output_path(std::string_view file_name) const;

  // The same for the input `input` names, claimed for it in -o's folder: refused, after
  // saying so, when another input of this run was written to that file, or when the name is
  // longer than the folder takes.
  output_claim claim_output(std::string_view file_name, const std::string& input) const;

  mutable std::optional<files_read> read_;  // what reads() compares with, once identified
};

// The listing file of an input of -t -disk: "NAME=listing" or the listing alone.
std::string listing_path(const std::string& input);

}  // namespace brenvik
