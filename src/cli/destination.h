// The overwrite guard: where one conversion writes, and when its output takes the place of
// a file.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/output_file.h"
#include "cli/run.h"

namespace brenvik {

// The output of one conversion: standard output, a device or pipe written directly, or a
// new file that replaces the named output only when the conversion has ended.
class destination {
 public:
  // Opens the output `name` (none: standard output). A named output that exists is refused
  // without -f ("exists! Use -f"), and always when the run reads it; one that cannot be
  // created is said. -o's file may be a link to the file to replace, a device or a pipe; in
  // -o's folder a link is replaced itself, and anything but a file or a link is refused.
  // Returns nothing after the message, with `refusal` saying whether the run goes on
  // (rejected: what lies at a name in -o's folder) or stops (failed).
  static std::optional<destination> open(const run_context& run,
                                         const std::optional<std::string>& name, outcome& refusal);

  FILE* stream() const { return stream_; }

  // Ends the output: checks that every byte was written (standard output too: one that was
  // closed when the run started is a write error), and gives a new file the output's name
  // unless reading failed (`read_failed`) or the input was `rejected` while an output
  // exists: a listing or image of a rejected input never replaces one. Returns failed after
  // a message when a write or the naming failed, or when reading failed; rejected when a
  // file of -o's folder appeared meanwhile without -f; else converted.
  outcome close(const run_context& run, bool read_failed, bool rejected = false);

  // Flushes what was written and, for a new file, closes its stream; false when a write
  // failed. The file can then be read back through descriptor() before close() names it.
  bool finish_writing();
  // The new file's descriptor, or -1 when the output is not a new file.
  int descriptor() const { return file_ ? file_->descriptor() : -1; }

 private:
  struct closer {
    void operator()(FILE* stream) const { std::fclose(stream); }
  };

  FILE* stream_ = nullptr;
  std::optional<std::string> name_;
  std::unique_ptr<output_file> file_;
  std::unique_ptr<FILE, closer> direct_;  // a stream opened on the output itself
  bool replaces_ = false;                 // `file_` would replace an existing output
  bool finished_ = false;                 // finish_writing() has run, with the result `written_`
  bool written_ = false;
};

}  // namespace brenvik
