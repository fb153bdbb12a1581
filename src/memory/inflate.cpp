#include "memory/inflate.h"

#include <zlib.h>

#include <climits>

namespace brenvik::memory {

inflated inflate_stream(std::span<const unsigned char> compressed, std::size_t most,
                        std::vector<unsigned char>& into) {
  into.clear();
  if (compressed.size() > UINT_MAX) return inflated::damaged;
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return inflated::damaged;
  // zlib's interface takes non-const input; it does not write there.
  stream.next_in = const_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  constexpr std::size_t piece = std::size_t{64} * 1024;
  int status = Z_OK;
  while (status == Z_OK) {
    const std::size_t at = into.size();
    if (at > most) break;
    into.resize(at + piece);
    stream.next_out = into.data() + at;
    stream.avail_out = static_cast<uInt>(piece);
    status = inflate(&stream, Z_NO_FLUSH);
    into.resize(at + piece - stream.avail_out);
    if (status == Z_BUF_ERROR && stream.avail_in == 0) break;  // cut short
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END) return into.size() > most ? inflated::too_long : inflated::damaged;
  return into.size() > most ? inflated::too_long : inflated::done;
}

}  // namespace brenvik::memory
