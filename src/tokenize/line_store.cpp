#include "tokenize/line_store.h"

#include <algorithm>
#include <utility>

namespace brenvik {

void line_store::store(unsigned number, std::string_view text) {
  erase(number);
  present_[number / 64] |= uint64_t{1} << (number % 64);
  where(number) = static_cast<uint32_t>(texts_.size());
  texts_ += static_cast<char>(text.size());
  texts_ += text;
  live_ += text.size() + 1;
}

void line_store::erase(unsigned number) {
  if (!holds(number)) return;
  live_ -= text(number).size() + 1;
  present_[number / 64] &= ~(uint64_t{1} << (number % 64));
  if (texts_.size() - live_ > std::max(live_, most_waste)) compact();
}

void line_store::clear() {
  present_.fill(0);
  texts_.clear();
  live_ = 0;
}

uint32_t& line_store::where(unsigned number) {
  auto& block = where_[number / block_size];
  if (!block) block = std::make_unique_for_overwrite<uint32_t[]>(block_size);
  return block[number % block_size];
}

void line_store::compact() {
  std::string live;
  live.reserve(live_);
  for_each([&](unsigned number, std::string_view text) {
    where(number) = static_cast<uint32_t>(live.size());
    live += static_cast<char>(text.size());
    live += text;
    return true;
  });
  texts_ = std::move(live);
}

}  // namespace brenvik
