// Outputs under signals, through the built binary: strace delivers a signal as brenvik
// enters a chosen system call, so that each step of writing an output is interrupted
// deterministically. No run leaves a temporary behind for long: a caught signal removes it
// before the run ends by that signal, and a run killed outright leaves it for the next
// run of the same output to remove.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "images.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

// strace and its options; LeakSanitizer, in a sanitizer build, cannot run under a tracer.
std::vector<std::string> strace(std::vector<std::string> options) {
  options.insert(options.begin(),
                 {"strace", "-f", "-E", "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"});
  return options;
}

class output_file_e2e : public ::testing::Test {
 protected:
  void SetUp() override {
    run_setup probe;
    probe.wrapper = strace({"-o", "/dev/null"});
    if (run_brenvik(dir, {"--version"}, probe).status != 0) {
      GTEST_SKIP() << "strace cannot trace brenvik here (not installed, or tracing not allowed)";
    }
    write_file(dir / "new.bas", "10 PRINT \"NEW\"\r\n");
    write_file(dir / "out.tok", "old");
  }

  // Runs `brenvik -t -w0 -f -o out.tok new.bas` with `signal_name` delivered on entering
  // the `when`-th call of `syscall` (and `error` injected into it, when given).
  run_result interrupted(const std::string& syscall, const std::string& signal_name, int when = 1) {
    run_setup traced;
    traced.wrapper = {
        "strace", "-f",
        "-o",     "/dev/null",
        "-e",     "inject=" + syscall + ":signal=" + signal_name + ":when=" + std::to_string(when)};
    return run_brenvik(dir, {"-t", "-w0", "-f", "-o", "out.tok", "new.bas"}, traced);
  }

  // The files of the scratch folder but the harness's own.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> names;
    for (const auto& file : std::filesystem::directory_iterator(dir.path())) {
      const std::string name = file.path().filename().string();
      if (name != "new.bas" && name != "out.tok" && !name.starts_with(".std"))
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  const std::string new_image = image_of(0x300, {{10, "\x97 \"NEW\""}});
  scratch_dir dir;
};

TEST_F(output_file_e2e, a_caught_signal_removes_the_temporary_at_every_step) {
  for (const std::string signal_name : {"INT", "TERM", "HUP", "PIPE"}) {
    for (const std::string syscall : {"write", "linkat", "rename"}) {
      write_file(dir / "out.tok", "old");
      const run_result result = interrupted(syscall, signal_name);
      std::string label = signal_name;
      label.append(" at ").append(syscall);
      EXPECT_NE(result.status, 0) << label;
      EXPECT_EQ(leftovers(), std::vector<std::string>{}) << label;
      // Before the new file has taken its place, the old one stands; after, the new one.
      const std::string out = read_file(dir / "out.tok");
      EXPECT_TRUE(out == "old" || (syscall == "rename" && out == new_image)) << label << out;
    }
  }
}

TEST_F(output_file_e2e, the_next_run_removes_what_a_killed_run_left) {
  const run_result killed = interrupted("rename", "KILL");
  EXPECT_EQ(killed.status, 128 + SIGKILL);
  EXPECT_EQ(read_file(dir / "out.tok"), "old");
  const std::vector<std::string> left = leftovers();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left[0].starts_with(".out.tok.") && left[0].ends_with("-0~")) << left[0];

  // A temporary of a run that is still going is kept; of one that has ended, removed.
  write_file(dir / (".out.tok." + std::to_string(getpid()) + "-7~"), "running");
  write_file(dir / "other.tok", "other");
  const run_result next = run_brenvik(dir, {"-t", "-w0", "-f", "-o", "out.tok", "new.bas"});
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(read_file(dir / "out.tok"), new_image);
  EXPECT_EQ(leftovers(), (std::vector<std::string>{".out.tok." + std::to_string(getpid()) + "-7~",
                                                   "other.tok"}));
  std::filesystem::remove(dir / (".out.tok." + std::to_string(getpid()) + "-7~"));
}

// An output whose name is as long as its folder takes gets a temporary whose name fits too:
// -f replaces it, and the temporary of a run killed on the way goes with the next run.
TEST_F(output_file_e2e, a_long_name_has_a_temporary_that_fits) {
  const auto limit = static_cast<std::size_t>(pathconf(dir.path().c_str(), _PC_NAME_MAX));
  const std::string name(limit, 'o');
  write_file(dir / name, "old");
  run_setup killed;
  killed.wrapper = strace({"-o", "/dev/null", "-e", "inject=rename:signal=KILL"});
  const std::vector<std::string> args = {"-t", "-w0", "-f", "-o", name, "new.bas"};
  EXPECT_EQ(run_brenvik(dir, args, killed).status, 128 + SIGKILL);
  EXPECT_EQ(read_file(dir / name), "old");
  const std::vector<std::string> left = leftovers();
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[1], name);
  EXPECT_LE(left[0].size(), limit);
  EXPECT_TRUE(left[0].starts_with('.') && left[0].substr(1, 100) == name.substr(0, 100) &&
              left[0].ends_with("-0~"))
      << left[0];

  const run_result next = run_brenvik(dir, args);
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(read_file(dir / name), new_image);
  EXPECT_EQ(leftovers(), std::vector<std::string>{name});
}

// Where the folder cannot hold a nameless file, the temporary has a name from the start.
TEST_F(output_file_e2e, without_nameless_files_the_temporary_goes_too) {
  // The call that opens the nameless file is the first openat with O_TMPFILE: found by a
  // trace, then made to fail as on a file system without them.
  const std::filesystem::path trace = dir / "trace";
  run_setup traced;
  traced.wrapper = strace({"-e", "trace=openat", "-o", trace.string()});
  ASSERT_EQ(run_brenvik(dir, {"-t", "-w0", "-f", "-o", "out.tok", "new.bas"}, traced).status, 0);
  const std::string calls = read_file(trace);
  std::filesystem::remove(trace);
  int which = 0;
  bool found = false;
  std::stringstream lines(calls);
  for (std::string line; !found && std::getline(lines, line);) {
    if (line.find("openat(") == std::string::npos) continue;
    ++which;
    found = line.find("O_TMPFILE") != std::string::npos;
  }
  ASSERT_TRUE(found) << calls;
  for (const std::string signal_name : {"INT", "KILL"}) {
    write_file(dir / "out.tok", "old");
    run_setup no_tmpfile;
    no_tmpfile.wrapper = strace({"-o", "/dev/null", "-e",
                                 "inject=openat:error=EOPNOTSUPP:when=" + std::to_string(which),
                                 "-e", "inject=write:signal=" + signal_name + ":when=1"});
    const run_result result =
        run_brenvik(dir, {"-t", "-w0", "-f", "-o", "out.tok", "new.bas"}, no_tmpfile);
    EXPECT_NE(result.status, 0) << signal_name;
    EXPECT_EQ(read_file(dir / "out.tok"), "old") << signal_name;
    if (signal_name == "INT") {
      EXPECT_EQ(leftovers(), std::vector<std::string>{});
    }
  }
  // SIGKILL left its temporary; the next run takes it away.
  EXPECT_EQ(leftovers().size(), 1u);
  EXPECT_EQ(run_brenvik(dir, {"-t", "-w0", "-f", "-o", "out.tok", "new.bas"}).status, 0);
  EXPECT_EQ(read_file(dir / "out.tok"), new_image);
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

}  // namespace
}  // namespace brenvik
