#include "cli/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>

#include "cli/paths.h"

namespace brenvik {

namespace {

// A name beside the output that no file has: ".<output>.<number>~".
std::string hidden_name(const std::string& directory, const std::string& name, unsigned attempt) {
  std::string hidden = directory;
  hidden.append("/.").append(file_part(name)).append(".");
  hidden.append(std::to_string(getpid())).append("-").append(std::to_string(attempt)).append("~");
  return hidden;
}

// Temporary names of this process that a signal which ends it must remove first. Fixed
// storage, because the handler may call only async-signal-safe functions.
struct held_name {
  char path[PATH_MAX];
  volatile std::sig_atomic_t held;
};
held_name held_names[2];

constexpr int stopping_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void remove_held_names(int signal_number) {
  for (held_name& name : held_names)
    if (name.held != 0) unlink(name.path);
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigaction(signal_number, &standard, nullptr);
  raise(signal_number);  // delivered when the handler returns: the process ends by it
}

// Lets the stopping signals remove the held names; a signal the process ignores stays so.
void catch_stopping_signals() {
  static bool caught = false;
  if (caught) return;
  caught = true;
  struct sigaction handler {};
  handler.sa_handler = remove_held_names;
  sigemptyset(&handler.sa_mask);
  for (const int signal_number : stopping_signals)
    sigaddset(&handler.sa_mask, signal_number);
  for (const int signal_number : stopping_signals) {
    struct sigaction old {};
    if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
      sigaction(signal_number, &handler, nullptr);
    }
  }
}

// Holds `path` for removal by a stopping signal; returns its slot, or -1 when none is free.
int hold_name(const std::string& path) {
  catch_stopping_signals();
  for (int slot = 0; slot < static_cast<int>(std::size(held_names)); ++slot) {
    held_name& name = held_names[slot];
    if (name.held != 0 || path.size() >= sizeof name.path) continue;
    std::memcpy(name.path, path.c_str(), path.size() + 1);
    name.held = 1;
    return slot;
  }
  return -1;
}

void release_name(int slot) {
  if (slot >= 0) held_names[slot].held = 0;
}

// True when `entry` is a temporary name of an output: ".<output>.<pid>-<n>~"; `output`
// receives the output's name, `pid` the number of the process that made it.
bool temporary_of(std::string_view entry, std::string_view& output, long& pid) {
  if (!entry.starts_with('.') || !entry.ends_with('~')) return false;
  const std::size_t dot = entry.rfind('.');
  if (dot == 0) return false;
  output = entry.substr(1, dot - 1);
  const std::string_view number = entry.substr(dot + 1, entry.size() - dot - 2);
  const std::size_t dash = number.find('-');
  if (dash == 0 || dash == std::string_view::npos ||
      number.find_first_not_of("0123456789-") != std::string_view::npos ||
      number.find('-', dash + 1) != std::string_view::npos) {
    return false;
  }
  pid = std::strtol(std::string(number.substr(0, dash)).c_str(), nullptr, 10);
  return pid > 0;
}

// Removes the temporaries of output `name` in `directory` that runs left behind when they
// were killed: those whose process no longer exists. A folder is read once per run, for
// all its outputs: a run into a folder writes many.
void remove_stale_temporaries(const std::string& directory, std::string_view name) {
  static std::map<std::string, std::multimap<std::string, std::string>> stale_in;
  auto [place, fresh] = stale_in.try_emplace(directory);
  std::multimap<std::string, std::string>& stale = place->second;
  if (fresh) {
    DIR* folder = opendir(directory.c_str());
    if (folder == nullptr) return;
    while (const dirent* found = readdir(folder)) {
      std::string_view output;
      long pid = 0;
      if (temporary_of(found->d_name, output, pid) && pid != getpid() &&
          kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        stale.emplace(std::string(output), found->d_name);
      }
    }
    closedir(folder);
  }
  const auto [first, last] = stale.equal_range(std::string(name));
  for (auto left = first; left != last; ++left) {
    std::string path = directory;
    path.append(1, '/').append(left->second);
    unlink(path.c_str());
  }
  stale.erase(first, last);
}

}  // namespace

std::unique_ptr<output_file> output_file::create(const std::string& name, const char* mode_from) {
  // An output that is a symbolic link to a file is replaced where the link points.
  std::string target = name;
  struct stat link {};
  if (lstat(name.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
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
  auto file = std::unique_ptr<output_file>(
      new output_file(target, directory, descriptor, descriptor >= 0 ? temporary : ""));
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

bool output_file::close() {
  return std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
}

bool output_file::holds_the_same(const std::string& path) const {
  struct stat written {};
  struct stat existing {};
  if (fstat(descriptor_, &written) != 0 || stat(path.c_str(), &existing) != 0 ||
      !S_ISREG(existing.st_mode) || written.st_size != existing.st_size ||
      (written.st_mode & 07777) != (existing.st_mode & 07777)) {
    return false;
  }
  const int other = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (other < 0) return false;
  bool same = true;
  char mine[16384];
  char theirs[sizeof mine];
  for (off_t at = 0; same && at < written.st_size;) {
    const ssize_t count = pread(descriptor_, mine, sizeof mine, at);
    same = count > 0 && pread(other, theirs, static_cast<std::size_t>(count), at) == count &&
           std::memcmp(mine, theirs, static_cast<std::size_t>(count)) == 0;
    at += count > 0 ? count : 0;
  }
  ::close(other);
  return same;
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

  if (replace && holds_the_same(name_)) {
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
