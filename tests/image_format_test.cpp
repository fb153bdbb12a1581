#include "image/image_format.h"

#include <gtest/gtest.h>

namespace brenvik::image {
namespace {

// Both edges of both rules for a record's link, and no reaching a link by wrapping round.
TEST(image_format, link_rules) {
  struct row {
    unsigned record;
    unsigned link;
    bool within_window;  // the listing's: 0 to 255 bytes on
    bool within_reach;   // a record's: 5 to 255 bytes on
  };
  const row rows[] = {
      {0x0301, 0x0300, false, false}, {0x0301, 0x0301, true, false}, {0x0301, 0x0305, true, false},
      {0x0301, 0x0306, true, true},   {0x0301, 0x0400, true, true},  {0x0301, 0x0401, false, false},
      {0xFF00, 0xFFFF, true, true},   {0xFFFE, 0xFFFF, true, false}, {0xFFFE, 0x0003, false, false},
      {0xFF10, 0x000F, false, false},
  };
  for (const row& r : rows) {
    EXPECT_EQ(link_within_window(r.link, r.record), r.within_window)
        << std::hex << r.record << " " << r.link;
    EXPECT_EQ(link_within_reach(r.link, r.record), r.within_reach)
        << std::hex << r.record << " " << r.link;
  }
}

}  // namespace
}  // namespace brenvik::image
