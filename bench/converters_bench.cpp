// In-process throughput of the two converters on a large program, every version, from
// and to memory streams.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "image/decoder.h"
#include "sample_program.h"
#include "tokenize/tokenizer.h"

namespace {

uint16_t load_address(int version) {
  return brenvik::version_table[static_cast<std::size_t>(version)].load_address;
}

// About 40 KB of image for every version.
const std::string listing = brenvik::bench::sample_listing(52000);

// Runs `convert` from `input` into a fixed memory buffer and returns the bytes written.
template <typename Convert>
std::size_t run(const std::string& input, std::vector<char>& output, Convert convert) {
  FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "rb");
  FILE* out = fmemopen(output.data(), output.size(), "wb");
  convert(in, out);
  const long written = std::ftell(out);
  std::fclose(in);
  std::fclose(out);
  return static_cast<std::size_t>(written);
}

std::string image_of(int version) {
  std::vector<char> buffer(listing.size() + 16);
  const std::size_t size = run(listing, buffer, [&](FILE* in, FILE* out) {
    brenvik::tokenize_text(in, out, stderr, version, load_address(version));
  });
  return std::string(buffer.data(), size);
}

void decode_image(benchmark::State& state) {
  const int version = static_cast<int>(state.range(0));
  const std::string image = image_of(version);
  std::vector<char> buffer(listing.size() * 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(run(image, buffer, [&](FILE* in, FILE* out) {
      brenvik::decode_image(in, out, stderr, {.version = version});
    }));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(image.size()));
}

void tokenize_text(benchmark::State& state) {
  const int version = static_cast<int>(state.range(0));
  std::vector<char> buffer(listing.size() + 16);
  for (auto _ : state) {
    benchmark::DoNotOptimize(run(listing, buffer, [&](FILE* in, FILE* out) {
      brenvik::tokenize_text(in, out, stderr, version, load_address(version));
    }));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(listing.size()));
}

}  // namespace

BENCHMARK(decode_image)->DenseRange(0, brenvik::version_count - 1);
BENCHMARK(tokenize_text)->DenseRange(0, brenvik::version_count - 1);
BENCHMARK_MAIN();
