#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "memory_streams.h"

namespace brenvik {
namespace {

using testing::memory_output;
using testing::usage_text;

struct parsed {
  parse_result result;
  std::string out;
  std::string err;
};

parsed parse(std::vector<std::string> args, const std::string& program = "brenvik") {
  args.insert(args.begin(), program);
  std::vector<const char*> argv(args.size());
  std::transform(args.begin(), args.end(), argv.begin(), [](const auto& a) { return a.c_str(); });
  memory_output out, err;
  parsed p{parse_command_line(static_cast<int>(argv.size()), argv.data(), out.file(), err.file()),
           "", ""};
  p.out = out.bytes();
  p.err = err.bytes();
  return p;
}

// Command lines that end the process before any conversion: what they print and return.
TEST(command_line, stops_with_usage_message_or_listing) {
  const std::string usage = usage_text("brenvik");
  struct row {
    std::vector<std::string> args;
    int status;
    std::string err;
    std::string out;
  };
  const row rows[] = {
      {{"-h"}, 1, testing::banner + usage, ""},
      {{"-help"}, 1, testing::banner + usage, ""},
      {{"-H"}, 1, testing::banner + usage, ""},
      {{"-hello"}, 1, testing::banner + usage, ""},
      {{"-HELP", "-w9"}, 1, testing::banner + usage, ""},
      {{"-w7"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-w-1"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-w 9"}, 1, "Invalid version specified\r\n" + usage, ""},
      // A version is an optional sign and decimal digits, nothing else.
      {{"-w"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-w", "3", "prog.tok"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-wx"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-w3x"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-w 4"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-w+"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-w0000000000000000000010"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-w4294967299"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"--help", "-x"}, 0, "", usage},
      {{"-t", "--version"}, 0, "", "brenvik " BRENVIK_VERSION "\r\n"},
      {{"-w9", "--help"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-l"}, 1, "Unknown command -l\r\n" + usage, ""},
      {{"-l", "zz"}, 1, "Unknown command -l\r\n" + usage, ""},
      {{"-o"}, 1, "\r\nOutput filename missing\r\nUnknown command -o\r\n" + usage, ""},
      {{"-skip"}, 1, usage, ""},
      {{"-offset", "zz"}, 1, usage, ""},
      {{"-skip", "-x"}, 1, usage, ""},
      {{"-ofile"}, 1, "Unknown command -ofile\r\n" + usage, ""},
      {{"-"}, 1, "Unknown command -\r\n" + usage, ""},
      {{"-F"}, 1, "Unknown command -F\r\n" + usage, ""},
      {{"-T"}, 1, "Unknown command -T\r\n" + usage, ""},
      {{"-text2"}, 1, "Unknown command -text2\r\n" + usage, ""},
      {{"-W3"}, 1, "Unknown command -W3\r\n" + usage, ""},
      {{"-k"}, 0, testing::versions_list, ""},
      {{"-k3"}, 0, "", testing::keyword_listing(3)},
      {{"-k9"}, 0, testing::versions_list, ""},
      {{"-k-1"}, 0, testing::versions_list, ""},
      {{"-kx"}, 0, "", testing::keyword_listing(0)},
      {{"-k 5"}, 0, "", testing::keyword_listing(5)},
      {{"-k4294967298"},
       0,
       "",
       testing::keyword_listing(2)},  // the conversion to int keeps the low bits
      {{"-K"}, 1, "Unknown command -K\r\n" + usage, ""},
      // Everything before -k is parsed first and can fail; nothing after it is looked at.
      {{"-w8", "-k"}, 1, "Invalid version specified\r\n" + usage, ""},
      {{"-t", "-w2", "-k1", "-w9", "-x"}, 0, "", testing::keyword_listing(1)},
      {{"-k", "-x"}, 0, testing::versions_list, ""},
      {{"-x", "-k"}, 1, "Unknown command -x\r\n" + usage, ""},
      // A row that does not take its value lets the later rows see the option.
      {{"-l", "-k"}, 1, "Unknown command -l\r\n" + usage, ""},
  };
  for (const row& r : rows) {
    const parsed p = parse(r.args);
    std::string label;
    for (const std::string& a : r.args)
      label += a + " ";
    EXPECT_FALSE(p.result.run) << label;
    EXPECT_EQ(p.result.exit_status, r.status) << label;
    EXPECT_EQ(p.err, r.err) << label;
    EXPECT_EQ(p.out, r.out) << label;
  }
}

TEST(command_line, program_name_is_cut_after_the_last_backslash_only) {
  struct row {
    std::string invocation;
    std::string shown;
  };
  const row rows[] = {{"C:\\tools\\brenvik.exe", "brenvik.exe"},
                      {"/usr/local/bin/brenvik", "/usr/local/bin/brenvik"},
                      {"a\\b/c", "b/c"},
                      {"x\\", ""},
                      {"bv", "bv"},
                      {"", ""}};
  for (const row& r : rows) {
    const parsed p = parse({"-h"}, r.invocation);
    EXPECT_EQ(p.err, testing::banner + usage_text(r.shown)) << r.invocation;
    EXPECT_EQ(parse({}, r.invocation).result.options.program_name, r.shown);
  }
  // "%7s" right-aligns short names and leaves long ones whole.
  EXPECT_NE(parse({"-h"}, "bv").err.find("Usage:      bv\t["), std::string::npos);
  EXPECT_NE(parse({"-h"}, "brenvik-long").err.find("Usage: brenvik-long\t["), std::string::npos);
}

TEST(command_line, settings_for_a_run) {
  struct row {
    std::vector<std::string> args;
    int version;
    std::optional<unsigned> load_address;  // -l as settled; none: the version's own
    int skip_count;
    bool text_mode;
    bool force;
    std::optional<std::string> output;
    std::vector<std::string> inputs;
  };
  const row rows[] = {
      {{}, -1, {}, 0, false, false, {}, {}},
      {{"a.tok"}, -1, {}, 0, false, false, {}, {"a.tok"}},
      {{"-w5", "-t"}, 5, {}, 0, true, false, {}, {}},
      {{"-t"}, -1, {}, 0, true, false, {}, {}},
      {{"-text"}, -1, {}, 0, true, false, {}, {}},
      {{"-w5", "-t", "-l", "0"}, 5, 0x6000, 0, true, false, {}, {}},
      {{"-t", "-l", "0"}, -1, 0, 0, true, false, {}, {}},
      {{"-w5", "-t", "-l", "3A7E"}, 5, 0x3A7E, 0, true, false, {}, {}},
      {{"-w5", "-t", "-l", "300"}, 5, 0x0300, 0, true, false, {}, {}},
      {{"-l", "10000", "-w3"}, 3, 0x327E, 0, false, false, {}, {}},  // low 16 bits are 0
      {{"-l", "3A7Ezz"}, -1, 0x3A7E, 0, false, false, {}, {}},
      {{"-l", "  -0x1"}, -1, 0xFFFF, 0, false, false, {}, {}},
      {{"-l", "+0X2a"}, -1, 0x002A, 0, false, false, {}, {}},
      {{"-w3", "-l", "0xg"}, 3, 0x327E, 0, false, false, {}, {}},  // "0" then text: zero
      {{"-l", "123456789"}, -1, 0x6789, 0, false, false, {}, {}},
      {{"-l", "1", "-l", "2"}, -1, 0x0002, 0, false, false, {}, {}},
      {{"-w1", "-w6"}, 6, {}, 0, false, false, {}, {}},
      {{"-w1"}, 1, {}, 0, false, false, {}, {}},
      {{"-w+2"}, 2, {}, 0, false, false, {}, {}},
      {{"-w-0"}, 0, {}, 0, false, false, {}, {}},
      {{"-w0004"}, 4, {}, 0, false, false, {}, {}},
      {{"-skip", "80"}, -1, {}, 0x80, false, false, {}, {}},
      {{"-offset", "7FFF"}, -1, {}, 0x7FFF, false, false, {}, {}},
      {{"-skip", "FFFF"}, -1, {}, -1, false, false, {}, {}},
      {{"-skip", "8000"}, -1, {}, -32768, false, false, {}, {}},
      {{"-skip", "12345"}, -1, {}, 0x2345, false, false, {}, {}},
      {{"-skip", "5", "-skip", "0"}, -1, {}, 0, false, false, {}, {}},
      {{"-o", "-x"}, -1, {}, 0, false, false, "-x", {}},
      {{"-o", "-k"}, -1, {}, 0, false, false, "-k", {}},
      {{"-o", "a", "-o", "b", "-f", "-f"}, -1, {}, 0, false, true, "b", {}},
      {{"--", "-t"}, -1, {}, 0, false, false, {}, {"-t"}},
      {{"--"}, -1, {}, 0, false, false, {}, {}},
      {{"a.tok", "-t", "--"}, -1, {}, 0, false, false, {}, {"a.tok", "-t", "--"}},
      {{"-t", "--", "--", "-k"}, -1, {}, 0, true, false, {}, {"--", "-k"}},
  };
  for (const row& r : rows) {
    const parsed p = parse(r.args);
    std::string label;
    for (const std::string& a : r.args)
      label += a + " ";
    ASSERT_TRUE(p.result.run) << label;
    const run_options& o = p.result.options;
    EXPECT_EQ(o.version, r.version) << label;
    EXPECT_EQ(o.load_address, r.load_address) << label;
    EXPECT_EQ(o.skip_count, r.skip_count) << label;
    EXPECT_EQ(o.text_mode, r.text_mode) << label;
    EXPECT_EQ(o.force_overwrite, r.force) << label;
    EXPECT_EQ(o.output_name, r.output) << label;
    EXPECT_EQ(o.inputs, r.inputs) << label;
    EXPECT_EQ(p.err, "") << label;
    EXPECT_EQ(p.out, "") << label;
  }
}

}  // namespace
}  // namespace brenvik
