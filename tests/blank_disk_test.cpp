#include "disk/blank_disk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "disk/disk_store.h"
#include "disk/os65d.h"
#include "disk/volume.h"
#include "disk_images.h"

namespace brenvik::disk {
namespace {

using testing::bytes_t;

// A blank disk of each size and form reads as an empty OS65D directory with every track but 0
// and the directory track free, holds the tracks OS65D formats, and takes a program.
TEST(blank_disk, reads_as_an_empty_directory_and_takes_a_program) {
  struct row {
    bool eight_inch;
    form kind;
    std::size_t size;
  };
  const row rows[] = {{false, form::flat, 92160},
                      {true, form::flat, 295680},
                      {false, form::bitstream, 133376},
                      {true, form::bitstream, 414208}};
  for (const row& r : rows) {
    const std::string what = std::string(r.eight_inch ? "8\" " : "5.25\" ") +
                             (r.kind == form::flat ? "flat" : "bitstream");
    const std::vector<unsigned char> file = blank_disk(r.eight_inch, r.kind);
    EXPECT_EQ(file.size(), r.size) << what;
    const auto bytes = image_in_memory(file);
    geometry shape;
    container_problem not_known;
    ASSERT_TRUE(identify(*bytes, shape, not_known)) << what;
    EXPECT_EQ(shape.kind, r.kind) << what;
    EXPECT_EQ(shape.eight_inch, r.eight_inch) << what;

    problem why;
    const auto volume = open_volume(*bytes, shape, why);
    ASSERT_NE(volume, nullptr) << what;
    EXPECT_STREQ(volume->dos(), "OS65D") << what;
    std::vector<entry> entries;
    EXPECT_EQ(volume->read_directory(entries).kind, problem::none) << what;
    EXPECT_TRUE(entries.empty()) << what;
    const int directory = r.eight_inch ? 8 : 12;
    std::vector<int> free;
    for (int t = 1; t < shape.tracks; ++t)
      if (t != directory) free.push_back(t);
    EXPECT_EQ(volume->free_space(entries), free) << what;

    os65d_disk disk(*bytes, shape);
    const track boot = read_track(*bytes, shape, 0);
    EXPECT_EQ(std::count(boot.bytes.begin(), boot.bytes.end(), 0), std::ssize(boot.bytes)) << what;
    for (int t = 1; t < shape.tracks; ++t) {
      std::vector<sector> found;
      EXPECT_EQ(disk.sectors(t, found).kind, problem::none) << what << " track " << t;
      const int pages = t == directory ? 1 : r.eight_inch ? 12 : 8;
      ASSERT_EQ(found.size(), t == directory ? 2u : 1u) << what << " track " << t;
      for (const sector& s : found) {
        EXPECT_EQ(s.pages, pages) << what << " track " << t;
        const auto& data = disk.decoded_track(t).bytes;
        for (std::size_t i = 0; i < s.size(); ++i) {
          const unsigned char expected = t != directory ? 0 : i % 8 < 6 ? 0x23 : 0;
          if (data[s.data + i] != expected) {
            ADD_FAILURE() << what << " track " << t << " byte " << i;
            break;
          }
        }
      }
    }

    disk_store store(file, shape);
    ASSERT_NE(store.writer(), nullptr) << what;
    const store_plan plan = store.plan("HELLO", 3, std::nullopt);
    ASSERT_EQ(plan.problem.kind, write_problem::none) << what;
    const unsigned next = plan.load_address + 7u;
    const bytes_t area = {0x00,
                          static_cast<unsigned char>(next),
                          static_cast<unsigned char>(next >> 8),
                          10,
                          0,
                          0x41,
                          0x00,
                          0x00,
                          0x00};
    ASSERT_EQ(store.store("HELLO", plan, area).kind, write_problem::none) << what;
    const auto written = image_in_memory(store.file());
    EXPECT_FALSE(store.misread(*written, shape)) << what;
    const auto again = open_volume(*written, shape, why);
    ASSERT_NE(again, nullptr) << what;
    ASSERT_EQ(again->read_directory(entries).kind, problem::none) << what;
    ASSERT_EQ(entries.size(), 1u) << what;
    EXPECT_EQ(entries[0].name, "HELLO ") << what;
    EXPECT_EQ(entries[0].first, 1) << what;
  }
}

}  // namespace
}  // namespace brenvik::disk
