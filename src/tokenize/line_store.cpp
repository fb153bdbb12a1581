#include "tokenize/line_store.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace brenvik {

void line_store::store(unsigned number, std::string_view text) {
  erase(number);
  const std::size_t size = 1 + text.size();
  if (capacity_ - size_ < size) grow(size);
  present_[number / 64] |= uint64_t{1} << (number % 64);
  where(number) = static_cast<uint32_t>(size_);
  texts_[size_] = static_cast<char>(text.size());
  std::memcpy(texts_.get() + size_ + 1, text.data(), text.size());
  size_ += size;
  live_ += size;
}

void line_store::erase(unsigned number) {
  if (!holds(number)) return;
  live_ -= text(number).size() + 1;
  present_[number / 64] &= ~(uint64_t{1} << (number % 64));
  if (size_ - live_ > std::max(live_, most_waste)) compact();
}

void line_store::clear() {
  present_.fill(0);
  size_ = 0;
  live_ = 0;
}

uint32_t& line_store::where(unsigned number) {
  auto& block = where_[number / block_size];
  if (!block) block = std::make_unique_for_overwrite<uint32_t[]>(block_size);
  return block[number % block_size];
}

void line_store::grow(std::size_t more) {
  const std::size_t capacity = std::max(2 * capacity_, size_ + more + (std::size_t{16} << 10));
  auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ > 0) std::memcpy(bigger.get(), texts_.get(), size_);
  texts_ = std::move(bigger);
  capacity_ = capacity;
}

void line_store::compact() {
  auto live = std::make_unique_for_overwrite<char[]>(capacity_);
  std::size_t size = 0;
  for_each([&](unsigned number, std::string_view text) {
    where(number) = static_cast<uint32_t>(size);
    live[size] = static_cast<char>(text.size());
    std::memcpy(live.get() + size + 1, text.data(), text.size());
    size += 1 + text.size();
    return true;
  });
  texts_ = std::move(live);
  size_ = size;
}

}  // namespace brenvik
