// The built binary converting files: inputs, output, overwrite guard, skip, failures.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "catalogue/catalogue.h"
#include "images.h"
#include "memory_streams.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

const std::string end_image = bytes({0x00, 0x07, 0x03, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00});
const std::string print_image = image_of(0x300, {{20, "\x97 1"}, {30, "\x80"}});
const std::string chose_rom =
    "BASIC version not specified, so I chose OSI BASIC In ROM (C1/C2/C4)\r\n";

class conversion_run_e2e : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir / "a.tok", end_image);
    write_file(dir / "b.tok", print_image);
  }
  run_result run(const std::vector<std::string>& args, const run_setup& setup = {}) {
    return run_brenvik(dir, args, setup);
  }
  std::string file(const std::string& name) { return read_file(dir / name); }

  scratch_dir dir;
};

TEST_F(conversion_run_e2e, lists_files_in_turn_or_standard_input) {
  const run_result one = run({"a.tok"});
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(one.out, "10 END\r\n");
  EXPECT_EQ(one.err, chose_rom);

  run_setup piped;
  piped.stdin_bytes = end_image;
  const run_result from_stdin = run({"-w0"}, piped);
  EXPECT_EQ(from_stdin.status, 0);
  EXPECT_EQ(from_stdin.out, "10 END\r\n");
  EXPECT_EQ(from_stdin.err, "");

  const run_result both = run({"-w0", "a.tok", "b.tok", "a.tok"});
  EXPECT_EQ(both.status, 0);
  EXPECT_EQ(both.out, "10 END\r\n20 PRINT 1\r\n30 END\r\n10 END\r\n");
}

TEST_F(conversion_run_e2e, skip_discards_bytes_of_the_first_input_only) {
  write_file(dir / "raw.dat", std::string(128, '\x55') + end_image);
  write_file(dir / "hdr.tok", "\x7F\x32" + end_image);
  struct row {
    std::vector<std::string> args;
    std::string out;
  };
  const row rows[] = {
      {{"-w0", "-skip", "80", "raw.dat"}, "10 END\r\n"},
      {{"-w0", "-skip", "0", "a.tok"}, "10 END\r\n"},
      {{"-w0", "-skip", "FFFF", "a.tok"}, "10 END\r\n"},
      {{"-w0", "-skip", "8000", "a.tok"}, "10 END\r\n"},
      {{"-w0", "-skip", "2", "hdr.tok", "a.tok"}, "10 END\r\n10 END\r\n"},
  };
  for (const row& r : rows) {
    const run_result result = run(r.args);
    EXPECT_EQ(result.status, 0) << r.args[2];
    EXPECT_EQ(result.out, r.out) << r.args[2];
    EXPECT_EQ(result.err, "") << r.args[2];
  }
  // Running out while skipping is no error, but what is left is no image.
  const run_result past_the_end = run({"-w0", "-offset", "7FFF", "a.tok"});
  EXPECT_EQ(past_the_end.status, 1);
  EXPECT_EQ(past_the_end.err, "Image ends before its first line\r\n");
}

