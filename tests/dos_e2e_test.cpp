// The built binary on Pico-DOS and HEXDOS disks: the real ones beside the project, and small
// disks built here.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "corpus.h"
#include "dos_images.h"
#include "images.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

const std::string chose_rom =
    "BASIC version not specified, so I chose OSI BASIC In ROM (C1/C2/C4)\r\n";

class dos_e2e : public ::testing::Test {
 protected:
  run_result run(const std::vector<std::string>& args) { return run_brenvik(dir, args); }
  scratch_dir dir;
};

// Every program the corpus cut from the real Pico-DOS and HEXDOS disks lists from the disk
// as its image lists: a Pico-DOS slot by its number, a HEXDOS file by its name.
TEST_F(dos_e2e, real_disks_list_as_their_images) {
  if (const auto why = corpus_missing("containers/manifest.tsv")) GTEST_SKIP() << *why;
  const std::string picodos = "images/jscrane-uk101/C1P-PICO_DOS/TRACK";
  const std::string hexdos = "images/jscrane-uk101/hexdos/";
  int programs = 0;
  for (auto& image : manifest(corpus / "images/manifest.tsv")) {
    const std::string& file = image["file"];
    std::vector<std::string> from_disk;
    std::vector<std::string> from_image{(corpus / file).string()};
    if (file.starts_with(picodos)) {
      const int track = std::stoi(file.substr(picodos.size(), 2));
      from_disk = {"-disk", (corpus / "containers/C1P-PICO_DOS.65D").string(),
                   std::to_string((track + 1) / 4)};
    } else if (file.starts_with(hexdos)) {
      const std::string name = file.substr(hexdos.size(), file.size() - hexdos.size() - 4);
      from_disk = {"-disk", (corpus / "containers/hexdos.img").string(), name};
      from_image.insert(from_image.begin(), {"-w0", "-l", "B00"});
    } else {
      continue;
    }
    const run_result listed = run(from_disk);
    EXPECT_EQ(listed.status, 0) << file;
    EXPECT_EQ(listed.out, run(from_image).out) << file;
    EXPECT_EQ(listed.err, chose_rom) << file;
    ++programs;
  }
  EXPECT_EQ(programs, 10);
  EXPECT_EQ(run({"-disk", (corpus / "containers/hexdos.img").string()}).out,
            "DIRECTORY  1-1    BASIC $0B00 20 bytes\r\n"
            "HEXASM  2-8    BASIC $0B00 12406 bytes\r\n");
}

TEST_F(dos_e2e, built_disks_list_their_directories_and_programs) {
  fake_picodos picodos;
  picodos.program(1, image_of(0x0300, {{10, "\x97\"HI\""}}));
  picodos.program(3, image_of(0x0300, {{5, "\x99"}}));
  write_file(dir / "pico.65d", picodos.disk().flat());
  write_file(dir / "pico.os5", picodos.disk().bitstream(1));
  fake_hexdos hexdos(11);
  hexdos.directory({{2, "HELLO"}, {3, "\x8E"}}, 4);
  hexdos.file(2, image_of(0x0B00, {{10, "\x97\"HI\""}}));
  write_file(dir / "hexdos.img", hexdos.disk().flat());
  write_file(dir / "hexdos.os5", hexdos.disk().bitstream());
  struct row {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const row rows[] = {
      {{"-disk", "pico.65d"},
       0,
       "1  3-6    BASIC $0300 13 bytes\r\n3  11-14  BASIC $0300 9 bytes\r\n"},
      {{"-disk", "pico.os5", "3", "1"}, 0, "5 LIST\r\n10 PRINT\"HI\"\r\n", chose_rom + chose_rom},
      {{"-disk", "pico.65d", "2"}, 1, "", "\r\nbrenvik: No file 2 on pico.65d\r\n"},
      {{"-w5", "-disk", "pico.65d", "3"}, 0, "5 LIST\r\n"},
      {{"-disk", "hexdos.os5"},
       0,
       "DIRECTORY  1-1    BASIC $0B00 25 bytes\r\nHELLO  2-2    BASIC $0B00 13 bytes\r\nREM  3-3   "
       " "
       "BASIC $0B00 3 bytes\r\n"},
      {{"-disk", "hexdos.img", "hello", "directory"},
       0,
       "10 PRINT\"HI\"\r\n2 HELLO\r\n3 REM\r\n4 *\r\n",
       chose_rom + chose_rom},
  };
  for (const row& r : rows) {
    const run_result result = run(r.args);
    EXPECT_EQ(result.status, r.status) << r.args[1] << " " << r.args.size();
    EXPECT_EQ(result.out, r.out) << r.args[1] << " " << r.args.size();
    EXPECT_EQ(result.err, r.err) << r.args[1] << " " << r.args.size();
  }
}

}  // namespace
}  // namespace brenvik
