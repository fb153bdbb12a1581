// Writes the sample program to standard output, for whole-process measurements.
// Usage: make_listing [text bytes, default 52000]
#include <cstdio>
#include <cstdlib>

#include "sample_program.h"

int main(int argc, char** argv) {
  const std::size_t bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 52000;
  const std::string listing = brenvik::bench::sample_listing(bytes);
  return std::fwrite(listing.data(), 1, listing.size(), stdout) == listing.size() ? 0 : 1;
}
