#include "tokenize/typed.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <span>
#include <string>
#include <string_view>

#include "byte_io.h"
#include "catalogue/catalogue.h"
#include "image/image_format.h"
#include "messages.h"
#include "tokenize/crunch.h"
#include "tokenize/line_store.h"

namespace brenvik {

namespace {

// The input routine's line buffer: 71 characters (the ROM compares with $47).
constexpr std::size_t line_buffer_size = 71;

// A digit that arrives when the number is already this large is a syntax error.
constexpr unsigned number_limit = (line_store::highest_number + 1) / 10;

constexpr unsigned char bel = 0x07;
constexpr unsigned char seven_bits = 0x7F;

// What a key does to the line being typed.
enum class key : unsigned char { store, ignore, end_line, cancel, take_back };

// The action of every input byte. A byte acts as its low 7 bits, except that only a real LF
// ends a line (a listing's line end); 8A is an LF key, which is ignored like other controls.
constexpr std::array<key, 256> key_actions(bool disk_basic) {
  std::array<key, 256> actions{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    const unsigned c = byte & seven_bits;
    key action = key::store;
    if (c == '\r' || byte == '\n') {
      action = key::end_line;
    } else if ((c < ' ' && c != bel) || c >= '}' || (disk_basic && c == '[')) {
      action = key::ignore;  // the disk operating system takes [ for itself
    } else if (c == '@') {
      action = key::cancel;
    } else if (c == '_') {
      action = key::take_back;
    }
    actions[byte] = action;
  }
  return actions;
}

constexpr std::array<std::array<key, 256>, 2> actions_by_basic = {key_actions(false),
                                                                  key_actions(true)};

// What the summary says: the lines not stored as they were written.
struct not_stored {
  unsigned long long without_number = 0;
  unsigned long long above_63999 = 0;
  unsigned long long deleted = 0;
  unsigned long long typed_again = 0;
  unsigned long long cut = 0;
};

// The machine after the lines typed so far.
class machine {
 public:
  explicit machine(int version) : cruncher_(version), disk_basic_(version != 0) {}

  // Takes one line as the input routine left it: the characters from `text` to `end`, 7-bit,
  // at most 71 of them, the byte at `end` one that never stands in a line (a zero, a line
  // end), and the eight bytes from every character on readable. `cut`: characters were
  // dropped because the line was full.
  void take(const char* text, const char* end, bool cut) {
    const char* at = text;
    while (at != end && *at == ' ')
      ++at;
    if (at == end) return;
    if (*at == ':' && !disk_basic_) {
      ++counts_.without_number;  // the ROM takes the line for an empty one
      return;
    }
    if (*at < '0' || *at > '9') return direct(at, end);

    unsigned number = 0;
    // The byte at `end` is no digit and no space.
    for (; (*at >= '0' && *at <= '9') || *at == ' '; ++at) {
      if (*at == ' ') continue;
      if (number >= number_limit) {
        ++counts_.above_63999;
        return;
      }
      number = number * 10 + static_cast<unsigned>(*at - '0');
    }
    if (cut) ++counts_.cut;
    if (at == end) {
      if (program_.holds(number)) {
        program_.erase(number);
        ++counts_.deleted;
      }
      return;
    }
    if (program_.holds(number)) ++counts_.typed_again;
    unsigned char crunched[line_buffer_size];
    const std::size_t length = cruncher_.crunch(at, end, crunched);
    program_.store(number, {reinterpret_cast<const char*>(crunched), length});
  }

  const line_store& held() const { return program_; }
  const not_stored& counts() const { return counts_; }

 private:
  // A direct line runs at once; of what it could do, only NEW alone concerns the program.
  void direct(const char* text, const char* end) {
    ++counts_.without_number;
    unsigned char crunched[line_buffer_size];
    const std::size_t length = cruncher_.crunch(text, end, crunched);
    std::string_view statement(reinterpret_cast<const char*>(crunched), length);
    if (disk_basic_ && statement[0] == ':') statement.remove_prefix(1);
    const auto words =
        std::count_if(statement.begin(), statement.end(), [](char c) { return c != ' '; });
    if (words == 1 &&
        statement.find(static_cast<char>(cruncher_.new_program())) != std::string_view::npos) {
      program_.clear();
    }
  }

