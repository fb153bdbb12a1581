// The version catalogue: the seven BASIC versions of the OSI machines, each with the
// keyword list that maps token codes to keywords and the load address of its program area.
//
// A version is identified everywhere by its row index 0-6 in `version_table`; -1 means
// that no version was chosen. The table is constant data, usable at compile time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

namespace brenvik {

// A version's keywords in token-code order: entry p has token code 0x80 + p.
using keyword_list = std::span<const std::string_view>;

struct version_entry {
  keyword_list keywords;
  int keyword_count;      // token codes 0x80 .. 0x80 + keyword_count - 1 are defined
  uint16_t load_address;  // address of the image's lead byte in the machine's memory
  int listed_number;      // the number the versions list prints for this row
  const char* name;       // display name
};

inline constexpr int version_count = 7;
inline constexpr int no_version = -1;
inline constexpr unsigned first_token = 0x80;

// True for a row index of `version_table` (0-6).
constexpr bool is_version(int row) {
  return row >= 0 && row < version_count;
}

namespace keyword_lists {

template <std::size_t n>
using words = std::array<std::string_view, n>;

struct change {
  unsigned code;
  std::string_view text;
};

// `list` with the keywords at the given token codes replaced.
template <std::size_t n, std::size_t m>
constexpr words<n> replaced(words<n> list, const std::array<change, m>& changes) {
  for (const change& c : changes)
    list[c.code - first_token] = c.text;
  return list;
}

// `list` with `extra` inserted so that its first word gets token code `code`.
template <std::size_t n, std::size_t m>
constexpr words<n + m> inserted(const words<n>& list, unsigned code, const words<m>& extra) {
  const std::size_t at = code - first_token;
  words<n + m> result{};
  for (std::size_t i = 0; i < n; ++i)
    result[i < at ? i : i + m] = list[i];
  for (std::size_t j = 0; j < m; ++j)
    result[at + j] = extra[j];
  return result;
}

// `list` without the keyword at token code `code`; the later keywords move down by one.
template <std::size_t n>
constexpr words<n - 1> erased(const words<n>& list, unsigned code) {
  const std::size_t at = code - first_token;
  words<n - 1> result{};
  for (std::size_t i = 0; i + 1 < n; ++i)
    result[i] = list[i < at ? i : i + 1];
  return result;
}

// The ROM BASIC's list; the disk BASICs differ from it at a few codes.
inline constexpr words<68> list_a = {
    "END",  "FOR",     "NEXT",  "DATA",   "INPUT", "DIM",   "READ",   "LET",  "GOTO", "RUN",
    "IF",   "RESTORE", "GOSUB", "RETURN", "REM",   "STOP",  "ON",     "NULL", "WAIT", "LOAD",
    "SAVE", "DEF",     "POKE",  "PRINT",  "CONT",  "LIST",  "CLEAR",  "NEW",  "TAB(", "TO",
    "FN",   "SPC(",    "THEN",  "NOT",    "STEP",  "+",     "-",      "*",    "/",    "^",
    "AND",  "OR",      ">",     "=",      "<",     "SGN",   "INT",    "ABS",  "USR",  "FRE",
    "POS",  "SQR",     "RND",   "LOG",    "EXP",   "COS",   "SIN",    "TAN",  "ATN",  "PEEK",
    "LEN",  "STR$",    "VAL",   "ASC",    "CHR$",  "LEFT$", "RIGHT$", "MID$"};

inline constexpr auto list_b =
    replaced(list_a, std::array{change{0x92, "PLOT"}, change{0x93, "EXIT"}, change{0x94, "DISK"}});

inline constexpr auto list_c =
    replaced(list_a, std::array{change{0x91, "EDIT"}, change{0x92, "TRAP"}, change{0x93, "EXIT"},
                                change{0x94, "DISK"}, change{0xBA, "xxx"}});

inline constexpr auto list_d =
    replaced(list_a, std::array{change{0x93, "EXIT"}, change{0x94, "DISK"}});

// OS65U adds its file words after CLEAR and INDEX before LEFT$.
inline constexpr auto list_e = inserted(inserted(list_a, 0xC1, words<1>{"INDEX"}), 0x9B,
                                        words<6>{"INDEX<", "OPEN", "CLOSE", "FIND", "DEV", "FLAG"});

inline constexpr auto list_f = erased(list_e, 0x9B);

}  // namespace keyword_lists

// The rows in detection order. Rows 1 and 2 share a load address, as do rows 5 and 6; rows 3
// and 4 share their keyword list. Every row lists under its own index, the number that -w
// and -k take.
inline constexpr std::array<version_entry, version_count> version_table = {{
    {keyword_lists::list_a, 68, 0x0300, 0, "OSI BASIC In ROM (C1/C2/C4)"},
    {keyword_lists::list_b, 68, 0x3A7E, 1, "OSI OS65D v3.2 Plot BASIC 5.25\" disk"},
    {keyword_lists::list_c, 68, 0x3A7E, 2, "OSI OS65D v3.3 BASIC 5.25\" disk"},
    {keyword_lists::list_d, 68, 0x327E, 3, "OSI OS65D v3.1 BASIC 5.25\" disk"},
    {keyword_lists::list_d, 68, 0x317E, 4, "OSI OS65D V3.2 BASIC 8\" disk"},
    {keyword_lists::list_e, 75, 0x6000, 5, "OSI OS65U V1.42 Hard disk BASIC"},
    {keyword_lists::list_f, 74, 0x6000, 6, "OSI OS65U V1.44 BASIC 8\" disk"},
}};

static_assert([] {
  for (int row = 0; row < version_count; ++row) {
    const version_entry& entry = version_table[static_cast<std::size_t>(row)];
    if (entry.keyword_count != static_cast<int>(entry.keywords.size())) return false;
    if (entry.listed_number != row) return false;
  }
  return true;
}());

// The first row whose load address is `address`, or -1 when no row's is.
constexpr int first_row_at(unsigned address) {
  for (int row = 0; row < version_count; ++row)
    if (version_table[static_cast<std::size_t>(row)].load_address == address) return row;
  return no_version;
}

// The load address of `row`'s program area; row 0's when no version is chosen (-1).
constexpr uint16_t own_load_address(int row) {
  return version_table[static_cast<std::size_t>(is_version(row) ? row : 0)].load_address;
}

// The text of keyword `position` of `row`. Requires is_version(row) and
// 0 <= position < version_table[row].keyword_count.
constexpr std::string_view keyword_text(int row, int position) {
  return version_table[static_cast<std::size_t>(row)].keywords[static_cast<std::size_t>(position)];
}

// Writes the versions list (header, one line per row in index order, blank line) to `err`.
void list_versions(FILE* err);

// Writes the keyword list of `row` to `out`; for a row outside 0-6 writes the versions
// list to `err` instead.
void list_keywords(int row, FILE* out, FILE* err);

}  // namespace brenvik