TEST_F(conversion_run_e2e, output_file_and_overwrite_guard) {
  const run_result created = run({"-w0", "-o", "out.bas", "a.tok"});
  EXPECT_EQ(created.status, 0);
  EXPECT_EQ(created.out, "");
  EXPECT_EQ(file("out.bas"), "10 END\r\n");

  const run_result refused = run({"-w0", "-o", "out.bas", "b.tok"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Output file out.bas exists! Use -f to force overwrite.\r\n");
  EXPECT_EQ(file("out.bas"), "10 END\r\n");

  const run_result forced = run({"-w0", "-f", "-o", "out.bas", "b.tok"});
  EXPECT_EQ(forced.status, 0);
  EXPECT_EQ(file("out.bas"), "20 PRINT 1\r\n30 END\r\n");

  // One file cannot take several inputs: refused before anything is opened.
  const run_result several = run({"-w0", "-f", "-o", "out.bas", "b.tok", "a.tok"});
  EXPECT_EQ(several.status, 1);
  EXPECT_EQ(several.err,
            "\r\nbrenvik: -o out.bas names one file, but 2 inputs were given: name a folder (-o "
            "out.bas/) to write one file each\r\n");
  EXPECT_EQ(file("out.bas"), "20 PRINT 1\r\n30 END\r\n");
  EXPECT_EQ(run({"-w0", "-o", "new.bas", "b.tok", "a.tok", "missing.tok"}).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "new.bas"));

  const run_result cannot_create = run({"-o", "no/such/dir.bas", "a.tok"});
  EXPECT_EQ(cannot_create.status, 1);
  EXPECT_EQ(cannot_create.err, "\r\nbrenvik: Can't open output file no/such/dir.bas\r\n");
}

TEST_F(conversion_run_e2e, inputs_that_cannot_be_opened_or_read) {
  run_setup named;
  named.argv0 = "C:\\bin\\bv.exe";
  const run_result missing = run({"-w0", "a.tok", "missing.tok", "b.tok"}, named);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "10 END\r\n");
  EXPECT_EQ(missing.err, "\r\nbv.exe: Can't open file missing.tok\r\n");

  std::filesystem::create_directory(dir / "folder");
  const run_result folder = run({"folder"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "\r\nbrenvik: Can't open file folder\r\nfolder: it is a folder\r\n");

  run_setup folder_as_stdin;
  folder_as_stdin.stdin_path = (dir / "folder").string();
  const run_result stdin_folder = run({}, folder_as_stdin);
  EXPECT_EQ(stdin_folder.status, 1);
  EXPECT_EQ(stdin_folder.err, "\r\nbrenvik: Error reading standard input\r\n");

  // Reading a process's own memory from address 0 fails with an I/O error.
  const run_result unreadable = run({"-t", "-w0", "/proc/self/mem"});
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_EQ(unreadable.err, "\r\nbrenvik: Error reading /proc/self/mem\r\n");
}

TEST_F(conversion_run_e2e, an_output_that_is_an_input_is_refused) {
  std::filesystem::create_hard_link(dir / "b.tok", dir / "b-link.tok");
  std::filesystem::create_symlink("b.tok", dir / "b-symlink.tok");
  struct row {
    std::vector<std::string> args;
    std::string err;
  };
  const row rows[] = {
      {{"-f", "-o", "b.tok", "b.tok"}, "\r\nbrenvik: Output file b.tok is also an input\r\n"},
      {{"-f", "-o", "b-link.tok", "b.tok"},
       "\r\nbrenvik: Output file b-link.tok is also an input\r\n"},
      {{"-f", "-o", "./b-symlink.tok", "b.tok"},
       "\r\nbrenvik: Output file ./b-symlink.tok is also an input\r\n"},
      {{"-o", "b.tok", "b.tok"}, "Output file b.tok exists! Use -f to force overwrite.\r\n"},
  };
  for (const row& r : rows) {
    const run_result result = run(r.args);
    EXPECT_EQ(result.status, 1) << r.args[2];
    EXPECT_EQ(result.err, r.err) << r.args[2];
    EXPECT_EQ(file("b.tok"), print_image) << r.args[2];
  }

  run_setup from_b;
  from_b.stdin_path = (dir / "b.tok").string();
  const run_result stdin_is_output = run({"-f", "-o", "b.tok"}, from_b);
  EXPECT_EQ(stdin_is_output.status, 1);
  EXPECT_EQ(stdin_is_output.err, "\r\nbrenvik: Output file b.tok is also an input\r\n");
  EXPECT_EQ(file("b.tok"), print_image);
}

TEST_F(conversion_run_e2e, write_failures_are_failures) {
  const run_result full_file = run({"-w0", "-f", "-o", "/dev/full", "a.tok"});
  EXPECT_EQ(full_file.status, 1);
  EXPECT_EQ(full_file.err, "\r\nbrenvik: Error writing /dev/full\r\n");

  run_setup full_stdout;
  full_stdout.stdout_path = "/dev/full";
  const run_result full = run({"-w0", "a.tok", "b.tok"}, full_stdout);
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "\r\nbrenvik: Error writing standard output\r\n");
}

