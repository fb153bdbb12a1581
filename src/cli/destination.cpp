#include "cli/destination.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "messages.h"

namespace brenvik {

namespace {

// What a file other than a regular file or a link is, as the messages say it.
const char* kind_of(const struct stat& file) {
  if (S_ISDIR(file.st_mode)) return message::a_folder;
  if (S_ISFIFO(file.st_mode)) return message::a_named_pipe;
  if (S_ISSOCK(file.st_mode)) return message::a_socket;
  return message::a_device;
}

}  // namespace

std::optional<destination> destination::open(const run_context& run,
                                             const std::optional<std::string>& name,
                                             outcome& refusal) {
  refusal = outcome::failed;
  destination to;
  if (!name) {
    to.stream_ = run.std_out;
    return to;
  }
  to.name_ = *name;
  // A name in -o's folder is the run's own choice, so whatever lies there is replaced as a
  // name: a link is never followed, and nothing but a file or a link is opened.
  const bool in_folder = run.folder != nullptr;
  struct stat status {};
  const bool exists =
      (in_folder ? lstat(name->c_str(), &status) : stat(name->c_str(), &status)) == 0;
  if (in_folder && exists && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) {
    report(run.err, message::output_not_a_file, name->c_str(), kind_of(status));
    refusal = outcome::rejected;
    return std::nullopt;
  }
  if (exists && !run.options.force_overwrite) {
    report(run.err, message::output_exists, name->c_str());
    if (in_folder) refusal = outcome::rejected;
    return std::nullopt;
  }
  if (exists && run.reads(status)) {
    if (in_folder) {
      report(run.err, message::output_in_folder_is_input, name->c_str());
      refusal = outcome::rejected;
    } else {
      report(run.err, message::output_is_input, run.program(), name->c_str());
    }
    return std::nullopt;
  }
  const bool regular = exists && S_ISREG(status.st_mode);
  if (exists && !regular && !in_folder) {
    to.direct_.reset(std::fopen(name->c_str(), "wb"));
    to.stream_ = to.direct_.get();
  } else if ((to.file_ =
                  output_file::create(*name, regular ? name->c_str() : nullptr, !in_folder))) {
    to.stream_ = to.file_->stream();
    to.replaces_ = exists;
  }
  if (to.stream_ == nullptr) {
    report(run.err, message::cant_open_output, run.program(), name->c_str());
    return std::nullopt;
  }
  return to;
}

bool destination::finish_writing() {
  if (finished_) return written_;
  finished_ = true;
  written_ = std::ferror(stream_) == 0;
  if (file_) {
    written_ = file_->flush() && written_;
  } else if (direct_) {
    written_ = std::fclose(direct_.release()) == 0 && written_;
  } else {
    // Standard output closed when the run started is open for reading only: a write error.
    const int flags = fcntl(fileno(stream_), F_GETFL);
    written_ =
        std::fflush(stream_) == 0 && written_ && flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
  }
  return written_;
}

outcome destination::close(const run_context& run, bool read_failed, bool rejected) {
  const bool write_failed = !finish_writing();
  const char* name = name_ ? name_->c_str() : message::standard_output;
  if (write_failed) report(run.err, message::write_error, run.program(), name);
  if (read_failed || write_failed) return outcome::failed;
  if (!file_ || (rejected && replaces_)) return outcome::converted;
  switch (file_->commit(run.options.force_overwrite)) {
    case output_file::commit_result::done:
      if (run.folder != nullptr) run.folder->count_written();
      return outcome::converted;
    case output_file::commit_result::exists:
      report(run.err, message::output_exists, name);
      return run.folder != nullptr ? outcome::rejected : outcome::failed;
    case output_file::commit_result::failed:
      report(run.err, message::cant_open_output, run.program(), name);
      return outcome::failed;
  }
  return outcome::failed;
}

}  // namespace brenvik
