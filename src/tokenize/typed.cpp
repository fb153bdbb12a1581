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
// the possible start of a keyword; a byte that never stands in a line, such as the zero or
// the line end after its text, as the end.
enum class kind : unsigned char { copy, quote, question, keyword, end };

// The candidates per row: one per keyword.
constexpr std::size_t most_keywords = 128;

// Groups per row: the most first characters a row's keywords have, plus the empty group 0.
constexpr std::size_t most_groups = [] {
  std::size_t most = 0;
  for (std::size_t row = first_typed_version; row <= last_typed_version; ++row) {
    std::array<bool, 256> seen{};
    std::size_t count = 0;
    for (std::string_view keyword : version_table[row].keywords) {
      const auto first = static_cast<unsigned char>(keyword[0]);
      if (!seen[first]) ++count;
      seen[first] = true;
    }
    most = std::max(most, count);
  }
  return most + 1;
}();

// A row's keywords, prepared for the cruncher. A keyword can only match where the text
// starts with its first character and, spaces aside, goes on with its second. So the
// keywords are grouped by first character and, within a group, listed by second character,
// each list in token-code order: trying the one list that the text's first two characters
// name is trying the whole table in order. A list is keyed by the second character's low
// five bits (the table stays small): characters that share a key share a list, whose
// keywords the compare then tells apart. A keyword of one character is alone in its group
// and stands in every list of it.
constexpr std::size_t second_keys = 32;
constexpr unsigned second_key(unsigned c) {
  return c & 0x1F;
}

struct keyword_index {
  struct candidate {
    uint64_t word = 0;  // the characters, little-endian, the first in the lowest byte
    uint64_t mask = 0;  // 0xFF for each character
    uint8_t length = 0;
    uint8_t code = 0;
  };
  struct list {
    uint8_t begin = 0;  // indexes of its first candidate and of the one after its last
    uint8_t end = 0;
  };
  std::array<kind, 256> kinds{};
  std::array<uint8_t, 256> group{};  // per first character; 0 where no keyword begins
  std::array<std::array<list, second_keys>, most_groups> lists{};  // per group and second key
  std::array<candidate, most_keywords> candidates{};
  unsigned char rem = 0;
  unsigned char data = 0;
  unsigned char print = 0;
  unsigned char new_program = 0;
};

