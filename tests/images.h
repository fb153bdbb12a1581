// Tokenized program images assembled by hand from the record layout, for tests.
#pragma once

#include <string>
#include <vector>

namespace brenvik::testing {

struct record {
  unsigned line;
  std::string text;  // tokenized text: characters and token codes
};

// The lead byte, one record per entry with links computed from `load_address`, and the
// end marker.
inline std::string image_of(unsigned load_address, const std::vector<record>& records) {
  std::string image(1, '\0');
  unsigned address = load_address + 1;
  for (const record& r : records) {
    const unsigned link = address + static_cast<unsigned>(r.text.size()) + 5;
    image += static_cast<char>(link & 0xFF);
    image += static_cast<char>((link >> 8) & 0xFF);
    image += static_cast<char>(r.line & 0xFF);
    image += static_cast<char>((r.line >> 8) & 0xFF);
    image += r.text;
    image += '\0';
    address = link & 0xFFFF;
  }
  return image + std::string(2, '\0');
}

}  // namespace brenvik::testing