  const cruncher cruncher_;
  const bool disk_basic_;
  line_store program_;
  not_stored counts_;
};

// The bytes that are stored in the line as they are: all but the keys that act, and 80-FF.
constexpr std::array<bool, 256> plain_keys(const std::array<key, 256>& actions) {
  std::array<bool, 256> plain{};
  for (unsigned byte = 0; byte <= seven_bits; ++byte)
    plain[byte] = actions[byte] == key::store;
  return plain;
}

constexpr std::array<std::array<bool, 256>, 2> plain_by_basic = {plain_keys(actions_by_basic[0]),
                                                                 plain_keys(actions_by_basic[1])};

// The line being typed: the input routine's buffer, a zero after it, and bytes after that
// which the cruncher may read.
class line_buffer {
 public:
  explicit line_buffer(bool disk_basic)
      : actions_(actions_by_basic[disk_basic ? 1 : 0]),
        plain_(plain_by_basic[disk_basic ? 1 : 0]),
        also_acting_(disk_basic ? '[' : '@') {}

  // Types `bytes`, handing every line that ends to `machine`. The eight bytes after them
  // must be readable.
  void type(std::span<const unsigned char> bytes, machine& into) {
    const unsigned char* next = bytes.data();
    const unsigned char* const stop = next + bytes.size();
    while (next != stop) {
      // Most lines are typed without a key that acts, up to their end, and fit: the machine
      // takes them as they stand in the input, with their line end after them.
      if (length_ == 0 && !cut_) {
        const unsigned char* const limit = static_cast<std::size_t>(stop - next) > line_buffer_size
                                               ? next + line_buffer_size + 1
                                               : stop;
        const unsigned char* const acting = first_acting(next, limit);
        if (acting != limit && actions_[*acting] == key::end_line) {
          if (acting != next) {  // an empty line is ignored
            into.take(reinterpret_cast<const char*>(next), reinterpret_cast<const char*>(acting),
                      false);
          }
          next = acting + 1;
          continue;
        }
      }
      next = type_keys(next, stop, into);
    }
  }

  // Ends the line typed so far, as Return does.
  void end(machine& into) {
    line_[length_] = '\0';
    into.take(line_.data(), line_.data() + length_, cut_);
    length_ = 0;
    cut_ = false;
  }

 private:
  // The first byte from `from` on, before `limit`, that is not stored as it is (a key that
  // acts, one that is ignored, or 80-FF), or `limit`. Eight bytes at a time: a byte's high
  // bit marks it, computed without carries between the bytes of the word.
  const unsigned char* first_acting(const unsigned char* from, const unsigned char* limit) const {
    constexpr uint64_t ones = 0x0101010101010101;
    constexpr uint64_t high_bits = ones * 0x80;
    constexpr uint64_t low_bits = ones * seven_bits;
    const auto equal = [](uint64_t low, unsigned char c) {
      return ~((low ^ (ones * c)) + low_bits);
    };
    for (const unsigned char* at = from; at < limit; at += 8) {
      const uint64_t word = eight_bytes_at(at);
      const uint64_t low = word & low_bits;
      const uint64_t marks = (word | ~(low + ones * (0x80 - ' ')) | (low + ones * (0x80 - '}')) |
                              equal(low, '@') | equal(low, '_') | equal(low, also_acting_)) &
                             high_bits;
      if (marks != 0) return std::min(at + std::countr_zero(marks) / 8, limit);
    }
    return limit;
  }

