#include "catalogue/catalogue.h"

#include "messages.h"

namespace brenvik {

namespace {
// The name and version number that the versions list states for the tool itself.
constexpr const char* tool_name = "Brenvik";
constexpr double tool_version = 1.0;
}  // namespace

void list_versions(FILE* err) {
  report(err, message::versions_header, tool_name, tool_version);
  for (const version_entry& row : version_table) {
    report(err, message::versions_row, row.listed_number,
           static_cast<unsigned long>(row.load_address), row.name);
  }
  report(err, message::versions_end);
}

void list_keywords(int row, FILE* out, FILE* err) {
  if (!is_version(row)) {
    list_versions(err);
    return;
  }
  const version_entry& entry = version_table[static_cast<std::size_t>(row)];
  std::fprintf(out, "\r\n  Available Keywords on %s\r\n", entry.name);
  for (std::string_view keyword : entry.keywords) {
    std::fwrite(keyword.data(), 1, keyword.size(), out);
    std::fputc('\t', out);
  }
  std::fputs("\r\n", out);
}

}  // namespace brenvik
