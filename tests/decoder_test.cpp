#include "image/decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "images.h"
#include "memory_streams.h"

namespace brenvik {
namespace {

using testing::bytes;
using testing::image_of;
using testing::memory_input;
using testing::memory_output;

struct decoded {
  int result;
  std::string out;
  std::string err;
};

decoded decode(const std::string& image, const image_origin& origin) {
  memory_input in(image);
  memory_output out, err;
  const int result = decode_image(in.file(), out.file(), err.file(), origin);
  return {result, out.bytes(), err.bytes()};
}

decoded decode(const std::string& image, int version) {
  return decode(image, {.version = version});
}

std::string chose(int row) {
  return std::string("BASIC version not specified, so I chose ") +
         version_table[static_cast<std::size_t>(row)].name + "\r\n";
}

const std::string empty = "Image ends before its first line\r\n";

std::string ends_after(int line) {
  return "Image ends without its end marker after line " + std::to_string(line) + "\r\n";
}

std::string null_at(int line, int offset) {
  return "\r\nUnexpected NULL encountered in line " + std::to_string(line) + " (offset " +
         std::to_string(offset) + ")\r\n";
}

struct row {
  const char* what;
  std::string image;
  int version;
  int result;
  std::string out;
  std::string err;
};

void check(const row& r) {
  const decoded d = decode(r.image, r.version);
  EXPECT_EQ(d.result, r.result) << r.what;
  EXPECT_EQ(d.out, r.out) << r.what;
  EXPECT_EQ(d.err, r.err) << r.what;
}

TEST(decoder, detection_picks_the_first_row_whose_area_holds_the_first_link) {
  const std::string end_at_0300 = bytes({0x00, 0x07, 0x03, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00});
  const std::string plot =
      bytes({0x00, 0x87, 0x3A, 0x0A, 0x00, 0x91, 0x92, 0xBA, 0x00, 0x00, 0x00});
  const std::string os65u = bytes({0x00, 0x08, 0x60, 0x64, 0x00, 0x9B, 0x31, 0x00, 0x0F, 0x60, 0x6E,
                                   0x00, 0x9C, 0x31, 0x00, 0x00, 0x00});
  const row rows[] = {
      {"ROM image, detected", end_at_0300, -1, 0, "10 END\r\n", chose(0)},
      {"ROM image, named", end_at_0300, 0, 0, "10 END\r\n", ""},
      {"$3A7E takes row 1, never row 2",
       bytes({0x00, 0x85, 0x3A, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}), -1, 0, "10 END\r\n",
       chose(1)},
      {"row 1 words", plot, -1, 0, "10 NULLPLOTATN\r\n", chose(1)},
      {"row 2 words", plot, 2, 0, "10 EDITTRAPxxx\r\n", ""},
      {"$6000 takes row 5", os65u, -1, 0, "100 INDEX<1\r\n110 OPEN1\r\n", chose(5)},
      {"row 6 words", os65u, 6, 0, "100 OPEN1\r\n110 CLOSE1\r\n", ""},
      {"no row fits", bytes({0x00, 0x07, 0x05, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}), -1, -1, "",
       "Can't detect the BASIC version from line link $0507, use -w<version>\r\n"},
      {"detected, then outside the window: two lead bytes, link $0301",
       bytes({0x00, 0x00, 0x01, 0x03, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}), -1, -1, "",
       chose(0) + "invalid basic offset encountered $0301\r\n"},
  };
  for (const row& r : rows)
    check(r);
}

// Every edge of every row's detection window: the link must lie strictly between the load
// address and 255 above it, and the first such row in table order wins.
TEST(decoder, detection_window_edges) {
  for (const version_entry& entry : version_table) {
    for (int delta = -1; delta <= 256; ++delta) {
      const unsigned link = entry.load_address + static_cast<unsigned>(delta);
      const std::string image =
          bytes({0x00, static_cast<int>(link & 0xFF), static_cast<int>(link >> 8), 0x0A, 0x00});
      int expected = -1;
      for (int r = version_count - 1; r >= 0; --r) {
        const unsigned l = version_table[static_cast<std::size_t>(r)].load_address;
        if (l < link && link < l + 255) expected = r;
      }
      // A low byte of 2 restarts the record at once (see the reset test below).
      if ((link & 0xFF) == 2) continue;
      const decoded d = decode(image, -1);
      if (expected >= 0) {
        EXPECT_EQ(d.err.substr(0, chose(expected).size()), chose(expected)) << std::hex << link;
      } else if ((link & 0xFF) != 0) {  // a zero low byte gets a second reading
        EXPECT_EQ(d.result, -1) << std::hex << link;
        EXPECT_EQ(d.err.rfind("Can't detect", 0), 0u) << std::hex << link;
      }
    }
  }
}

TEST(decoder, line_ends_follow_the_links) {
  const std::string ten_a = image_of(0x300, {{10, "A"}}).substr(0, 7);
  const std::string longest(250, 'B');
  const row rows[] = {
      {"missing terminator: the link names the next record",
       bytes({0x00, 0x07, 0x03, 0x0A, 0x00, 0x97, 0x41, 0x0D, 0x03, 0x14, 0x00, 0x80, 0x00, 0x00,
              0x00}),
       -1, 0, "10 PRINTA20 END\r\n", chose(0)},
      {"empty text", bytes({0x00, 0x06, 0x03, 0x0A, 0x00, 0x00, 0x00, 0x00}), -1, 0, "10 \r\n",
       chose(0)},
      {"one lead byte too many for its links",
       bytes({0x00, 0x00, 0x07, 0x03, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}), 0, 0, "10 END", ""},
      {"only zero bytes", bytes({0x00, 0x00, 0x00}), 3, 0, "", ""},
      {"nothing at all", "", -1, -1, "", empty},
      {"end of input inside a record", image_of(0x300, {{10, "\x97\"HI"}}).substr(0, 8), 0, -1,
       "10 PRINT\"H", ends_after(10)},
      {"end of input inside the link", bytes({0x00, 0x07}), -1, -1, "", empty},
      {"end of input inside the line number", bytes({0x00, 0x07, 0x03, 0x0A}), -1, -1, "",
       chose(0) + empty},
      {"end of input inside the second link", image_of(0x300, {{10, "A"}}).substr(0, 8), 0, -1,
       "10 A\r\n", ends_after(10)},
      {"one or two zero bytes", bytes({0x00, 0x00}), 0, -1, "", empty},
      {"four zero bytes are an empty program too", bytes({0x00, 0x00, 0x00, 0x00}), -1, 0, "", ""},
      {"line numbers up to 65535", image_of(0x300, {{65535, "A"}, {0, "B"}}), 0, 0,
       "65535 A\r\n0 B\r\n", ""},
      {"a link outside the window after good lines",
       image_of(0x300, {{10, "A"}}).substr(0, 7) + bytes({0x00, 0x03, 0x14, 0x00, 0x42, 0x00}), 0,
       -1, "10 A\r\n", "invalid basic offset encountered $0300\r\n"},
      {"a link one past the window", bytes({0x00, 0x01, 0x04, 0x0A, 0x00, 0x41, 0x00}), 0, -1, "",
       "invalid basic offset encountered $0401\r\n"},
      // The window's edges, for the second record, at $0307: a link from $0307 to $0406.
      {"a link one short of the window", ten_a + bytes({0x06, 0x03, 0x14, 0x00, 0x42, 0x00}), 0, -1,
       "10 A\r\n", "invalid basic offset encountered $0306\r\n"},
      {"a link to the record itself: the terminator ends the line",
       ten_a + bytes({0x07, 0x03, 0x14, 0x00, 0x42, 0x00, 0x00, 0x00}), 0, 0, "10 A\r\n20 B\r\n",
       ""},
      {"a link four bytes on: the next record starts after the line number",
       ten_a + bytes({0x0B, 0x03, 0x14, 0x00, 0x11, 0x03, 0x1E, 0x00, 0x43, 0x00, 0x00, 0x00}), 0,
       0, "10 A\r\n20 30 C\r\n", ""},
      {"a link at the top of the window", image_of(0x300, {{10, "A"}, {20, longest}}), 0, 0,
       "10 A\r\n20 " + longest + "\r\n", ""},
  };
  for (const row& r : rows)
    check(r);
}

TEST(decoder, text_bytes) {
  std::string every_code;
  for (int code = 0x80; code <= 0xFF; ++code)
    every_code += static_cast<char>(code);
  for (int row = 0; row < version_count; ++row) {
    const version_entry& entry = version_table[static_cast<std::size_t>(row)];
    std::string expected = "1 ";
    for (std::string_view keyword : entry.keywords)
      expected += keyword;
    expected += "\r\n";
    const decoded d = decode(image_of(entry.load_address, {{1, every_code}}), row);
    EXPECT_EQ(d.out, expected) << "codes beyond the list are dropped, row " << row;
  }
  std::string controls;
  for (int c = 1; c < 0x80; ++c)
    controls += static_cast<char>(c);
  EXPECT_EQ(decode(image_of(0x300, {{7, controls}}), 0).out, "7 " + controls + "\r\n");
}

TEST(decoder, zero_bytes_inside_a_line) {
  const row rows[] = {
      {"a zero before the terminator", image_of(0x300, {{10, std::string("A\0B", 3)}}), 0, 0,
       "10 A B\r\n", null_at(10, 773)},
      {"no lead byte: the end marker's first byte ends the line",
       bytes({0x07, 0x03, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}), 0, -1, "10 END \r\n",
       null_at(10, 772) + ends_after(10)},
      {"no lead byte, detected", bytes({0x07, 0x03, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}), -1, -1,
       "10 END \r\n", chose(0) + null_at(10, 772) + ends_after(10)},
      {"no lead byte, two records",
       bytes({0x07, 0x03, 0x0A, 0x00, 0x80, 0x00, 0x0D, 0x03, 0x14, 0x00, 0x80, 0x00, 0x00, 0x00}),
       0, -1, "10 END \r", null_at(10, 772) + "invalid basic offset encountered $1403\r\n"},
  };
  for (const row& r : rows)
    check(r);
}

// The position counter is compared with the link as far as it has been read, one byte or
// two: a small position can restart the record before the link's high byte.
TEST(decoder, reset_test_uses_the_link_read_so_far) {
  const std::string text(126, 'A');
  const std::string image = image_of(0x3A7E, {{10, text}});
  ASSERT_EQ(image.substr(1, 2), bytes({0x02, 0x3B}));
  check({"first link $3B02 with row 1", image, 1, 0, "10 " + text + "\r\n", ""});
  check({"first link $3B02 detected", image, -1, -1, "",
         "Can't detect the BASIC version from line link $0A3B, use -w<version>\r\n"});

  // Without a lead byte the position starts at $FFFF and wraps to 0 after the first byte.
  check({"no lead byte, first link's low byte 01", bytes({0x01, 0x03, 0x0A, 0x0F, 0x04, 0x00}), -1,
         -1, "", "Can't detect the BASIC version from line link $0A03, use -w<version>\r\n"});

  const std::string longest(249, 'B');
  const std::string top = image_of(0x300, {{10, longest}});
  ASSERT_EQ(top.substr(1, 2), bytes({0xFF, 0x03}));
  check({"first link $03FF with row 0", top, 0, 0, "10 " + longest + "\r\n", ""});
  check({"first link $03FF detected", top, -1, -1, "",
         "Can't detect the BASIC version from line link $03FF, use -w<version>\r\n"});
}

// A first link whose low byte is zero looks like one more lead byte; the reading with one
// lead byte fewer is taken when its first link passes.
TEST(decoder, first_link_with_a_zero_low_byte) {
  struct case_ {
    int version;
    unsigned load_address;
    std::size_t text_bytes;
    int detected;
  };
  const case_ cases[] = {{0, 0x0300, 250, -1}, {1, 0x3A7E, 124, 1}, {2, 0x3A7E, 124, 1},
                         {3, 0x327E, 124, 3},  {4, 0x317E, 124, 4}, {5, 0x6000, 250, -1},
                         {6, 0x6000, 250, -1}};
  for (const case_& c : cases) {
    const std::string text(c.text_bytes, 'X');
    const std::string image = image_of(c.load_address, {{10, text}, {20, "\x80"}});
    ASSERT_EQ(image[1], '\0');
    const std::string listing =
        "10 " + text + "\r\n20 " + std::string(keyword_text(c.version, 0)) + "\r\n";
    check({"named version", image, c.version, 0, listing, ""});
    if (c.detected >= 0) {
      check({"detected version", image, -1, 0,
             "10 " + text + "\r\n20 " + std::string(keyword_text(c.detected, 0)) + "\r\n",
             chose(c.detected)});
    }
  }
  check({"link $3300 beyond the end of input, row 3",
         bytes({0x00, 0x00, 0x33, 0x0A, 0x00, 0x97, 0x00, 0x00, 0x00}), 3, -1, "10 PRINT   ",
         null_at(10, 12931) + null_at(10, 12932) + null_at(10, 12933) + ends_after(10)});
  check({"link $3300 beyond the end of input, detected",
         bytes({0x00, 0x00, 0x33, 0x0A, 0x00, 0x97, 0x00, 0x00, 0x00}), -1, -1, "10 PRINT   ",
         chose(3) + null_at(10, 12931) + null_at(10, 12932) + null_at(10, 12933) + ends_after(10)});
  check({"neither reading fits: the first reading's message stands",
         bytes({0x00, 0x00, 0x07, 0x09, 0x0A, 0x00, 0x80, 0x00, 0x00, 0x00}), 0, -1, "",
         "invalid basic offset encountered $0907\r\n"});
}

// Every image the tokenizer writes lists back, whatever the line number after a first link
// whose low byte is zero: with two zero bytes in front, the reading that gets further wins.
TEST(decoder, images_whose_first_link_has_a_zero_low_byte_list_back) {
  for (int version = 0; version < version_count; ++version) {
    const unsigned load_address = version_table[static_cast<std::size_t>(version)].load_address;
    const std::size_t text_bytes = 0x100 - ((load_address + 6) & 0xFF);
    const std::string text(text_bytes, 'Q');
    for (unsigned line = 0; line < 0x10000; line += 0x100 - 3) {
      const std::string image = image_of(load_address, {{line, text}, {line + 1, "Z"}});
      ASSERT_EQ(image[1], '\0');
      const decoded d = decode(image, version);
      EXPECT_EQ(d.result, 0) << version << " line " << line;
      EXPECT_EQ(d.out,
                std::to_string(line) + " " + text + "\r\n" + std::to_string(line + 1) + " Z\r\n")
          << version << " line " << line;
      EXPECT_EQ(d.err, "") << version << " line " << line;
    }
  }
}

// Two zero bytes, then bytes that both readings take for a whole program: the reading with
// one lead byte fewer stands.
TEST(decoder, when_both_readings_reach_the_end_marker_the_shorter_lead_wins) {
  std::string image = bytes({0x00, 0x00, 0x04, 0x03, 0x00, 0x04, 0x0A, 0x0A});
  image += std::string(0xFF - image.size(), 'A');
  image += bytes({0x00, 0x06, 0x04, 0x14, 0x00, 0x80, 0x00, 0x00, 0x00});
  const decoded d = decode(image, 0);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.out, "3 \x04\n\n" + std::string(0xFF - 8, 'A') + "\r\n20 END\r\n");
  EXPECT_EQ(d.err, "");
}

// A large image is read in pieces, and text eight bytes at a time: a token code, a zero
// byte, a record's end or a missing terminator at every offset, and record heads cut
// between pieces, list alike.
TEST(decoder, a_large_image_lists_whatever_falls_where) {
  std::vector<testing::record> records;
  std::vector<std::string> listed;
  for (unsigned i = 0; i < 2400; ++i) {
    const std::string before(i % 23, static_cast<char>('A' + i % 26));
    const std::string after(i % 11, '7');
    const auto code = static_cast<int>(0x80 + i % 68);
    std::string text = before;
    text += static_cast<char>(code);
    text += after;
    std::string line = before;
    line += keyword_text(0, code - 0x80);
    line += after;
    if (i % 97 == 0) {  // a zero inside the line, listed as a space
      text += std::string(1, '\0') + "Z";
      line += " Z";
    }
    records.push_back({i, text});
    listed.push_back(std::to_string(i) + " " + line);
  }
  std::string image = image_of(0x300, records);
  ASSERT_GT(image.size(), 2 * 16384u);
  ASSERT_LT(0x300 + image.size(), 0x10000u);
  // Some terminators give way to a character: the next record follows on the same line.
  std::string expected;
  std::string expected_err;
  std::size_t at = 1;  // of the record in the image
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t terminator = at + 4 + records[i].text.size();
    const bool missing = i % 13 == 5 && i + 1 < records.size();
    if (missing) image[terminator] = 'Q';
    const std::size_t zero = records[i].text.find('\0');
    if (zero != std::string::npos) {
      expected_err += null_at(static_cast<int>(i), static_cast<int>(0x300 + at + 4 + zero - 1));
    }
    expected += listed[i] + (missing ? "Q" : "\r\n");
    at = terminator + 1;
  }
  const decoded d = decode(image, 0);
  EXPECT_EQ(d.result, 0);
  EXPECT_TRUE(d.out == expected) << "the listing differs";
  EXPECT_EQ(d.err, expected_err);
}