  // Types the bytes from `next` on a key at a time, up to and including the end of the line;
  // returns where it stopped.
  const unsigned char* type_keys(const unsigned char* next, const unsigned char* const stop,
                                 machine& into) {
    while (next != stop) {
      // A run of bytes stored as they are: copied as far as the line has room.
      const unsigned char* const run = next;
      while (next != stop && plain_[*next])
        ++next;
      const auto count = static_cast<std::size_t>(next - run);
      const std::size_t copied = std::min(count, line_buffer_size - length_);
      std::memcpy(line_.data() + length_, run, copied);
      length_ += copied;
      cut_ = cut_ || copied < count;
      if (next == stop) break;

      const unsigned char byte = *next++;
      switch (actions_[byte]) {
        case key::store:
          if (length_ < line_buffer_size) {
            line_[length_++] = static_cast<char>(byte & seven_bits);
          } else {
            cut_ = true;
          }
          break;
        case key::ignore:
          break;
        case key::end_line:
          end(into);
          return next;
        case key::cancel:
          length_ = 0;
          cut_ = false;
          break;
        case key::take_back:
          if (length_ > 0) {
            --length_;
          } else {
            cut_ = false;
          }
          break;
      }
    }
    return next;
  }

  const std::array<key, 256>& actions_;
  const std::array<bool, 256>& plain_;
  const unsigned char also_acting_;  // [ on the disk BASICs, which ignore it; else @ again
  std::array<char, line_buffer_size + 1 + sizeof(uint64_t)> line_{};
  std::size_t length_ = 0;
  bool cut_ = false;
};

constexpr unsigned char byte_order_mark[] = {0xEF, 0xBB, 0xBF};

// The last address a record may link to: its end marker must still fit below $10000.
constexpr unsigned highest_link = 0xFFFE;

// Writes the summary of what was not stored as written, when there is any.
void summarize(const not_stored& counts, FILE* err) {
  std::string items;
  const auto add = [&](const char* format, unsigned long long count) {
    if (count == 0) return;
    if (!items.empty()) items += message::typed_item_separator;
    items += format_message(format, count, count == 1 ? "" : "s");
  };
  add(message::typed_without_number, counts.without_number);
  add(message::typed_above_63999, counts.above_63999);
  add(message::typed_deleted, counts.deleted);
  add(message::typed_again, counts.typed_again);
  add(message::typed_cut, counts.cut);
  if (!items.empty()) report(err, message::typed_summary, items.c_str());
}

}  // namespace

int type_listing(FILE* in, FILE* out, FILE* err, int version, uint16_t load_address) {
  if (version < first_typed_version || version > last_typed_version) {
    report(err, message::typed_version_unknown, version);
    return -1;
  }
  machine typed(version);
  line_buffer line(version != 0);
  block_reader input(in);
  for (bool first = true; input.read_more(); first = false) {
    auto bytes = input.pending();
    if (first && bytes.size() >= sizeof byte_order_mark &&
        std::equal(std::begin(byte_order_mark), std::end(byte_order_mark), bytes.begin())) {
      bytes = bytes.subspan(sizeof byte_order_mark);
    }
    line.type(bytes, typed);
    input.consume(input.pending().size());
  }
  line.end(typed);

  block_writer output(out);
  output.put(image::lead_byte);
  unsigned address = load_address + 1u;
  int result = 0;
  typed.held().for_each([&](unsigned number, std::string_view text) {
    const unsigned link = address + static_cast<unsigned>(text.size()) + image::record_overhead;
    if (link > highest_link) {
      output.flush();
      report(err, message::line_past_top, number);
      result = -1;
      return false;
    }
    const char head[] = {
        static_cast<char>(image::low_byte(link)), static_cast<char>(image::high_byte(link)),
        static_cast<char>(image::low_byte(number)), static_cast<char>(image::high_byte(number))};
    output.write({head, sizeof head});
    output.write(text);
    output.put(image::terminator);
    address = link;
    return true;
  });
  output.put(image::low_byte(image::end_link));
  output.put(image::high_byte(image::end_link));
  output.flush();
  summarize(typed.counts(), err);
  return result;
}

}  // namespace brenvik
