// The built binary on command lines that end before any conversion: usage, errors, listings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "expected_texts.h"
#include "memory_streams.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

std::string versions_list() {
  memory_output err;
  list_versions(err.file());
  return err.bytes();
}

std::string keywords_of(int row) {
  memory_output out;
  list_keywords(row, out.file(), stderr);
  return out.bytes();
}

TEST(cli_e2e, usage_errors_and_listings_byte_for_byte) {
  struct row {
    std::string argv0;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const std::string usage = usage_text("brenvik");
  const row rows[] = {
      {"brenvik", {"-h"}, 1, "", banner + usage},
      {"brenvik", {"-HELP"}, 1, "", banner + usage},
      {"C:\\tools\\brenvik.exe", {"-help"}, 1, "", banner + usage_text("brenvik.exe")},
      {"./bin/brenvik", {"-h"}, 1, "", banner + usage_text("./bin/brenvik")},
      {"bv", {"-w7"}, 1, "", "Invalid version specified\r\n" + usage_text("bv")},
      {"brenvik", {"-w", "-w-3"}, 1, "", "Invalid version specified\r\n" + usage},
      {"brenvik", {"-l"}, 1, "", "Unknown command -l\r\n" + usage},
      {"brenvik", {"-l", "zz"}, 1, "", "Unknown command -l\r\n" + usage},
      {"brenvik", {"-o"}, 1, "", "\r\nOutput filename missing\r\nUnknown command -o\r\n" + usage},
      {"brenvik", {"-t", "-skip"}, 1, "", usage},
      {"brenvik", {"-offset", "q"}, 1, "", usage},
      {"brenvik", {"-ofile"}, 1, "", "Unknown command -ofile\r\n" + usage},
      {"brenvik", {"-f", "-"}, 1, "", "Unknown command -\r\n" + usage},
      {"brenvik", {"-k"}, 0, "", versions_list()},
      {"brenvik", {"-k3"}, 0, keywords_of(3), ""},
      {"brenvik", {"-k9"}, 0, "", versions_list()},
      {"brenvik", {"-k-1"}, 0, "", versions_list()},
      {"brenvik", {"-kx"}, 0, keywords_of(0), ""},
      {"brenvik", {"-w1", "-t", "-k2", "missing.tok"}, 0, keywords_of(2), ""},
      {"brenvik", {"-w9", "-k2"}, 1, "", "Invalid version specified\r\n" + usage},
  };
  scratch_dir dir;
  for (const row& r : rows) {
    run_setup setup;
    setup.argv0 = r.argv0;
    const run_result result = run_brenvik(dir, r.args, setup);
    std::string label = r.argv0;
    for (const std::string& a : r.args)
      label += " " + a;
    EXPECT_EQ(result.status, r.status) << label;
    EXPECT_EQ(result.out, r.out) << label;
    EXPECT_EQ(result.err, r.err) << label;
  }
}

TEST(cli_e2e, keyword_listings_are_exact) {
  scratch_dir dir;
  EXPECT_EQ(run_brenvik(dir, {"-k3"}).out,
            "\r\n  Available Keywords on OSI OS65D v3.1 BASIC 5.25\" disk\r\n"
            "END\tFOR\tNEXT\tDATA\tINPUT\tDIM\tREAD\tLET\tGOTO\tRUN\tIF\tRESTORE\tGOSUB\t"
            "RETURN\tREM\tSTOP\tON\tNULL\tWAIT\tEXIT\tDISK\tDEF\tPOKE\tPRINT\tCONT\tLIST\t"
            "CLEAR\tNEW\tTAB(\tTO\tFN\tSPC(\tTHEN\tNOT\tSTEP\t+\t-\t*\t/\t^\tAND\tOR\t>\t=\t<\t"
            "SGN\tINT\tABS\tUSR\tFRE\tPOS\tSQR\tRND\tLOG\tEXP\tCOS\tSIN\tTAN\tATN\tPEEK\tLEN\t"
            "STR$\tVAL\tASC\tCHR$\tLEFT$\tRIGHT$\tMID$\t\r\n");
  EXPECT_EQ(run_brenvik(dir, {"-k"}).err,
            "\r\n  The following versions are supported on OSI Brenvik V1.00\r\n\r\n"
            "Version 0, Load Address $0300, OSI BASIC In ROM (C1/C2/C4)\r\n"
            "Version 2, Load Address $3A7E, OSI OS65D v3.2 Plot BASIC 5.25\" disk\r\n"
            "Version 1, Load Address $3A7E, OSI OS65D v3.3 BASIC 5.25\" disk\r\n"
            "Version 3, Load Address $327E, OSI OS65D v3.1 BASIC 5.25\" disk\r\n"
            "Version 4, Load Address $317E, OSI OS65D V3.2 BASIC 8\" disk\r\n"
            "Version 5, Load Address $6000, OSI OS65U V1.42 Hard disk BASIC\r\n"
            "Version 6, Load Address $6000, OSI OS65U V1.44 BASIC 8\" disk\r\n"
            "\r\n");
}

TEST(cli_e2e, keyword_listing_that_cannot_be_written_fails) {
  scratch_dir dir;
  run_setup setup;
  setup.stdout_path = "/dev/full";
  const run_result result = run_brenvik(dir, {"-k3"}, setup);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "\r\nbrenvik: Error writing standard output\r\n");
}

}  // namespace
}  // namespace brenvik