// A program occupies memory from its lead byte through the second byte of its end marker,
// which must lie at or below $FFFF; the lines before are listed, and the image rejected.
TEST(decoder, a_program_must_end_at_or_below_the_top_of_memory) {
  const std::string past_top = "Image runs past the top of memory at $FFFF";
  struct top_row {
    const char* what;
    std::string image;
    unsigned load_address;
    int result;
    std::string out;
    std::string err;
  };
  const top_row rows[] = {
      {"end marker at $FFFE-$FFFF", image_of(0xFFF0, {{1, "AB"}, {2, "C"}}), 0xFFF0, 0,
       "1 AB\r\n2 C\r\n", ""},
      {"end marker at $FFFF-$10000", image_of(0xFFF0, {{1, "AB"}, {2, "CD"}}), 0xFFF0, -1,
       "1 AB\r\n2 CD\r\n", past_top + " after line 2\r\n"},
      {"line numbers are named as stored", image_of(0xFFF9, {{65535, ""}}), 0xFFF9, -1,
       "65535 \r\n", past_top + " after line 65535\r\n"},
      {"an empty program at $FFFD", bytes({0, 0, 0}), 0xFFFD, 0, "", ""},
      {"an empty program at $FFFE", bytes({0, 0, 0}), 0xFFFE, -1, "",
       past_top + " before its first line\r\n"},
      {"an empty program at $FFFF", bytes({0, 0, 0, 0}), 0xFFFF, -1, "",
       past_top + " before its first line\r\n"},
      {"a link that would wrap round is outside its window",
       bytes({0x00, 0xF8, 0xFF, 0x01, 0x00, 0x41, 0x42, 0x00, 0x03, 0x00, 0x02, 0x00, 0x43, 0x00,
              0x00, 0x00}),
       0xFFF0, -1, "1 AB\r\n", "invalid basic offset encountered $0003\r\n"},
  };
  for (const top_row& r : rows) {
    const image_origin origin{.version = 0, .load_address = static_cast<uint16_t>(r.load_address)};
    const decoded d = decode(r.image, origin);
    EXPECT_EQ(d.result, r.result) << r.what;
    EXPECT_EQ(d.out, r.out) << r.what;
    EXPECT_EQ(d.err, r.err) << r.what;

    const auto* data = reinterpret_cast<const unsigned char*>(r.image.data());
    memory_output out, err;
    EXPECT_EQ(decode_image({data, r.image.size()}, out.file(), err.file(), origin), r.result)
        << r.what << " in memory";
    EXPECT_EQ(out.bytes() + err.bytes(), r.out + r.err) << r.what << " in memory";
  }
}

