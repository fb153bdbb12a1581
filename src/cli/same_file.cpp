#include "cli/same_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace brenvik {

bool holds_the_same(int descriptor, const std::string& path) {
  struct stat written {};
  struct stat existing {};
  if (fstat(descriptor, &written) != 0 || lstat(path.c_str(), &existing) != 0 ||
      !S_ISREG(existing.st_mode) || written.st_size != existing.st_size ||
      (written.st_mode & 07777) != (existing.st_mode & 07777)) {
    return false;
  }
  const int other = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (other < 0) return false;
  bool same = true;
  char mine[16384];
  char theirs[sizeof mine];
  for (off_t at = 0; same && at < written.st_size;) {
    const ssize_t count = pread(descriptor, mine, sizeof mine, at);
    same = count > 0 && pread(other, theirs, static_cast<std::size_t>(count), at) == count &&
           std::memcmp(mine, theirs, static_cast<std::size_t>(count)) == 0;
    at += count > 0 ? count : 0;
  }
  close(other);
  return same;
}

}  // namespace brenvik