// An existing output that its owner cannot read still exists: without -f it is kept.
TEST_F(conversion_run_e2e, a_write_only_output_is_not_overwritten) {
  run_setup setup;
  if (geteuid() == 0) {
    // As root every file is readable: run as nobody, if nobody may run the binary at all
    // (a build tree under a folder closed to other users keeps it out).
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "no user nobody to run as";
    setup.run_as = nobody->pw_uid;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    std::filesystem::permissions(dir / "a.tok", std::filesystem::perms::all);
    const run_result probe = run({"-k"}, setup);
    if (!probe.setup_failure.empty()) {
      GTEST_SKIP() << "nobody cannot run brenvik here: " << probe.setup_failure;
    }
  }
  write_file(dir / "locked.bas", "keep me");
  if (setup.run_as) {
    ASSERT_EQ(chown((dir / "locked.bas").c_str(), *setup.run_as, 0), 0);
  }
  std::filesystem::permissions(dir / "locked.bas", std::filesystem::perms::owner_write);

  const run_result result = run({"-w0", "-o", "locked.bas", "a.tok"}, setup);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Output file locked.bas exists! Use -f to force overwrite.\r\n");
  std::filesystem::permissions(dir / "locked.bas", std::filesystem::perms::owner_read);
  EXPECT_EQ(file("locked.bas"), "keep me");
}

TEST_F(conversion_run_e2e, rejected_inputs_fail_the_run_but_not_the_next_input) {
  write_file(dir / "bad.tok", bytes({0x00, 0x07, 0x05, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}));
  write_file(dir / "null.tok", image_of(0x300, {{10, std::string("\x80\0", 2)}}));

  const run_result undetected = run({"bad.tok", "a.tok"});
  EXPECT_EQ(undetected.status, 1);
  EXPECT_EQ(undetected.out, "10 END\r\n");
  EXPECT_EQ(undetected.err,
            "Can't detect the BASIC version from line link $0507, use -w<version>\r\n" + chose_rom);

  const run_result outside = run({"-w0", "-o", "out.bas", "bad.tok"});
  EXPECT_EQ(outside.status, 1);
  EXPECT_EQ(outside.err, "invalid basic offset encountered $0507\r\n");
  EXPECT_EQ(file("out.bas"), "");  // created all the same

  write_file(dir / "cut.tok", end_image.substr(0, 7));
  const run_result truncated = run({"cut.tok", "a.tok"});
  EXPECT_EQ(truncated.status, 1);
  EXPECT_EQ(truncated.out, "10 END\r\n10 END\r\n");
  EXPECT_EQ(truncated.err,
            chose_rom + "Image ends without its end marker after line 10\r\n" + chose_rom);

  write_file(dir / "top.bas", "1 AB\n2 C\n");
  const run_result past_top = run({"-t", "-w0", "-l", "FFF4", "top.bas"});
  EXPECT_EQ(past_top.status, 1);
  EXPECT_EQ(past_top.out, bytes({0, 0xFC, 0xFF, 0x01, 0x00, 0x41, 0x42, 0x00, 0, 0}));
  EXPECT_EQ(past_top.err,
            "Line 2 runs past the top of memory at $FFFF: give a lower load address with -l\r\n");

  const run_result warned = run({"-w0", "null.tok"});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.out, "10 END \r\n");
  EXPECT_EQ(warned.err, "\r\nUnexpected NULL encountered in line 10 (offset 773)\r\n");
}

TEST_F(conversion_run_e2e, tokenizes_for_the_load_address_of_the_command_line) {
  write_file(dir / "p.bas", "10 PRINT\r\n");
  const std::string no_version =
      "No BASIC version given (-w<version>): keywords are kept as text\r\n";
  struct row {
    std::vector<std::string> args;
    std::string image;
    std::string err;
  };
  const row rows[] = {
      {{"-t", "p.bas"}, image_of(0x0300, {{10, "PRINT"}}), no_version},
      {{"-text", "-w0", "p.bas"}, image_of(0x0300, {{10, "\x97"}})},
      {{"-w5", "-t", "p.bas"}, image_of(0x6000, {{10, "\x97"}})},
      {{"-w5", "-t", "-l", "0", "p.bas"}, image_of(0x6000, {{10, "\x97"}})},
      {{"-t", "-l", "0", "p.bas"}, image_of(0x0000, {{10, "PRINT"}}), no_version},
      {{"-w5", "-t", "-l", "3A7E", "p.bas"}, image_of(0x3A7E, {{10, "\x97"}})},
      {{"-w3", "-t", "-l", "300", "p.bas"}, image_of(0x0300, {{10, "\x97"}})},
  };
  for (const row& r : rows) {
    const run_result result = run(r.args);
    EXPECT_EQ(result.status, 0) << r.args[1];
    EXPECT_EQ(result.out, r.image) << r.args[1];
    EXPECT_EQ(result.err, r.err) << r.args[1];
  }

  write_file(dir / "long.bas", "10 A\r\n20 " + std::string(300, 'B') + "\r\n");
  const run_result too_long = run({"-t", "-w0", "long.bas", "p.bas"});
  EXPECT_EQ(too_long.status, 1);
  EXPECT_EQ(too_long.out, image_of(0x300, {{10, "A"}}) + image_of(0x300, {{10, "\x97"}}));
  EXPECT_EQ(too_long.err, "Line 20 is too long (300 bytes tokenized, at most 250)\r\n");
}

