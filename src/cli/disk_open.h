// Opening the disk image of a -disk run: its bytes and geometry, or the message that says why
// it is no disk image; shared by the runs that list, change and check disks.
#pragma once

#include <memory>
#include <optional>

#include "cli/run.h"
#include "disk/container.h"
#include "disk/volume.h"
#include "image_bytes.h"

namespace brenvik {

// Identifies the disk image `bytes` of the run; its geometry, or nothing after a message.
std::optional<disk::geometry> identify_disk(const run_context& run, image_bytes& bytes);

// Opens the disk image of the run and identifies it (`shape`); null after a message.
std::unique_ptr<image_bytes> open_disk(const run_context& run,
                                       std::optional<disk::geometry>& shape);

// Says why the disk holds no directory this reader knows.
void report_no_directory(const run_context& run, const disk::problem& why);

}  // namespace brenvik
