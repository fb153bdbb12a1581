// A disk image in the other form: flat images (the bytes the controller delivers, track after
// track) and bitstream images (the serial line, as an emulator keeps it); and blank data disks.
#pragma once

#include <vector>

#include "disk/container.h"

namespace brenvik::disk {

// The image file of the disk `file` (of geometry `shape`) in form `to`: the same tracks,
// sector for sector, byte for byte; `made` receives the new image's geometry.
std::vector<unsigned char> convert_form(const std::vector<unsigned char>& file,
                                        const geometry& shape, form to, geometry& made);

// The image file of a blank OS65D data disk: every track formatted as OS65D formats a data
// disk, the directory with every entry unused, no DOS on it.
std::vector<unsigned char> blank_disk(bool eight_inch, form kind);

}  // namespace brenvik::disk
