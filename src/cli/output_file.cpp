#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "cli/paths.h"
#include "cli/same_file.h"
#include "cli/signal_cleanup.h"
#include "cli/stale_temporaries.h"
#include "cli/temporary_names.h"

namespace brenvik {

std::unique_ptr<output_file> output_file::create(const std::string& name, const char* mode_from,
                                                 bool follow_link) {
  std::string target = name;
  struct stat link {};
  if (follow_link && lstat(name.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(name.c_str(), resolved) != nullptr) target = resolved;
  }
  const std::string directory = folder_part(target);
  remove_stale_temporaries(directory, file_part(target));

  std::string temporary;
  int held = -1;
  int descriptor = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (descriptor < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    for (unsigned attempt = 0; descriptor < 0 && attempt < 100; ++attempt) {
      temporary = hidden_name(directory, target, attempt);
      release_name(held);
      held = hold_name(temporary);
      descriptor = open(temporary.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
      if (descriptor < 0 && errno != EEXIST) break;
    }
  }
  if (descriptor < 0) {
    release_name(held);
    return nullptr;
  }
  struct stat old {};
  if (mode_from != nullptr && stat(mode_from, &old) == 0) fchmod(descriptor, old.st_mode & 07777);
  auto file =
      std::unique_ptr<output_file>(new output_file(target, directory, descriptor, temporary));
  file->held_ = held;
  file->stream_ = fdopen(descriptor, "w+b");
  if (file->stream_ == nullptr) return nullptr;
  return file;
}

output_file::output_file(std::string name, std::string directory, int descriptor,
                         std::string temporary)
    : name_(std::move(name)),
      directory_(std::move(directory)),
      descriptor_(descriptor),
      temporary_(std::move(temporary)) {}

output_file::~output_file() {
  if (stream_ != nullptr) {
    std::fclose(stream_);
  } else if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
  if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
  release_name(held_);
}

bool output_file::flush() {
  return std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
}

output_file::commit_result output_file::commit(bool replace) {
  // A nameless file gets a name by a link through /proc, or by its descriptor alone where
  // the process may do that.
  const auto link_to = [&](const std::string& path) {
    if (!temporary_.empty()) return link(temporary_.c_str(), path.c_str()) == 0;
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor_);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return true;
    }
    return errno != EEXIST && linkat(descriptor_, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
  };

  if (replace && holds_the_same(descriptor_, name_)) {
    // Replacing a file by the same bytes would only cost the file system a flush: it is
    // left in place, its time of change made now, as a rewrite would make it.
    // The new file goes with this object, as an uncommitted one does.
    utimensat(AT_FDCWD, name_.c_str(), nullptr, 0);
    return commit_result::done;
  }
  if (!replace) {
    if (!link_to(name_)) return errno == EEXIST ? commit_result::exists : commit_result::failed;
  } else if (!temporary_.empty()) {
    if (rename(temporary_.c_str(), name_.c_str()) != 0) return commit_result::failed;
  } else {
    // The new file gets a hidden name that a stopping signal removes, and that takes the
    // output's place at once.
    std::string hidden;
    bool linked = false;
    int held = -1;
    for (unsigned attempt = 0; !linked && attempt < 100; ++attempt) {
      hidden = hidden_name(directory_, name_, attempt);
      release_name(held);
      held = hold_name(hidden);
      linked = link_to(hidden);
      if (!linked && errno != EEXIST) break;
    }
    const bool renamed = linked && rename(hidden.c_str(), name_.c_str()) == 0;
    if (linked && !renamed) unlink(hidden.c_str());
    release_name(held);
    if (!renamed) return commit_result::failed;
  }
  if (!temporary_.empty() && !replace) unlink(temporary_.c_str());
  committed_ = true;
  return commit_result::done;
}

}  // namespace brenvik
