#include "cli/disk_open.h"

#include "cli/disk_words.h"
#include "messages.h"

namespace brenvik {

std::optional<disk::geometry> identify_disk(const run_context& run, image_bytes& bytes) {
  disk::geometry shape;
  disk::container_problem problem;
  if (disk::identify(bytes, shape, problem)) return shape;
  report_container_problem(run.err, run.program(), run.options.disk_name->c_str(), problem);
  return std::nullopt;
}

std::unique_ptr<image_bytes> open_disk(const run_context& run,
                                       std::optional<disk::geometry>& shape) {
  auto bytes = open_image_file(*run.options.disk_name);
  if (!bytes) {
    report(run.err, message::cant_open_input, run.program(), run.options.disk_name->c_str());
    return nullptr;
  }
  shape = identify_disk(run, *bytes);
  return shape ? std::move(bytes) : nullptr;
}

void report_no_directory(const run_context& run, const disk::problem& why) {
  report(run.err, message::no_directory, run.program(), run.options.disk_name->c_str(),
         describe(why).c_str());
}

}  // namespace brenvik
