#include "tokenize/typed.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "byte_io.h"
#include "catalogue/catalogue.h"
#include "image/image_format.h"
#include "messages.h"

namespace brenvik {

namespace {

constexpr std::size_t typed_rows = last_typed_version - first_typed_version + 1;

// The input routine's line buffer: 71 characters (the ROM compares with $47).
constexpr std::size_t line_buffer_size = 71;

constexpr unsigned highest_line_number = 63999;
// A digit that arrives when the number is already this large is a syntax error.
constexpr unsigned number_limit = (highest_line_number + 1) / 10;

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

// How the cruncher takes a character: as it is, as the start of a string, as PRINT, or as
// the possible start of a keyword.
enum class kind : unsigned char { copy, quote, question, keyword };

// A row's keywords, grouped by first character, each group in token-code order: only the
// group of the character at hand can match, so trying it alone is trying the whole list in
// order. Keywords are 7-bit text.
struct keyword_index {
  struct candidate {
    std::string_view keyword;
    unsigned char code = 0;
  };
  // The group of character c: groups[start[c]] .. groups[start[c + 1]].
  std::array<unsigned char, 129> start{};
  std::array<candidate, 128> groups{};
  // The characters that follow the first in the keywords of each group, a bit each; every
  // character, for a group that holds a keyword of one character. A keyword can only match
  // where the next character but spaces is one of them.
  std::array<std::array<uint64_t, 2>, 128> seconds{};
  std::array<kind, 128> kinds{};
  unsigned char rem = 0;
  unsigned char data = 0;
  unsigned char print = 0;
  unsigned char new_program = 0;
};

constexpr keyword_index index_row(std::size_t row) {
  keyword_index index;
  const keyword_list keywords = version_table[row].keywords;
  std::array<unsigned, 129> counts{};
  for (std::string_view keyword : keywords)
    ++counts[static_cast<unsigned char>(keyword[0]) + 1u];
  for (std::size_t c = 0; c < 128; ++c)
    counts[c + 1] += counts[c];
  for (std::size_t c = 0; c < 129; ++c)
    index.start[c] = static_cast<unsigned char>(counts[c]);
  index.kinds['"'] = kind::quote;
  index.kinds['?'] = kind::question;
  for (std::size_t p = 0; p < keywords.size(); ++p) {
    const auto code = static_cast<unsigned char>(first_token + p);
    const auto first = static_cast<unsigned char>(keywords[p][0]);
    index.groups[counts[first]++] = {keywords[p], code};
    index.kinds[first] = kind::keyword;
    auto& seconds = index.seconds[first];
    if (keywords[p].size() == 1) {
      seconds = {~uint64_t{0}, ~uint64_t{0}};
    } else {
      const auto second = static_cast<unsigned char>(keywords[p][1]);
      seconds[second / 64] |= uint64_t{1} << (second % 64);
    }
    const auto first_of = [&](std::string_view word, unsigned char& at) {
      if (keywords[p] == word && at == 0) at = code;
    };
    first_of("REM", index.rem);
    first_of("DATA", index.data);
    first_of("PRINT", index.print);
    first_of("NEW", index.new_program);
  }
  return index;
}

constexpr std::array<keyword_index, typed_rows> indexes = [] {
  std::array<keyword_index, typed_rows> all{};
  for (std::size_t row = 0; row < typed_rows; ++row)
    all[row] = index_row(first_typed_version + row);
  return all;
}();

static_assert([] {
  for (std::size_t row = 0; row < typed_rows; ++row) {
    const keyword_index& index = indexes[row];
    if (index.rem == 0 || index.data == 0 || index.print == 0 || index.new_program == 0)
      return false;
    for (std::string_view keyword : version_table[first_typed_version + row].keywords) {
      if (keyword.empty() || keyword.size() > 127) return false;
      // Spaces, digits, : ; " and ? are taken before any keyword is tried.
      if (std::string_view(" 0123456789:;\"?").find(keyword[0]) != std::string_view::npos)
        return false;
      for (const char c : keyword)
        if (static_cast<unsigned char>(c) > seven_bits || c == ' ') return false;
    }
  }
  return true;
}());

// Crunches the `length` characters of `text` (7-bit, no zero, a zero after them) into `out`,
// which has room for as many, and returns the length written; every token replaces at least
// one character. Outside strings, REM and DATA, a keyword is tried at every character that
// is not a space, a digit, : or ; and ? is PRINT. While a keyword is matched, spaces in the
// text are skipped: they are dropped with it; spaces before and after it stay.
std::size_t crunch(const char* text, std::size_t length, const keyword_index& words,
                   unsigned char* out) {
  std::size_t in = 0;
  std::size_t written = 0;
  bool in_data = false;
  while (in < length) {
    const auto c = static_cast<unsigned char>(text[in]);
    const kind k = words.kinds[c];
    if (k == kind::copy || (in_data && k != kind::quote)) {
      out[written++] = c;
      ++in;
      if (c == ':') in_data = false;
      continue;
    }
    if (k == kind::quote) {
      const void* closing = std::memchr(text + in + 1, '"', length - in - 1);
      const std::size_t end =
          closing == nullptr
              ? length
              : static_cast<std::size_t>(static_cast<const char*>(closing) - text) + 1;
      std::memcpy(out + written, text + in, end - in);
      written += end - in;
      in = end;
      continue;
    }
    if (k == kind::question) {
      out[written++] = words.print;
      ++in;
      continue;
    }
    // The zero after the text ends every match.
    std::size_t next = in + 1;
    while (text[next] == ' ')
      ++next;
    const auto second = static_cast<unsigned char>(text[next]);
    unsigned char code = 0;
    std::size_t after = in + 1;
    if ((words.seconds[c][second / 64] >> (second % 64) & 1) != 0) {
      for (unsigned g = words.start[c]; g < words.start[c + 1u]; ++g) {
        const std::string_view keyword = words.groups[g].keyword;
        std::size_t at = in + 1;
        std::size_t agreed = 1;
        for (; agreed < keyword.size(); ++agreed, ++at) {
          while (text[at] == ' ')
            ++at;
          if (text[at] != keyword[agreed]) break;
        }
        if (agreed == keyword.size()) {
          code = words.groups[g].code;
          after = at;
          break;
        }
      }
    }
    if (code == 0) {
      out[written++] = c;
      ++in;
      continue;
    }
    out[written++] = code;
    in = after;
    if (code == words.data) in_data = true;
    if (code == words.rem) {
      std::memcpy(out + written, text + in, length - in);
      written += length - in;
      in = length;
    }
  }
  return written;
}

// What the summary says: the lines not stored as they were written.
struct not_stored {
  unsigned long long without_number = 0;
  unsigned long long above_63999 = 0;
  unsigned long long deleted = 0;
  unsigned long long typed_again = 0;
  unsigned long long cut = 0;
};

// The program held: the crunched text of every line number present. One bit per possible
// number says which are present, so lines come out in ascending order whatever the order
// they were typed in; the texts lie one after another in one string, each behind its length.
// A replaced or deleted text stays there until it outweighs the live ones, and then the
// live ones are copied together: the string never holds much more than twice the program.
class program {
 public:
  bool holds(unsigned number) const { return (present_[number / 64] >> (number % 64) & 1) != 0; }

