// The built binary on command lines that end before any conversion: usage, errors, listings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_texts.h"
#include "process.h"

namespace brenvik {
namespace {

using namespace testing;

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
      {"brenvik", {"-k"}, 0, "", versions_list},
      {"brenvik", {"-k3"}, 0, keyword_listing(3), ""},
      {"brenvik", {"-k9"}, 0, "", versions_list},
      {"brenvik", {"-k-1"}, 0, "", versions_list},
      {"brenvik", {"-kx"}, 0, keyword_listing(0), ""},
      {"brenvik", {"-w1", "-t", "-k2", "missing.tok"}, 0, keyword_listing(2), ""},
      {"brenvik", {"-w9", "-k2"}, 1, "", "Invalid version specified\r\n" + usage},
      {"brenvik", {"-w", "3", "prog.tok"}, 1, "", "Invalid version specified\r\n" + usage},
      {"brenvik", {"-w3x"}, 1, "", "Invalid version specified\r\n" + usage},
      {"brenvik", {"--help"}, 0, usage, ""},
      {"bv", {"-t", "--version", "-x"}, 0, "brenvik " BRENVIK_VERSION "\r\n", ""},
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

TEST(cli_e2e, every_keyword_listing_is_exact) {
  scratch_dir dir;
  for (int row = 0; row < 7; ++row) {
    const run_result result = run_brenvik(dir, {"-k" + std::to_string(row)});
    EXPECT_EQ(result.status, 0) << row;
    EXPECT_EQ(result.out, keyword_listing(row)) << row;
    EXPECT_EQ(result.err, "") << row;
  }
}

TEST(cli_e2e, keyword_listing_that_cannot_be_written_fails) {
  scratch_dir dir;
  run_setup setup;
  setup.stdout_path = "/dev/full";
  const run_result result = run_brenvik(dir, {"-k3"}, setup);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "\r\nbrenvik: Error writing standard output\r\n");

  run_setup full_err;
  full_err.stderr_path = "/dev/full";
  EXPECT_EQ(run_brenvik(dir, {"-k"}, full_err).status, 1);
}

}  // namespace
}  // namespace brenvik