// The files in the scratch folder, but for the runner's own.
std::vector<std::string> files_in(const scratch_dir& dir) {
  std::vector<std::string> names;
  for (const auto& file : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = file.path().filename().string();
    if (!name.starts_with(".std")) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// An output is replaced when its conversion ends, and only then: a failure, a kill or a
// rejected input leaves the old file as it was and nothing else behind.
TEST_F(conversion_run_e2e, outputs_are_replaced_whole_or_not_at_all) {
  const std::string half_good = image_of(0x300, {{10, "A"}}).substr(0, 7) +
                                bytes({0x00, 0x03, 0x14, 0x00, 0x42, 0x00});  // then a bad link
  write_file(dir / "half.tok", half_good);
  write_file(dir / "out.bas", "OLD");
  std::filesystem::permissions(dir / "out.bas", std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::owner_write |
                                                    std::filesystem::perms::group_read);

  EXPECT_EQ(run({"-w0", "-f", "-o", "out.bas", "half.tok"}).status, 1);
  EXPECT_EQ(file("out.bas"), "OLD");
  EXPECT_EQ(run({"-f", "-o", "out.bas", "-t", "-w0", "/proc/self/mem"}).status, 1);
  EXPECT_EQ(file("out.bas"), "OLD");

  const run_result fresh = run({"-w0", "-o", "new.bas", "half.tok"});
  EXPECT_EQ(fresh.status, 1);
  EXPECT_EQ(file("new.bas"), "10 A\r\n");  // a new output shows what could be read

  EXPECT_EQ(run({"-w0", "-f", "-o", "out.bas", "a.tok"}).status, 0);
  EXPECT_EQ(file("out.bas"), "10 END\r\n");
  EXPECT_EQ(std::filesystem::status(dir / "out.bas").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);

  // Killed while it waits for the rest of its input.
  ASSERT_EQ(mkfifo((dir / "slow.fifo").c_str(), 0600), 0);
  {
    running_brenvik slow(dir, {"-w0", "-f", "-o", "out.bas", "slow.fifo"});
    std::ofstream feed(dir / "slow.fifo", std::ios::binary);
    feed << end_image.substr(0, 5) << std::flush;
    usleep(100'000);
    slow.kill_now();
    EXPECT_EQ(slow.wait(), 128 + SIGKILL);
  }
  EXPECT_EQ(file("out.bas"), "10 END\r\n");
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"a.tok", "b.tok", "half.tok", "new.bas",
                                                     "out.bas", "slow.fifo"}));
}

