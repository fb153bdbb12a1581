// Runs the built brenvik binary as a user would, and captures what it did: exit status,
// standard output and standard error, byte for byte.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifndef BRENVIK_EXE
#error "BRENVIK_EXE must name the binary under test"
#endif

namespace brenvik::testing {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh directory for one test, removed with everything in it afterwards.
class scratch_dir {
 public:
  scratch_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brenvik-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;
  ~scratch_dir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct run_result {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

struct run_setup {
  std::string argv0 = "brenvik";
  std::optional<std::string> stdin_bytes;  // default: an empty standard input
  std::optional<std::string> stdin_path;   // a file (or directory) opened as standard input
  std::optional<std::string> stdout_path;  // a file standard output is opened on, e.g. /dev/full
  std::filesystem::path cwd;               // default: the scratch directory
  std::optional<uid_t> run_as;             // user and group to switch to before exec
};

// Runs brenvik with `args` in `dir`, whose files it may read and write.
inline run_result run_brenvik(const scratch_dir& dir, const std::vector<std::string>& args,
                              const run_setup& setup = {}) {
  const std::filesystem::path out_file = dir / ".stdout";
  const std::filesystem::path err_file = dir / ".stderr";
  const std::filesystem::path in_file = dir / ".stdin";
  write_file(in_file, setup.stdin_bytes.value_or(""));
  const std::string in_path = setup.stdin_path.value_or(in_file.string());
  const std::string out_path = setup.stdout_path.value_or(out_file.string());
  const std::filesystem::path cwd = setup.cwd.empty() ? dir.path() : setup.cwd;

  std::vector<std::string> words{setup.argv0};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child == 0) {
    const int in = open(in_path.c_str(), O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
      _exit(200);
    if (setup.run_as && (setgid(*setup.run_as) != 0 || setuid(*setup.run_as) != 0)) _exit(201);
    if (chdir(cwd.c_str()) != 0) _exit(202);
    execv(BRENVIK_EXE, argv.data());
    _exit(203);
  }
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  run_result result;
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  if (!setup.stdout_path) result.out = read_file(out_file);
  result.err = read_file(err_file);
  return result;
}

}  // namespace brenvik::testing