  // Stores `text` (at most 255 bytes) as line `number`, replacing the line there.
  void store(unsigned number, std::string_view text) {
    erase(number);
    present_[number / 64] |= uint64_t{1} << (number % 64);
    where(number) = static_cast<uint32_t>(texts_.size());
    texts_ += static_cast<char>(text.size());
    texts_ += text;
    live_ += text.size() + 1;
  }

  void erase(unsigned number) {
    if (!holds(number)) return;
    live_ -= text(number).size() + 1;
    present_[number / 64] &= ~(uint64_t{1} << (number % 64));
    if (texts_.size() - live_ > std::max(live_, most_waste)) compact();
  }

  void clear() {
    present_.fill(0);
    texts_.clear();
    live_ = 0;
  }

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

 private:
  // Where line `number`'s length lies in texts_, in a block of numbers made when first used.
  uint32_t& where(unsigned number) {
    auto& block = where_[number / block_size];
    if (!block) block = std::make_unique_for_overwrite<uint32_t[]>(block_size);
    return block[number % block_size];
  }
  uint32_t where(unsigned number) const { return where_[number / block_size][number % block_size]; }

  std::string_view text(unsigned number) const {
    const std::size_t at = where(number);
    return {texts_.data() + at + 1, static_cast<unsigned char>(texts_[at])};
  }

