// -o naming a folder: one output file per input, in that folder, named after the input.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace brenvik {

class output_folder {
 public:
  // `given` is the folder as the command line names it, with or without a trailing '/'.
  // The folder exists.
  explicit output_folder(std::string given);

  const std::string& given() const { return given_; }

  // The most bytes a file name in the folder may have.
  long name_limit() const { return name_limit_; }

  // The path of the file `file_name` in the folder.
  std::string path_of(std::string_view file_name) const;

  // The input this run wrote `path` for already, or null; then records `input` for it.
  const std::string* claim(const std::string& path, const std::string& input);

  void count_written() { ++written_; }
  int written() const { return written_; }

 private:
  std::string given_;
  long name_limit_;
  std::map<std::string, std::string> claimed_;  // path: the input written to it
  int written_ = 0;
};

// The file name for a file input: its base name with its extension (from its last '.',
// unless that begins the name) replaced by `extension`, or `extension` added.
std::string file_output_name(std::string_view input, std::string_view extension);

// The file name for a disk entry: its name without trailing spaces, every byte outside
// A-Z a-z 0-9 ! # $ & ' ( ) + , - . ; = @ [ ] ^ _ { } ~ (and % itself, and a leading '.')
// written as % and two upper-case hex digits, then `extension` (".bas" for a listing, ".bin"
// for an entry's raw bytes). A name of spaces alone is "%20". The escaping is reversible and
// safe on any host: "E/MARS" gives "E%2FMARS.bas".
std::string entry_output_name(std::string_view entry_name, std::string_view extension = ".bas");

}  // namespace brenvik
