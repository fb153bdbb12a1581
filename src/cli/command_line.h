// The command line: options into `run_options`, the usage text, and the `-k` listings.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"

namespace brenvik {

// One change to a disk, applied in the order given: -delete NAME, -rename OLD=NEW, -put NAME=FILE.
struct disk_operation {
  enum kind_t { remove, rename, put } kind;
  std::string name;   // the entry (a pattern for remove)
  std::string value;  // the new name, or the file to put
};

// The form of a disk written: the input's, or the one -form names.
enum class disk_form { as_read, flat, bitstream };

struct run_options {
  std::string program_name;  // invocation name after its last backslash
  int version = no_version;  // row of version_table, or -1
  // -l: where the program area lies. None: the version's own when tokenizing (row 0's when
  // none is chosen), detection's when listing, the entry's on a disk. "-l 0" with a version
  // chosen is that version's own address.
  std::optional<uint16_t> load_address;
  int16_t skip_count = 0;  // bytes to discard from the first input; <= 0 skips nothing
  bool text_mode = false;  // -t: tokenize a listing instead of listing an image
  bool typed = false;      // -typed: text mode, as the machine stores typed lines
  bool force_overwrite = false;
  std::optional<std::string> output_name;
  std::optional<std::string> disk_name;    // -disk: inputs name its entries (or, with -t, listings)
  bool json = false;                       // -json: the disk's directory as one JSON document
  std::optional<std::string> memory_name;  // -memory: the memory image to list
  std::optional<std::uint64_t> memory_offset;  // -skip with -memory: where $0000 lies in a dump
  std::vector<std::string> inputs;  // empty: standard input (or with -disk, its directory)
  // The disk workshop.
  std::vector<disk_operation> operations;  // -delete, -rename, -put, in the order given
  disk_form form = disk_form::as_read;     // -form flat|bitstream
  bool raw = false;                        // -raw: entries' bytes as the DOS loads them
  bool check = false;                      // -check: read everything, report what is wrong
  std::optional<std::string> blank_name;   // -blank: a new, empty data disk
  bool eight_inch = false;                 // -size 8, with -blank

  // Whether the run writes a new disk from -disk's: stores (-t), changes or a new form.
  bool writes_disk() const {
    return disk_name && (text_mode || !operations.empty() || form != disk_form::as_read);
  }
};

// What parsing decided: run the conversion with `options`, or end with `exit_status`
// after the usage text, an error message or a listing has been written.
struct parse_result {
  bool run = false;
  int exit_status = 0;
  run_options options;
};

// Reads the argument vector (argv[0] is the invocation name). `--help` and `--version` write
// the usage text or the version to `out` and end parsing like `-k`. Options are tested in a fixed
// order; the first argument that does not begin with '-', or everything after "--", starts
// the inputs. Usage and messages go to `err`; `-k<version>` writes the keyword list to `out`.
// Hexadecimal values (-l, -skip) read as strtoul does in base 16 and keep their low 16 bits;
// version numbers read as the standard decimal conversion does. -disk takes a separate value
// like -o; -skip cannot go with it, and -t -disk needs -o. -json goes with -disk alone.
// -typed is text mode for the versions whose typed input is known (0-4).
// -memory takes a separate value too; -skip with it is the offset of $0000 in a plain dump;
// -t, -disk and inputs cannot go with it.
// -delete, -rename, -put and -raw take one or more values: the arguments after them up to the
// next that begins with '-' (-raw's are its entries; inputs may name more). The operations go
// with -disk and -o; -raw and -check with -disk; -blank takes the new disk's name and goes
// with -size and -form alone.
parse_result parse_command_line(int argc, const char* const* argv, FILE* out, FILE* err);

}  // namespace brenvik
