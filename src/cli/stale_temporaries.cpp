#include "cli/stale_temporaries.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <map>

#include "cli/temporary_names.h"

namespace brenvik {

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
  const auto [first, last] = stale.equal_range(temporary_stem(directory, name));
  for (auto left = first; left != last; ++left) {
    std::string path = directory;
    path.append(1, '/').append(left->second);
    unlink(path.c_str());
  }
  stale.erase(first, last);
}

}  // namespace brenvik
