#include "cli/disk_open.h"

#include "cli/disk_words.h"
#include "cli/input_hints.h"
#include "cli/open_words.h"
#include "messages.h"

namespace brenvik {

std::optional<disk::geometry> identify_disk(const run_context& run, image_bytes& bytes) {
  const char* name = run.options.disk_name->c_str();
  disk::geometry shape;
  disk::container_problem problem;
  if (disk::identify(bytes, shape, problem)) return shape;
  report_container_problem(run.err, run.program(), name, problem);
  if (problem.kind == disk::container_problem::wrong_size) {
    switch (what_it_looks_like(bytes)) {
      case looks_like::listing:
        report(run.err, message::disk_looks_like_text, name, name);
        break;
      case looks_like::program_image:
        report(run.err, message::disk_looks_like_image, name, name);
        break;
      default:
        break;
    }
  }
  return std::nullopt;
}

std::unique_ptr<image_bytes> open_disk(const run_context& run,
                                       std::optional<disk::geometry>& shape) {
  int error = 0;
  auto bytes = open_image(*run.options.disk_name, disk::most_image_size(), error);
  if (!bytes) {
    report(run.err, message::cant_open_disk, run.program(), run.options.disk_name->c_str(),
           reason_for(error).c_str());
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
