// Converts a disk image to the other form and writes the new image: the whole process of a
// conversion, for timing against cat until the command line runs it.
// Usage: convert_disk DISK NEW
#include <cstdio>
#include <vector>

#include "disk/container.h"
#include "disk/form_conversion.h"
#include "image_bytes.h"

int main(int argc, char** argv) {
  using namespace brenvik;
  if (argc != 3) return 2;
  const auto image = open_image_file(argv[1]);
  disk::geometry shape;
  disk::container_problem problem;
  if (!image || !disk::identify(*image, shape, problem)) return 1;
  std::vector<unsigned char> file;
  std::vector<disk::cut_track> cut;
  const disk::form other =
      shape.kind == disk::form::flat ? disk::form::bitstream : disk::form::flat;
  if (disk::convert_form(*image, shape, other, file, cut).kind != disk::conversion_problem::none)
    return 1;
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) return 1;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written ? 0 : 1;
}
