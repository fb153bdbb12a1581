// Runs the built brenvik binary as a user would, and captures what it did: exit status,
// standard output and standard error, byte for byte.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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
  std::string setup_failure;  // the step that kept the child from running brenvik, if any
};

struct run_setup {
  std::string argv0 = "brenvik";
  std::optional<std::string> stdin_bytes;  // default: an empty standard input
  std::optional<std::string> stdin_path;   // a file (or directory) opened as standard input
  std::optional<std::string> stdout_path;  // a file standard output is opened on, e.g. /dev/full
  std::optional<std::string> stderr_path;  // the same for standard error
  std::filesystem::path cwd;               // default: the scratch directory
  std::optional<uid_t> run_as;             // user and group to switch to before exec
  bool close_stdout = false;               // start brenvik with descriptor 1 closed
  bool close_stderr = false;               // start brenvik with descriptor 2 closed
  std::optional<rlim_t> memory_limit;      // bytes of address space
  unsigned alarm_seconds = 0;              // SIGALRM after this long (0: none)
  std::vector<std::string> wrapper;  // a program that runs brenvik, e.g. strace and its options
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

  std::vector<std::string> words = setup.wrapper;
  if (!words.empty()) words.push_back(BRENVIK_EXE);
  words.push_back(setup.argv0);
  if (!setup.wrapper.empty()) words.pop_back();
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv(words.size() + 1, nullptr);
  std::transform(words.begin(), words.end(), argv.begin(), [](auto& w) { return w.data(); });

  // The child reports a failed step through a pipe that closes when brenvik starts.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return {-1, "", "", "pipe: " + std::string(strerror(errno))};
  const pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    const auto fail = [&](const char* step) {
      const std::string text = std::string(step) + ": " + strerror(errno);
      (void)!write(report[1], text.data(), text.size());
      _exit(127);
    };
    const int in = open(in_path.c_str(), O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0) fail("standard input");
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || dup2(out, 1) < 0) fail("standard output");
    const int err = open(setup.stderr_path.value_or(err_file.string()).c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err < 0 || dup2(err, 2) < 0) fail("standard error");
    if (setup.memory_limit) {
      const rlimit limit{*setup.memory_limit, *setup.memory_limit};
      if (setrlimit(RLIMIT_AS, &limit) != 0) fail("setrlimit");
    }
    if (setup.run_as && setgid(*setup.run_as) != 0) fail("setgid");
    if (setup.run_as && setuid(*setup.run_as) != 0) fail("setuid");
    if (chdir(cwd.c_str()) != 0) fail("chdir");
    if (setup.close_stdout) close(1);
    if (setup.close_stderr) close(2);
    alarm(setup.alarm_seconds);
    if (!setup.wrapper.empty()) {
      execvp(argv[0], argv.data());
      fail("exec wrapper");
    }
    execv(BRENVIK_EXE, argv.data());
    fail("exec " BRENVIK_EXE);
  }
  close(report[1]);
  run_result result;
  char text[512];
  for (ssize_t n; (n = read(report[0], text, sizeof text)) > 0;)
    result.setup_failure.append(text, static_cast<std::size_t>(n));
  close(report[0]);
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  if (!setup.stdout_path) result.out = read_file(out_file);
  result.err = read_file(err_file);
  if (!result.setup_failure.empty()) result.err = "run_brenvik: " + result.setup_failure;
  return result;
}

// Starts brenvik with `args` in `dir`, its standard streams on /dev/null, and returns at
// once: the test feeds it, kills it or waits for it.
class running_brenvik {
 public:
  running_brenvik(const scratch_dir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "brenvik");
    std::vector<char*> argv(args.size() + 1, nullptr);
    std::transform(args.begin(), args.end(), argv.begin(), [](auto& a) { return a.data(); });
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_RDWR);
      if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) _exit(127);
      if (chdir(dir.path().c_str()) != 0) _exit(127);
      execv(BRENVIK_EXE, argv.data());
      _exit(127);
    }
  }
  running_brenvik(const running_brenvik&) = delete;
  running_brenvik& operator=(const running_brenvik&) = delete;
  ~running_brenvik() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      wait();
    }
  }

  void kill_now() const { kill(pid_, SIGKILL); }

  // The exit status, or 128 + the signal that ended it.
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace brenvik::testing