TEST(decoder, a_load_address_of_its_own) {
  const std::string at_3a90 = image_of(0x3A90, {{10, "\x97"}, {20, "\x80"}});
  const std::string at_327e = image_of(0x327E, {{10, "\x94"}});
  struct placed_row {
    const char* what;
    std::string image;
    image_origin origin;
    int result;
    std::string out;
    std::string err;
  };
  const placed_row rows[] = {
      {"a version and an address",
       at_3a90,
       {.version = 3, .load_address = 0x3A90},
       0,
       "10 PRINT\r\n20 END\r\n",
       ""},
      {"no version at an address that is no row's",
       at_3a90,
       {.load_address = 0x3A90},
       -1,
       "",
       "Can't detect the BASIC version of a program at $3A90, use -w<version>\r\n"},
      {"the fallback version there",
       at_3a90,
       {.load_address = 0x3A90, .fallback_version = 4},
       0,
       "10 PRINT\r\n20 END\r\n",
       chose(4)},
      {"detection among the rows at that address",
       at_327e,
       {.load_address = 0x327E},
       0,
       "10 DISK\r\n",
       chose(3)},
      {"rows at other addresses are no candidates",
       image_of(0x327E, {{10, "A"}}),
       {.load_address = 0x3A7E},
       -1,
       "",
       "Can't detect the BASIC version from line link $3285, use -w<version>\r\n"},
      {"the wrong address",
       at_3a90,
       {.version = 3, .load_address = 0x327E},
       -1,
       "",
       "invalid basic offset encountered $3A97\r\n"},
  };
  for (const placed_row& r : rows) {
    const decoded d = decode(r.image, r.origin);
    EXPECT_EQ(d.result, r.result) << r.what;
    EXPECT_EQ(d.out, r.out) << r.what;
    EXPECT_EQ(d.err, r.err) << r.what;

    const auto* data = reinterpret_cast<const unsigned char*>(r.image.data());
    memory_output out, err;
    EXPECT_EQ(decode_image({data, r.image.size()}, out.file(), err.file(), r.origin), r.result)
        << r.what << " in memory";
    EXPECT_EQ(out.bytes(), r.out) << r.what << " in memory";
    EXPECT_EQ(err.bytes(), r.err) << r.what << " in memory";
  }
}

}  // namespace
}  // namespace brenvik
