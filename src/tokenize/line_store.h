// The line store: the program a machine holds while lines are typed into it, the crunched
// text of every line number present.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace brenvik {

// One bit per possible number says which lines are present, so lines come out in ascending
// order whatever the order they were typed in; the texts lie one after another in one
// string, each behind its length. A replaced or deleted text stays there until it outweighs
// the live ones, and then the live ones are copied together: the string never holds much
// more than twice the program (bytes() <= 2 * live bytes + most_waste + one text).
class line_store {
 public:
  static constexpr unsigned highest_number = 63999;
  // Texts no longer held that may stay, however small the program.
  static constexpr std::size_t most_waste = std::size_t{64} << 10;

  // Whether line `number` (0 to highest_number, as for every call here) is present.
  bool holds(unsigned number) const { return (present_[number / 64] >> (number % 64) & 1) != 0; }

  // Stores `text` (at most 255 bytes) as line `number`, replacing the line there.
  void store(unsigned number, std::string_view text);

  // Removes line `number`, when present.
  void erase(unsigned number);

  // Removes every line.
  void clear();

  // Calls `each(number, text)` for every line, in ascending order, while it returns true.
  template <typename function>
  void for_each(function each) const {
    for (std::size_t word = 0; word < present_.size(); ++word) {
      for (uint64_t bits = present_[word]; bits != 0; bits &= bits - 1) {
        const auto number =
            static_cast<unsigned>(word * 64 + static_cast<unsigned>(std::countr_zero(bits)));
        if (!each(number, text(number))) return;
      }
    }
  }

  // The bytes the texts take, those of lines no longer held included.
  std::size_t bytes() const { return size_; }

 private:
  // Where line `number`'s length lies in texts_, in a block of numbers made when first used.
  uint32_t& where(unsigned number);
  uint32_t where(unsigned number) const { return where_[number / block_size][number % block_size]; }

  std::string_view text(unsigned number) const {
    const std::size_t at = where(number);
    return {texts_.get() + at + 1, static_cast<unsigned char>(texts_[at])};
  }

  // Makes room for `more` bytes after the texts.
  void grow(std::size_t more);
  void compact();

  static constexpr unsigned block_size = 256;
  std::array<uint64_t, (highest_number + 64) / 64> present_{};
  std::array<std::unique_ptr<uint32_t[]>, (highest_number + block_size) / block_size> where_;
  // The texts, each behind its length: a buffer of its own, as a string's appends cost a
  // typed line as much as its crunching.
  std::unique_ptr<char[]> texts_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t live_ = 0;  // bytes of texts_ that belong to present lines
};

}  // namespace brenvik
