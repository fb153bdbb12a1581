#include "tokenize/line_store.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace brenvik {
namespace {

// One step of typing: store a text (erase when none is given; clear at number -1), done
// `times` times over with the number counting up by `step` (0: the same line again).
struct step {
  int number;
  std::string text;
  bool erase = false;
  int times = 1;
  int step = 0;
};

using lines = std::vector<std::pair<unsigned, std::string>>;

lines held(const line_store& store) {
  lines all;
  store.for_each([&](unsigned number, std::string_view text) {
    all.emplace_back(number, std::string(text));
    return true;
  });
  return all;
}

TEST(line_store, keeps_the_last_text_of_every_number_in_ascending_order) {
  const std::string longest(255, 'X');
  const std::string zero_inside("A\0B", 3);
  struct row {
    const char* what;
    std::vector<step> steps;
    lines expected;
  };
  const row rows[] = {
      {"nothing typed", {}, {}},
      {"typed out of order", {{30, "C"}, {10, "A"}, {20, "B"}}, {{10, "A"}, {20, "B"}, {30, "C"}}},
      {"typed again", {{10, "A"}, {10, "AA"}, {10, "B"}}, {{10, "B"}}},
      {"an empty text and a zero byte", {{5, ""}, {6, zero_inside}}, {{5, ""}, {6, zero_inside}}},
      {"erased, and erased when absent",
       {{10, "A"}, {20, "B"}, {10, "", true}, {15, "", true}},
       {{20, "B"}}},
      {"cleared, then typed", {{10, "A"}, {-1}, {20, "B"}}, {{20, "B"}}},
      {"the edges of the numbers and of a text",
       {{63999, longest}, {0, "0"}, {63, "a"}, {64, "b"}},
       {{0, "0"}, {63, "a"}, {64, "b"}, {63999, longest}}},
      // The texts typed over outweigh the live ones many times: compactions move the live
      // texts, which must come out unchanged.
      {"one line typed again and again",
       {{7, "KEEP"}, {9, longest, false, 2000}, {9, "LAST"}},
       {{7, "KEEP"}, {9, "LAST"}}},
      {"many lines, each typed twice, half of them erased",
       {{0, "FIRST", false, 1000, 10}, {0, longest, false, 1000, 10}, {0, "", true, 500, 20}},
       [&] {
         lines expected;
         for (unsigned n = 10; n < 10000; n += 20)
           expected.emplace_back(n, longest);
         return expected;
       }()},
  };
  for (const row& r : rows) {
    line_store store;
    std::map<unsigned, std::size_t> live;  // the bytes each present line takes
    std::size_t live_bytes = 0;
    for (const step& s : r.steps) {
      for (int i = 0, number = s.number; i < s.times; ++i, number += s.step) {
        const auto n = static_cast<unsigned>(number);
        if (number < 0) {
          store.clear();
          live.clear();
        } else if (s.erase) {
          store.erase(n);
          live.erase(n);
        } else {
          store.store(n, s.text);
          live[n] = s.text.size() + 1;
        }
        live_bytes = 0;
        for (const auto& [line, size] : live)
          live_bytes += size;
        ASSERT_LE(store.bytes(), 2 * live_bytes + line_store::most_waste + 256) << r.what;
      }
    }
    EXPECT_EQ(held(store), r.expected) << r.what;
  }
}

}  // namespace
}  // namespace brenvik