constexpr keyword_index index_row(std::size_t row) {
  keyword_index index;
  const keyword_list keywords = version_table[row].keywords;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const bool in_no_line = (byte < ' ' && byte != bel) || byte > seven_bits;
    index.kinds[byte] = in_no_line ? kind::end : kind::copy;
  }
  index.kinds['"'] = kind::quote;
  index.kinds['?'] = kind::question;
  std::size_t groups = 0;
  for (std::string_view keyword : keywords) {
    const auto first = static_cast<unsigned char>(keyword[0]);
    if (index.group[first] == 0) index.group[first] = static_cast<uint8_t>(++groups);
    index.kinds[first] = kind::keyword;
  }
  // Candidates ordered by group, then second character, then token code: a counting sort,
  // each list's end counting up from its beginning as its candidates are placed.
  const auto list_of = [&](std::string_view keyword) -> keyword_index::list& {
    const unsigned second =
        keyword.size() == 1 ? 0 : second_key(static_cast<unsigned char>(keyword[1]));
    return index.lists[index.group[static_cast<unsigned char>(keyword[0])]][second];
  };
  for (std::string_view keyword : keywords)
    ++list_of(keyword).end;
  std::size_t placed = 0;
  for (std::size_t g = 1; g <= groups; ++g) {
    for (keyword_index::list& list : index.lists[g]) {
      const std::size_t count = list.end;
      list.begin = list.end = static_cast<uint8_t>(placed);
      placed += count;
    }
  }
  for (std::size_t p = 0; p < keywords.size(); ++p) {
    const std::string_view keyword = keywords[p];
    const auto code = static_cast<unsigned char>(first_token + p);
    keyword_index::list& list = list_of(keyword);
    keyword_index::candidate& k = index.candidates[list.end++];
    for (std::size_t i = keyword.size(); i > 0; --i) {
      k.word = k.word << 8 | static_cast<unsigned char>(keyword[i - 1]);
      k.mask = k.mask << 8 | 0xFF;
    }
    k.length = static_cast<uint8_t>(keyword.size());
    k.code = code;
    if (keyword.size() == 1) {
      for (keyword_index::list& other :
           index.lists[index.group[static_cast<unsigned char>(keyword[0])]])
        other = list;
    }
    const auto first_of = [&](std::string_view word, unsigned char& at) {
      if (keyword == word && at == 0) at = code;
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

// Keywords are printable 7-bit text without spaces, so no byte after a line's text agrees
// with them, and at most seven characters long, so one word compares a whole keyword. A
// keyword of one character is the only one with its first character.
static_assert([] {
  for (std::size_t row = 0; row < typed_rows; ++row) {
    const keyword_index& index = indexes[row];
    if (index.rem == 0 || index.data == 0 || index.print == 0 || index.new_program == 0)
      return false;
    const keyword_list keywords = version_table[first_typed_version + row].keywords;
    if (keywords.size() > most_keywords) return false;
    for (std::string_view keyword : keywords) {
      if (keyword.empty() || keyword.size() >= sizeof(uint64_t)) return false;
      // Spaces, digits, : ; " and ? are taken before any keyword is tried.
      if (std::string_view(" 0123456789:;\"?").find(keyword[0]) != std::string_view::npos)
        return false;
      for (const char c : keyword)
        if (c <= ' ' || static_cast<unsigned char>(c) >= seven_bits) return false;
      if (keyword.size() != 1) continue;
      for (std::string_view other : keywords)
        if (other != keyword && other[0] == keyword[0]) return false;
    }
  }
  return true;
}());

// The keyword that begins at `in` (the row's first in token-code order, spaces inside it
// skipped), and the character after it; code 0 when none does.
struct match {
  unsigned char code;
  const unsigned char* after;
};

match keyword_at(const unsigned char* in, const keyword_index& words) {
  const unsigned char* second = in + 1;
  while (*second == ' ')
    ++second;
  const keyword_index::list list = words.lists[words.group[*in]][second_key(*second)];
  // One exclusive-or compares a candidate with the eight characters from `in` on: the
  // lowest non-zero byte of (text ^ keyword) & mask is the first difference. Only a space
  // there may still be skipped; then the rest is compared character by character.
  const uint64_t text = eight_bytes_at(in);
  const keyword_index::candidate* const last = words.candidates.data() + list.end;
  for (const keyword_index::candidate* k = words.candidates.data() + list.begin; k != last; ++k) {
    const uint64_t differ = (text ^ k->word) & k->mask;
    if (differ == 0) return {k->code, in + k->length};
    unsigned agreed = static_cast<unsigned>(std::countr_zero(differ)) / 8;
    const unsigned char* at = in + agreed;
    if (*at != ' ') continue;
    for (; agreed < k->length; ++agreed, ++at) {
      while (*at == ' ')
        ++at;
      if (*at != (k->word >> (8 * agreed) & 0xFF)) break;
    }
    if (agreed == k->length) return {k->code, at};
  }
  return {0, in + 1};
}

// Crunches the characters of a line from `text` to `end` into `out`, which has room for as
// many, and returns the length written; every token replaces at least one character. The
// characters are 7-bit, the byte at `end` never stands in a line (a zero, a line end), and
// the eight bytes from every character on may be read. Outside strings, REM and DATA, a
// keyword is tried at every character that is not a space, a digit, : or ; and ? is PRINT.
// While a keyword is matched, spaces in the text are skipped: they are dropped with it;
// spaces before and after it stay.
std::size_t crunch(const char* text, const char* end, const keyword_index& words,
                   unsigned char* const out) {
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  const auto* const stop = reinterpret_cast<const unsigned char*>(end);
  unsigned char* written = out;
  const auto copy_to = [&](const unsigned char* to) {
    std::memcpy(written, in, static_cast<std::size_t>(to - in));
    written += to - in;
    in = to;
  };
  // From the opening quote to the closing one, or to the end of the line.
  const auto copy_string = [&] {
    const void* closing = std::memchr(in + 1, '"', static_cast<std::size_t>(stop - in - 1));
    copy_to(closing == nullptr ? stop : static_cast<const unsigned char*>(closing) + 1);
  };
  const kind* const kinds = words.kinds.data();
  for (;;) {
    kind k;
    while ((k = kinds[*in]) == kind::copy)
      *written++ = *in++;
    if (in >= stop) break;
    if (k == kind::quote) {
      copy_string();
      continue;
    }
    if (k == kind::question) {
      *written++ = words.print;
      ++in;
      continue;
    }
    const match found = keyword_at(in, words);
    if (found.code == 0) {
      *written++ = *in++;
      continue;
    }
    *written++ = found.code;
    in = found.after;
    if (found.code == words.rem) {
      copy_to(stop);
      break;
    }
    if (found.code == words.data) {
      // The statement as typed, up to a colon outside a string.
      while (in < stop) {
        if (*in == '"') {
          copy_string();
          continue;
        }
        const unsigned char c = *in++;
        *written++ = c;
        if (c == ':') break;
      }
    }
  }
  return static_cast<std::size_t>(written - out);
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
    const std::size_t length = crunch(at, end, words_, crunched);
    program_.store(number, {reinterpret_cast<const char*>(crunched), length});
  }

  const program& held() const { return program_; }
  const not_stored& counts() const { return counts_; }

 private:
  // A direct line runs at once; of what it could do, only NEW alone concerns the program.
  void direct(const char* text, const char* end) {
    ++counts_.without_number;
    unsigned char crunched[line_buffer_size];
    const std::size_t length = crunch(text, end, words_, crunched);
    std::string_view statement(reinterpret_cast<const char*>(crunched), length);
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

int type_listing(FILE* in, FILE* out, FILE* err, int version, uint16_t load_address, bool quiet) {
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
  if (!quiet) summarize(typed.counts(), err);
  return result;
}

}  // namespace brenvik