  void compact() {
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

  // Texts no longer held that may stay, however small the program.
  static constexpr std::size_t most_waste = std::size_t{64} << 10;

  std::array<uint64_t, (highest_line_number + 64) / 64> present_{};
  static constexpr unsigned block_size = 256;
  std::array<std::unique_ptr<uint32_t[]>, (highest_line_number + block_size) / block_size> where_;
  std::string texts_;
  std::size_t live_ = 0;  // bytes of texts_ that belong to present lines
};

// The machine after the lines typed so far.
class machine {
 public:
  explicit machine(int version)
      : words_(indexes[static_cast<std::size_t>(version - first_typed_version)]),
        disk_basic_(version != 0) {}

  // Takes one line as the input routine left it: at most 71 characters of 7 bits, no zero,
  // and a zero after them. `cut`: characters were dropped because the line was full.
  void take(std::string_view line, bool cut) {
    std::size_t at = 0;
    while (at < line.size() && line[at] == ' ')
      ++at;
    if (at == line.size()) return;
    if (line[at] == ':' && !disk_basic_) {
      ++counts_.without_number;  // the ROM takes the line for an empty one
      return;
    }
    if (line[at] < '0' || line[at] > '9') return direct(line.substr(at));

    unsigned number = 0;
    for (; at < line.size() && ((line[at] >= '0' && line[at] <= '9') || line[at] == ' '); ++at) {
      if (line[at] == ' ') continue;
      if (number >= number_limit) {
        ++counts_.above_63999;
        return;
      }
      number = number * 10 + static_cast<unsigned>(line[at] - '0');
    }
    if (cut) ++counts_.cut;
    if (at == line.size()) {
      if (program_.holds(number)) {
        program_.erase(number);
        ++counts_.deleted;
      }
      return;
    }
    if (program_.holds(number)) ++counts_.typed_again;
    unsigned char text[line_buffer_size];
    const std::size_t length = crunch(line.data() + at, line.size() - at, words_, text);
    program_.store(number, {reinterpret_cast<const char*>(text), length});
  }

  const program& held() const { return program_; }
  const not_stored& counts() const { return counts_; }

 private:
  // A direct line runs at once; of what it could do, only NEW alone concerns the program.
  void direct(std::string_view line) {
    ++counts_.without_number;
    unsigned char text[line_buffer_size];
    const std::size_t length = crunch(line.data(), line.size(), words_, text);
    std::string_view statement(reinterpret_cast<const char*>(text), length);
    if (disk_basic_ && statement[0] == ':') statement.remove_prefix(1);
    const auto words =
        std::count_if(statement.begin(), statement.end(), [](char c) { return c != ' '; });
    if (words == 1 &&
        statement.find(static_cast<char>(words_.new_program)) != std::string_view::npos) {
      program_.clear();
    }
  }

  const keyword_index& words_;
  const bool disk_basic_;
  program program_;
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

// The line being typed: the input routine's buffer, and a zero after it.
class line_buffer {
 public:
  explicit line_buffer(bool disk_basic)
      : actions_(actions_by_basic[disk_basic ? 1 : 0]),
        plain_(plain_by_basic[disk_basic ? 1 : 0]) {}

  // Types `bytes`, handing every line that ends to `machine`.
  void type(std::span<const unsigned char> bytes, machine& into) {
    const unsigned char* next = bytes.data();
    const unsigned char* const stop = next + bytes.size();
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
          break;
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
  }

  // Ends the line typed so far, as Return does.
  void end(machine& into) {
    line_[length_] = '\0';
    into.take({line_.data(), length_}, cut_);
    length_ = 0;
    cut_ = false;
  }

 private:
  const std::array<key, 256>& actions_;
  const std::array<bool, 256>& plain_;
  std::array<char, line_buffer_size + 1> line_{};
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
