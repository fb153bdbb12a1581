#include "tokenize/crunch.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "catalogue/catalogue.h"
#include "tokenize/typed.h"

namespace brenvik {

namespace {

constexpr std::size_t typed_rows = last_typed_version - first_typed_version + 1;

constexpr unsigned char bel = 0x07;
constexpr unsigned char seven_bits = 0x7F;

}  // namespace

// A row's rules for the cruncher: how it takes each character, and the token codes it
// treats apart.
struct crunch_table {
  // How the cruncher takes a character: as it is, as the start of a string, as PRINT, or as
  // the possible start of a keyword; a byte that never stands in a line, such as the zero or
  // the line end after its text, as the end.
  enum class kind : unsigned char { copy, quote, question, keyword, end };

  std::array<kind, 256> kinds{};
  unsigned char rem = 0;
  unsigned char data = 0;
  unsigned char print = 0;
  unsigned char new_program = 0;
};

namespace {

using kind = crunch_table::kind;

constexpr crunch_table crunch_table_of(std::size_t row) {
  crunch_table table;
  const keyword_list keywords = version_table[row].keywords;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const bool in_no_line = (byte < ' ' && byte != bel) || byte > seven_bits;
    table.kinds[byte] = in_no_line ? kind::end : kind::copy;
  }
  table.kinds['"'] = kind::quote;
  table.kinds['?'] = kind::question;
  for (std::size_t p = 0; p < keywords.size(); ++p) {
    const std::string_view keyword = keywords[p];
    table.kinds[static_cast<unsigned char>(keyword[0])] = kind::keyword;
    const auto first_of = [&](std::string_view word, unsigned char& at) {
      if (keyword == word && at == 0) at = static_cast<unsigned char>(first_token + p);
    };
    first_of("REM", table.rem);
    first_of("DATA", table.data);
    first_of("PRINT", table.print);
    first_of("NEW", table.new_program);
  }
  return table;
}

constexpr std::array<crunch_table, typed_rows> crunch_tables = [] {
  std::array<crunch_table, typed_rows> all{};
  for (std::size_t row = 0; row < typed_rows; ++row)
    all[row] = crunch_table_of(first_typed_version + row);
  return all;
}();

// Keywords are printable 7-bit text without spaces, so no byte after a line's text agrees
// with them, and none begins with a character the cruncher takes before trying keywords.
static_assert([] {
  for (std::size_t row = 0; row < typed_rows; ++row) {
    const crunch_table& table = crunch_tables[row];
    if (table.rem == 0 || table.data == 0 || table.print == 0 || table.new_program == 0)
      return false;
    for (std::string_view keyword : version_table[first_typed_version + row].keywords) {
      if (keyword.empty()) return false;
      // Spaces, digits, : ; " and ? are taken before any keyword is tried.
      if (std::string_view(" 0123456789:;\"?").find(keyword[0]) != std::string_view::npos)
        return false;
      for (const char c : keyword)
        if (c <= ' ' || static_cast<unsigned char>(c) >= seven_bits) return false;
    }
  }
  return true;
}());

}  // namespace

cruncher::cruncher(int version)
    : table_(&crunch_tables[static_cast<std::size_t>(version - first_typed_version)]),
      keywords_(version) {}

unsigned char cruncher::new_program() const {
  return table_->new_program;
}

std::size_t cruncher::crunch(const char* text, const char* end, unsigned char* const out) const {
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
  const crunch_table& words = *table_;
  // A local: the compiler cannot know that writing characters leaves the index alone.
  const keyword_index keywords = keywords_;
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
    const keyword_index::found found = keywords.match<keyword_case::exact, keyword_blanks::skipped>(
        reinterpret_cast<const char*>(in));
    if (found.code == 0) {
      *written++ = *in++;
      continue;
    }
    *written++ = static_cast<unsigned char>(found.code);
    in += found.length;
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

}  // namespace brenvik