// Two runs that create the same output never mix: one wins, the other finds it there.
TEST_F(conversion_run_e2e, racing_runs_do_not_mix_their_outputs) {
  ASSERT_EQ(mkfifo((dir / "one.fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dir / "two.fifo").c_str(), 0600), 0);
  running_brenvik one(dir, {"-w0", "-o", "race.bas", "one.fifo"});
  running_brenvik two(dir, {"-w0", "-o", "race.bas", "two.fifo"});
  {
    // Both find no output and start converting before either has ended.
    std::ofstream feed_one(dir / "one.fifo", std::ios::binary);
    std::ofstream feed_two(dir / "two.fifo", std::ios::binary);
    usleep(100'000);
    feed_one << end_image;
    feed_two << print_image;
  }
  const int statuses = one.wait() + two.wait();
  EXPECT_EQ(statuses, 1);
  const std::string race = file("race.bas");
  EXPECT_TRUE(race == "10 END\r\n" || race == "20 PRINT 1\r\n30 END\r\n") << race;
}

TEST_F(conversion_run_e2e, standard_streams) {
  // With standard error closed, no message lands in the output.
  write_file(dir / "bad.tok", bytes({0x00, 0x07, 0x05, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}));
  run_setup closed;
  closed.close_stderr = true;
  EXPECT_EQ(run({"-o", "out.bas", "bad.tok"}, closed).status, 1);
  EXPECT_EQ(file("out.bas"), "");

  // Output meant for a standard output that was closed is lost: a write error, also for an
  // empty listing and for the lists that end parsing.
  run_setup no_stdout;
  no_stdout.close_stdout = true;
  const std::string lost = "\r\nbrenvik: Error writing standard output\r\n";
  write_file(dir / "empty.tok", bytes({0x00, 0x00, 0x00}));
  for (const auto& args : {std::vector<std::string>{"-w0", "a.tok"},
                           {"empty.tok"},
                           {"-k3"},
                           {"--help"},
                           {"--version"}}) {
    const run_result closed_out = run(args, no_stdout);
    EXPECT_EQ(closed_out.status, 1) << args[0];
    EXPECT_EQ(closed_out.err, lost) << args[0];
  }
  EXPECT_EQ(run({"-w0", "-o", "fine.bas", "a.tok"}, no_stdout).status, 0);

  // Standard output that is an input is refused before anything is written.
  run_setup onto_input;
  onto_input.stdout_path = (dir / "b.tok").string();
  write_file(dir / "b.tok", print_image);
  const run_result refused = run({"-w0", "a.tok", "b.tok"}, onto_input);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "\r\nbrenvik: Output file standard output is also an input\r\n");

  run_setup full;
  full.stdout_path = "/dev/full";
  EXPECT_EQ(run({"--version"}, full).status, 1);
}

// An endless line of zero bytes is read in constant memory: it never ends, and never
// aborts.
TEST_F(conversion_run_e2e, endless_input_in_bounded_memory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer needs more address space than the limit allows";
#else
  run_setup zeros;
  zeros.stdin_path = "/dev/zero";
  zeros.memory_limit = rlim_t{64} << 20;
  zeros.alarm_seconds = 2;
  EXPECT_EQ(run({"-t", "-w0"}, zeros).status, 128 + SIGALRM);
#endif
}

// A listing captured from a tape: NUL padding, the machine's OK and end-of-file marks.
TEST_F(conversion_run_e2e, a_captured_listing_tokenizes_as_the_machine_takes_it) {
  const std::string pad(10, '\0');
  write_file(dir / "capture.bas", "\r\n" + pad + " 10 PRINT \"HI\"\r\n" + pad + " 20 END\r\n" +
                                      pad + "OK\r\n\x1A\x1A\x1A\r\n");
  const run_result result = run({"-t", "-w0", "capture.bas"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, image_of(0x300, {{10, "\x97 \"HI\""}, {20, "\x80"}, {22, "OK"}}));
  EXPECT_EQ(result.err, "No line number on 1 line; numbered on, the first as line 22\r\n");

  const run_result image = run({"-t", "-w0", "a.tok"});
  EXPECT_EQ(image.status, 0);
  EXPECT_EQ(image.err,
            "a.tok looks like a tokenized program image, not a listing: leave out -t to list it\r\n"
            "No line number on 1 line; numbered on, the first as line 10\r\n");
}

// A first record that makes the low byte of its link zero ($0400, $3300, $3B00) lists back.
TEST_F(conversion_run_e2e, images_with_a_zero_first_link_byte_list_back) {
  struct row {
    std::string version;
    std::size_t text_bytes;
    std::string first_link;
  };
  const row rows[] = {{"-w0", 250, bytes({0x00, 0x04})},
                      {"-w3", 124, bytes({0x00, 0x33})},
                      {"-w1", 124, bytes({0x00, 0x3B})}};
  for (const row& r : rows) {
    const std::string listing = "10 " + std::string(r.text_bytes, 'Q') + "\r\n20 END\r\n";
    write_file(dir / "q.bas", listing);
    const run_result tokenized = run({"-t", r.version, "-f", "-o", "q.tok", "q.bas"});
    ASSERT_EQ(tokenized.status, 0) << r.version;
    ASSERT_EQ(file("q.tok").substr(1, 2), r.first_link) << r.version;
    const run_result listed = run({r.version, "q.tok"});
    EXPECT_EQ(listed.status, 0) << r.version;
    EXPECT_EQ(listed.out, listing) << r.version;
    EXPECT_EQ(listed.err, "") << r.version;
  }
}

}  // namespace
}  // namespace brenvik

namespace brenvik {
namespace {

TEST_F(conversion_run_e2e, hints_for_the_wrong_kind_of_file) {
  write_file(dir / "prog.bas", "10 PRINT\r\n");
  write_file(dir / "indented.bas", " 10 PRINT\r\n");
  std::string flat(92160, '\0');
  flat.replace(0, 10, "10 PRINT\r\n");
  write_file(dir / "listing.65d", flat);
  write_file(dir / "disk.65d", std::string(295680, '\x55'));
  write_file(dir / "disk.os5",
             std::string("OSIDISKBITSTREAM\x01\x00\x01", 19) + std::string(300, '\xFF'));
  const std::string text_hint = " looks like a text listing: to tokenize it, use -t\r\n";
  struct row {
    std::vector<std::string> args;
    std::string stdin_bytes;
    std::string err;
  };
  const row rows[] = {
      {{"prog.bas"},
       "",
       "Can't detect the BASIC version from line link $3031, use -w<version>\r\nprog.bas" +
           text_hint},
      {{"-w0", "indented.bas"},
       "",
       "invalid basic offset encountered $3120\r\nindented.bas" + text_hint},
      {{},
       "\t10 PRINT\r\n",
       "Can't detect the BASIC version from line link $3109, use -w<version>\r\n"
       "standard input" +
           text_hint},
      {{"listing.65d"},
       "",
       "Can't detect the BASIC version from line link $3031, use -w<version>\r\nlisting.65d" +
           text_hint +
           "listing.65d looks like a disk image: to list its programs, use -disk listing.65d\r\n"},
      {{"-w0", "disk.65d"},
       "",
       "invalid basic offset encountered $5555\r\n"
       "disk.65d looks like a disk image: to list its programs, use -disk disk.65d\r\n"},
      {{"disk.os5"},
       "",
       "Can't detect the BASIC version from line link $534F, use -w<version>\r\n"
       "disk.os5 looks like a disk image: to list its programs, use -disk disk.os5\r\n"},
      // An image cut short after its first line is no listing, whatever its bytes.
      {{"-w0"}, end_image.substr(0, 7), "Image ends without its end marker after line 10\r\n"},
  };
  for (const row& r : rows) {
    run_setup setup;
    setup.stdin_bytes = r.stdin_bytes;
    const run_result result = run(r.args, setup);
    EXPECT_EQ(result.status, 1) << r.err;
    EXPECT_EQ(result.err, r.err);
  }
}

}  // namespace
}  // namespace brenvik

namespace brenvik {
namespace {

// Replacing an output by the same bytes leaves the file where it is (no flush for the file
// system), but with a time of change as a rewrite gives it; other bytes replace it.
TEST_F(conversion_run_e2e, an_output_replaced_by_the_same_bytes_stays) {
  ASSERT_EQ(run({"-w0", "-o", "out.bas", "a.tok"}).status, 0);
  struct stat before {};
  ASSERT_EQ(stat((dir / "out.bas").c_str(), &before), 0);
  const timespec long_ago[] = {{.tv_sec = 1000, .tv_nsec = 0}, {.tv_sec = 1000, .tv_nsec = 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "out.bas").c_str(), long_ago, 0), 0);
  ASSERT_EQ(run({"-w0", "-f", "-o", "out.bas", "a.tok"}).status, 0);
  struct stat same {};
  ASSERT_EQ(stat((dir / "out.bas").c_str(), &same), 0);
  EXPECT_EQ(same.st_ino, before.st_ino);
  EXPECT_GT(same.st_mtime, 1000);
  ASSERT_EQ(run({"-w0", "-f", "-o", "out.bas", "b.tok"}).status, 0);
  struct stat other {};
  ASSERT_EQ(stat((dir / "out.bas").c_str(), &other), 0);
  EXPECT_NE(other.st_ino, before.st_ino);
  EXPECT_EQ(file("out.bas"), "20 PRINT 1\r\n30 END\r\n");
}

}  // namespace
}  // namespace brenvik
