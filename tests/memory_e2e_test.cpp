// The built binary on memory images: the real snapshot beside the project, and images built
// here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corpus.h"
#include "expected_texts.h"
#include "images.h"
#include "memory_images.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

const std::string chose_rom =
    "BASIC version not specified, so I chose OSI BASIC In ROM (C1/C2/C4)\r\n";

TEST(memory_e2e, the_real_snapshot_lists_as_its_image) {
  if (const auto why = corpus_missing("containers/AASTROIDS.000")) GTEST_SKIP() << *why;
  scratch_dir dir;
  const run_result listed =
      run_brenvik(dir, {"-memory", (corpus / "containers/AASTROIDS.000").string()});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, chose_rom);
  int images = 0;
  for (auto& row : manifest(corpus / "images/manifest.tsv")) {
    if (!row["file"].ends_with("/AASTROIDS-checkpoint/PROGRAM.img")) continue;
    EXPECT_EQ(listed.out, run_brenvik(dir, {(corpus / row["file"]).string()}).out);
    ++images;
  }
  EXPECT_EQ(images, 1);
}

TEST(memory_e2e, where_the_program_lies_and_what_keeps_it_from_being_listed) {
  scratch_dir dir;
  const std::string hello = image_of(0x0300, {{10, "\x97\"HI\""}});
  write_file(dir / "v1.000",
             checkpoint(1, ram_with(0x3000, 0x050C, image_of(0x050C, {{10, "\x97\"HI\""}}))));
  write_file(dir / "off.bin", "HEAD" + ram_with(0x2000, 0x0300, hello, 7));
  std::string stale = ram_with(0x8000, 0x36CB, image_of(0x36CB, {}));
  const std::string old = image_of(0x050C, {{10, "\x97\"HI\""}, {20, "\x80"}});
  stale.replace(0x050C, old.size(), old);
  write_file(dir / "stale.000", checkpoint(0, stale));
  write_file(dir / "game.000", checkpoint(2, std::string(0x8000, '\xEA')));
  write_file(dir / "machine.uk101", "\x78\x9C\x63\x60");
#if BRENVIK_ZLIB
  const std::string machine = machine_image(ram_with(0x2000, 0x0300, hello));
  write_file(dir / "game.uk101", machine);
  write_file(dir / "cut.uk101", machine.substr(0, machine.size() / 2));
  const std::string damaged_uk101 =
      "\r\nbrenvik: machine.uk101 is a compressed UK101 machine image whose stream is damaged or "
      "cut short: nothing of it can be read\r\n";
#else
  const std::string damaged_uk101 =
      "\r\nbrenvik: machine.uk101 is a compressed UK101 machine image, which brenvik cannot "
      "read; a checkpoint or a plain memory dump can be listed\r\n";
#endif
  const std::string hi = "10 PRINT\"HI\"\r\n";
  struct row {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const row rows[] = {
    {{"v1.000"}, hi, chose_rom},
    {{"off.bin", "-skip", "4"},
     hi,
     "off.bin: VARTAB $0314 is not where the chain of line links ends ($030D); the chain is "
     "listed\r\n" +
         chose_rom},
    {{"stale.000", "-l", "050C"}, hi + "20 END\r\n", chose_rom},
    {{"stale.000"},
     "",
     "stale.000: BASIC's pointers lead to no program (TXTTAB $36CC): the program at $36CB has "
     "no lines\r\na program of 2 lines is still in memory at $050C: list it with -memory "
     "stale.000 -l 050C\r\n"},
    {{"stale.000", "-l", "050D"},
     "",
     "stale.000: no BASIC program at $050D: the byte at $050D is no lead byte 00\r\n"},
    {{"game.000"},
     "",
     "game.000: BASIC's pointers lead to no program (TXTTAB $EAEA): $EAE9 lies beyond the "
     "memory image's last address $7FFF\r\n"},
    {{"machine.uk101"}, "", damaged_uk101},
#if BRENVIK_ZLIB
    {{"game.uk101"}, hi, chose_rom},
    {{"cut.uk101"},
     "",
     "\r\nbrenvik: cut.uk101 is a compressed UK101 machine image whose stream is damaged or cut "
     "short: nothing of it can be read\r\n"},
#endif
    {{"v1.000", "more"},
     "",
     "-memory lists the program of one memory image: no inputs go with it\r\n" +
         usage_text("brenvik")},
    {{"v1.000", "-t"},
     "",
     "-t does not go with -memory: memory images are only listed\r\n" + usage_text("brenvik")},
  };
  for (const row& r : rows) {
    std::vector<std::string> args{"-memory"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const run_result result = run_brenvik(dir, args);
    EXPECT_EQ(result.status, r.out.empty() ? 1 : 0) << r.args[0] << r.args.size();
    EXPECT_EQ(result.out, r.out) << r.args[0] << r.args.size();
    EXPECT_EQ(result.err, r.err) << r.args[0] << r.args.size();
  }
  EXPECT_EQ(run_brenvik(dir, {"-f", "-memory", "v1.000", "-o", "v1.000"}).err,
            "\r\nbrenvik: Output file v1.000 is also an input\r\n");
}

}  // namespace
}  // namespace brenvik
