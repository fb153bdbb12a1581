// The built binary on memory images: the real snapshot beside the project, and images built
// here in every layout.
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

class memory_e2e : public ::testing::Test {
 protected:
  run_result run(const std::vector<std::string>& args) { return run_brenvik(dir, args); }
  scratch_dir dir;
};

TEST_F(memory_e2e, the_real_snapshot_lists_as_its_image) {
  if (const auto why = corpus_missing("containers/AASTROIDS.000")) GTEST_SKIP() << *why;
  const run_result listed = run({"-memory", (corpus / "containers/AASTROIDS.000").string()});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, chose_rom);
  EXPECT_EQ(listed.out,
            run({(corpus / "images/jscrane-uk101/AASTROIDS-checkpoint/PROGRAM.img").string()}).out);
  EXPECT_EQ(listed.out.substr(0, 15), "10 REM\r\n20 REM ");
}

TEST_F(memory_e2e, every_layout_and_where_its_program_lies) {
  const std::string hello = image_of(0x0300, {{10, "\x97\"HI\""}});
  const std::string moved = image_of(0x050C, {{10, "\x97\"HI\""}});
  write_file(dir / "v0.000", checkpoint(0, ram_with(0x8000, 0x0300, hello)));
  write_file(dir / "v1.000", checkpoint(1, ram_with(0x3000, 0x050C, moved, 0)));
  write_file(dir / "v2.000", checkpoint(2, ram_with(0x8000, 0x0300, hello)));
  write_file(dir / "whole.bin", ram_with(0x10000, 0x0300, hello, 7));
  write_file(dir / "header.bin", "HEAD" + ram_with(0x2000, 0x0300, hello));
  std::string stale = ram_with(0x8000, 0x36CB, image_of(0x36CB, {}));
  const std::string old = image_of(0x050C, {{10, "\x97\"HI\""}, {20, "\x80"}});
  stale.replace(0x050C, old.size(), old);
  write_file(dir / "stale.000", checkpoint(0, stale));
  write_file(dir / "game.000", checkpoint(2, std::string(0x8000, '\xEA')));
  write_file(dir / "machine.uk101", "\x78\x9C\x63\x60");
  struct row {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const std::string hi = "10 PRINT\"HI\"\r\n";
  const row rows[] = {
      {{"-memory", "v0.000"}, 0, hi, chose_rom},
      {{"-memory", "v1.000"}, 0, hi, chose_rom},
      {{"-memory", "v2.000"}, 0, hi, chose_rom},
      {{"-w3", "-memory", "v2.000"}, 0, hi, ""},
      {{"-memory", "whole.bin"},
       0,
       hi,
       "whole.bin: VARTAB $0314 is not where the chain of line links ends ($030D); the chain is "
       "listed\r\n" +
           chose_rom},
      {{"-memory", "header.bin", "-skip", "4"}, 0, hi, chose_rom},
      {{"-memory", "stale.000"},
       1,
       "",
       "stale.000: BASIC's pointers lead to no program (TXTTAB $36CC): the program at $36CB has "
       "no lines\r\n"
       "a program of 2 lines is still in memory at $050C: list it with -memory stale.000 -l "
       "050C\r\n"},
      {{"-memory", "stale.000", "-l", "050C"}, 0, hi + "20 END\r\n", chose_rom},
      {{"-memory", "stale.000", "-l", "050D"},
       1,
       "",
       "stale.000: no BASIC program at $050D: the byte at $050D is no lead byte 00\r\n"},
      {{"-memory", "game.000"},
       1,
       "",
       "game.000: BASIC's pointers lead to no program (TXTTAB $EAEA): $EAE9 lies beyond the "
       "memory image's last address $7FFF\r\n"},
      {{"-memory", "machine.uk101"},
       1,
       "",
       "\r\nbrenvik: machine.uk101 is a compressed UK101 machine image, which brenvik cannot read; "
       "a checkpoint or a plain memory dump can be listed\r\n"},
      {{"-memory", "absent.000"}, 1, "", "\r\nbrenvik: Can't open file absent.000\r\n"},
      {{"-memory", "v0.000", "more"},
       1,
       "",
       "-memory lists the program of one memory image: no inputs go with it\r\n" +
           usage_text("brenvik")},
      {{"-t", "-memory", "v0.000"},
       1,
       "",
       "-t does not go with -memory: memory images are only listed\r\n" + usage_text("brenvik")},
      {{"-disk", "x.65d", "-memory", "v0.000"},
       1,
       "",
       "-memory does not go with -disk: give one or the other\r\n" + usage_text("brenvik")},
      {{"-memory"}, 1, "", "Memory image name missing after -memory\r\n" + usage_text("brenvik")},
  };
  for (const row& r : rows) {
    const run_result result = run(r.args);
    EXPECT_EQ(result.status, r.status) << r.args[1];
    EXPECT_EQ(result.out, r.out) << r.args[1];
    EXPECT_EQ(result.err, r.err) << r.args[1];
  }

  // An output file, and never the memory image itself.
  EXPECT_EQ(run({"-memory", "v0.000", "-o", "hello.bas"}).status, 0);
  EXPECT_EQ(read_file(dir / "hello.bas"), hi);
  EXPECT_EQ(run({"-f", "-memory", "v0.000", "-o", "v0.000"}).err,
            "\r\nbrenvik: Output file v0.000 is also an input\r\n");
}

}  // namespace
}  // namespace brenvik
