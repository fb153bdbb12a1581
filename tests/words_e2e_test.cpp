// What brenvik says in its own modes: the hints after a refusal, the reasons, the line that
// names an input or entry, -q and -lf, and disks read from standard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "process.h"

#ifndef EXAMPLES_DIR
#error "EXAMPLES_DIR must name the examples folder"
#endif

namespace brenvik {
namespace {

using namespace testing;

const std::filesystem::path examples = EXAMPLES_DIR;
const std::string chose_rom =
    "BASIC version not specified, so I chose OSI BASIC In ROM (C1/C2/C4)\r\n";

// `text` with every CR LF made LF.
std::string lf_only(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
    text.erase(at, 1);
  return text;
}

class words_e2e : public ::testing::Test {
 protected:
  words_e2e() {
    for (const char* name : {"demo.65d", "hello.tok", "hello.bas"})
      std::filesystem::copy_file(examples / name, dir / name);
  }
  scratch_dir dir;
};

TEST_F(words_e2e, refusals_say_what_to_do) {
  std::filesystem::create_directory(dir / "folder");
  write_file(dir / "captured.txt", std::string("\r\0\0\0\r\n10 PRINT 1\r\n", 18));
  const std::string hello = read_file(examples / "hello.bas");
  struct row {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const row rows[] = {
      // Options after the first input are inputs; the message says so.
      {{"-w0", "hello.tok", "-o", "x.bas"},
       hello,
       "\r\nbrenvik: Can't open file -o\r\n-o looks like an option: options come before the "
       "first input\r\n"},
      {{"-disk", "demo.65d", "DICE", "-o", "x.bas"},
       read_file(examples / "dice.bas"),
       "\r\nbrenvik: No file -o on demo.65d\r\n-o looks like an option: options come before the "
       "first input\r\n"},
      // Entries it could mean: same letters ignoring case, blanks and a '*', or one prefix.
      {{"-disk", "demo.65d", "D I C E"},
       "",
       "\r\nbrenvik: No file D I C E on demo.65d\r\ndid "
       "you mean DICE?\r\n"},
      {{"-disk", "demo.65d", "DIR"},
       "",
       "\r\nbrenvik: No file DIR on demo.65d\r\ndid you mean "
       "DIRECT?\r\n"},
      {{"-disk", "demo.65d", "DI"}, "", "\r\nbrenvik: No file DI on demo.65d\r\n"},
      // Reasons, and files given in the wrong mode.
      {{"-disk", "folder"}, "", "\r\nbrenvik: Can't open disk image folder: it is a folder\r\n"},
      {{"-memory", "nothing.000"},
       "",
       "\r\nbrenvik: Can't open memory image nothing.000: No such file or directory\r\n"},
      {{"-disk", "hello.bas"},
       "",
       "\r\nbrenvik: hello.bas is no OS65D, Pico-DOS or HEXDOS disk: 177 bytes, neither a flat "
       "image (92160 or 295680 bytes) nor a bitstream image\r\nhello.bas looks like a text "
       "listing, not a disk image: to tokenize it, leave out -disk: brenvik -t hello.bas\r\n"},
      {{"-disk", "hello.tok"},
       "",
       "\r\nbrenvik: hello.tok is no OS65D, Pico-DOS or HEXDOS disk: 144 bytes, neither a flat "
       "image (92160 or 295680 bytes) nor a bitstream image\r\nhello.tok looks like a tokenized "
       "program image, not a disk image: to list it, leave out -disk: brenvik hello.tok\r\n"},
      {{"-memory", "demo.65d"},
       "",
       "demo.65d: BASIC's pointers lead to no program (TXTTAB $0000): the chain of line links "
       "runs past the memory image's last address $FFFF\r\ndemo.65d looks like a disk image, not "
       "a memory image: to list its programs, use -disk demo.65d\r\n"},
      {{"captured.txt"},
       "",
       "Can't detect the BASIC version from line link $000D, use -w<version>\r\ncaptured.txt "
       "looks like a text listing: to tokenize it, use -t\r\n"},
  };
  for (const row& r : rows) {
    const run_result result = run_brenvik(dir, r.args);
    EXPECT_EQ(result.status, 1) << r.args[1];
    EXPECT_EQ(result.out, r.out) << r.args[1];
    EXPECT_EQ(result.err, r.err) << r.args[1];
  }
  // Nothing could be written: no folder is made for it.
  EXPECT_EQ(run_brenvik(dir, {"-disk", "hello.bas", "-o", "never/"}).status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "never"));
}

TEST_F(words_e2e, runs_over_many_name_what_they_speak_of_and_keep_quiet_on_request) {
  const std::string hello = read_file(examples / "hello.bas");
  struct row {
    std::vector<std::string> args;
    std::string err;
    std::string out;
  };
  const row rows[] = {
      // Every program of demo.65d lies at $327E, which names one version: nothing to say.
      {{"-disk", "demo.65d", "-o", "all/"}, "3 files written to all/\r\n", ""},
      {{"-q", "-disk", "demo.65d", "-o", "quiet/"}, "", ""},
      {{"-o", "one/", "hello.tok"},
       "hello.tok:\r\n" + chose_rom + "1 file written to one/\r\n",
       ""},
      {{"-q", "-o", "two/", "hello.tok"}, "", ""},
      {{"-q", "hello.tok"}, "", hello},
      // A plain run keeps its notes as they were, unnamed.
      {{"hello.tok"}, chose_rom, hello},
      {{"-lf", "hello.tok"}, chose_rom, lf_only(hello)},
      {{"-lf", "-disk", "demo.65d"},
       "",
       "HELLO   1-1    BASIC $327E 144 bytes\nDICE    2-2    BASIC $327E 170 bytes\nDIRECT  3-3    "
       "BASIC $327E 79 bytes\nfree: 35 tracks, longest run 27 from track 13\n"},
      {{"-q", "-typed", "hello.bas"}, "", read_file(dir / "hello.tok")},
  };
  for (const row& r : rows) {
    const run_result result = run_brenvik(dir, r.args);
    EXPECT_EQ(result.status, 0) << r.args[1];
    EXPECT_EQ(result.err, r.err) << r.args[1];
    EXPECT_EQ(result.out, r.out) << r.args[1];
  }
  EXPECT_EQ(read_file(dir / "quiet/HELLO.bas"), hello);
  EXPECT_EQ(read_file(dir / "two/hello.bas"), hello);
  const std::string json = run_brenvik(dir, {"-lf", "-disk", "demo.65d", "-json"}).out;
  EXPECT_EQ(json.find('\r'), std::string::npos);
  EXPECT_EQ(json, lf_only(run_brenvik(dir, {"-disk", "demo.65d", "-json"}).out));
}

TEST_F(words_e2e, disks_come_through_pipes) {
  const std::string directory = run_brenvik(dir, {"-disk", "demo.65d"}).out;
  // Standard input a pipe (cat's), the disk image as it comes.
  run_setup piped;
  piped.wrapper = {"sh", "-c", "cat demo.65d | \"$0\" \"$@\""};
  for (const std::string name : {"-", "/dev/stdin"}) {
    const run_result listed = run_brenvik(dir, {"-disk", name}, piped);
    EXPECT_EQ(listed.status, 0) << name;
    EXPECT_EQ(listed.out, directory) << name;
    EXPECT_EQ(run_brenvik(dir, {"-disk", name, "DICE"}, piped).out,
              read_file(examples / "dice.bas"))
        << name;
  }
  // More than the largest disk and a track is not read on.
  piped.wrapper = {"sh", "-c", "head -c 600000 /dev/zero | \"$0\" \"$@\""};
  const run_result too_long = run_brenvik(dir, {"-disk", "-"}, piped);
  EXPECT_EQ(too_long.status, 1);
  // The program's name is the path the shell ran; the rest is exact. Reading stopped one byte
  // past the most a disk image can take (the largest 8" bitstream image and a track).
  EXPECT_NE(too_long.err.find(": - is no OS65D, Pico-DOS or HEXDOS disk: 484608 bytes, neither a "
                              "flat image (92160 or 295680 bytes) nor a bitstream image\r\n"),
            std::string::npos)
      << too_long.err;
}

}  // namespace
}  // namespace brenvik
