// An output file that is written whole or not at all.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace brenvik {

// Bytes written to stream() go to a new, nameless file in the output's folder; commit()
// gives it the output's name, so that a failed or killed run leaves an existing output
// exactly as it was and no temporary file behind. Where the folder cannot hold a nameless
// file, and for the moment in which a new file takes an existing output's place, a hidden
// name beside the output (".<output>.<pid>-<n>~") is used: removed on failure, and by
// SIGINT, SIGTERM, SIGHUP or SIGPIPE before the process ends by that signal. One left by a
// run that was killed outright (SIGKILL) is removed by the next run that writes the same
// output, once no process of its number exists.
class output_file {
 public:
  enum class commit_result { done, exists, failed };

  // Starts a new file for the output `name`. Returns null when no file can be created in
  // its folder. `mode_from`, when not null, is an existing file whose permissions the new
  // file takes. With `follow_link`, a symbolic link at `name` is followed: the file it
  // points to is replaced (as cp does); else the link itself is.
  static std::unique_ptr<output_file> create(const std::string& name, const char* mode_from,
                                             bool follow_link);

  ~output_file();
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  FILE* stream() const { return stream_; }
  // The file, open for reading as well: what was written can be read back before commit().
  int descriptor() const { return descriptor_; }

  // Flushes the stream; false when a write failed. The file stays open for reading back.
  bool flush();

  // Gives the closed file the output's name: replacing a file of that name when `replace`,
  // else only if none exists (`exists` when one does, even one made meanwhile). A file that
  // already holds the same bytes is kept as it is, its time of change made now.
  commit_result commit(bool replace);

 private:
  output_file(std::string name, std::string directory, int descriptor, std::string temporary);

  std::string name_;
  std::string directory_;
  int descriptor_;
  std::string temporary_;  // the hidden name, when the file has one
  int held_ = -1;          // the slot that holds it for removal by a stopping signal
  FILE* stream_ = nullptr;
  bool committed_ = false;
};

}  // namespace brenvik
