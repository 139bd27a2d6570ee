// PNG bytes from memory: any input answers null or a bitmap of a sane size whose every pixel
// can be read, whether the loader makes the bitmap or decodes into a given one. Most mutated
// inputs would stop at a checksum, so a copy whose chunk CRCs, zlib header check and image
// stream Adler-32 are made right again is decoded as well; the decoder itself still refuses
// every bad checksum.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <zlib.h>

#include "kit/raster/rast_png.h"

namespace {

uint32_t touchAll(RAST_IBitmap* bm) {
  uint32_t sum = 0;
  for (int y = 0; y < bm->getHeight(); y++)
    for (int x = 0; x < bm->getWidth(); x++) sum += bm->getBits()[(size_t)y * bm->getRowSpan() + x];
  return sum;
}

void decodeBothWays(const uint8_t* data, size_t size) {
  std::unique_ptr<RAST_IBitmap> made(RAST_LoadPNGFromMemory(data, (int)size));
  if (made) {
    if (made->getWidth() < 1 || made->getHeight() < 1 || made->getWidth() > RAST_PNG_MAX_SIDE ||
        made->getHeight() > RAST_PNG_MAX_SIDE || !made->getBits())
      abort();
    volatile uint32_t sink = touchAll(made.get());
    (void)sink;
  }
  RAST_MemBitmap given(3, 3);
  if (RAST_LoadPNGFromMemory(data, (int)size, &given) == &given) {
    volatile uint32_t sink = touchAll(&given);
    (void)sink;
  }
}

uint32_t big32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
void putBig32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (24 - 8 * i));
}

struct Chunk {
  size_t at;  // offset of the length field
  uint32_t length;
  bool image;  // IDAT
};

// The whole chunks after the signature, in order; a chunk cut short ends the list.
std::vector<Chunk> chunksOf(const std::vector<uint8_t>& png) {
  std::vector<Chunk> out;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    uint32_t length = big32(&png[at]);
    if (length > png.size() - at - 12) break;
    out.push_back({at, length, std::memcmp(&png[at + 4], "IDAT", 4) == 0});
    at += 12 + size_t(length);
  }
  return out;
}

// Makes the zlib header check and the Adler-32 of the image stream (the IDAT chunks' data run
// together) right, where the stream inflates to its end and its checksum bytes are present.
void mendImageStream(std::vector<uint8_t>& png, const std::vector<Chunk>& chunks) {
  std::vector<uint8_t*> stream;  // where each stream byte sits in png
  for (const Chunk& c : chunks)
    if (c.image)
      for (uint32_t i = 0; i < c.length; i++) stream.push_back(&png[c.at + 8 + i]);
  if (stream.size() < 2 + 4) return;
  uint8_t& cmf = *stream[0];
  uint8_t& flg = *stream[1];
  if ((cmf & 0x0F) != 8 || (flg & 0x20)) return;  // not deflate, or a preset dictionary
  flg = uint8_t((flg & 0xE0) + (31 - (cmf * 256u + (flg & 0xE0)) % 31) % 31);

  std::vector<uint8_t> in(stream.size() - 2);
  for (size_t i = 0; i < in.size(); i++) in[i] = *stream[i + 2];
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return;  // raw deflate: the checksum is ours to work out
  z.next_in = in.data();
  z.avail_in = (uInt)in.size();
  uLong adler = adler32(0, nullptr, 0);
  uint8_t out[1 << 14];
  int rc = Z_OK;
  size_t produced = 0;
  while (rc == Z_OK && produced < (64u << 20)) {
    z.next_out = out;
    z.avail_out = sizeof out;
    rc = inflate(&z, Z_NO_FLUSH);
    size_t n = sizeof out - z.avail_out;
    adler = adler32(adler, out, (uInt)n);
    produced += n;
    if (rc == Z_BUF_ERROR || (n == 0 && rc == Z_OK)) break;
  }
  const size_t end = 2 + size_t(z.total_in);
  inflateEnd(&z);
  if (rc != Z_STREAM_END || end + 4 > stream.size()) return;
  for (int i = 0; i < 4; i++) *stream[end + i] = uint8_t(adler >> (24 - 8 * i));
}

// A copy of png with its checksums made right; false when there is nothing to mend.
bool mended(const uint8_t* data, size_t size, std::vector<uint8_t>& png) {
  if (size < 8 + 12) return false;
  png.assign(data, data + size);
  std::vector<Chunk> chunks = chunksOf(png);
  mendImageStream(png, chunks);
  for (const Chunk& c : chunks)
    putBig32(&png[c.at + 8 + c.length], (uint32_t)crc32(0, &png[c.at + 4], 4 + c.length));
  return std::memcmp(png.data(), data, size) != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  decodeBothWays(data, size);
  std::vector<uint8_t> png;
  if (mended(data, size, png)) decodeBothWays(png.data(), png.size());
  return 0;
}
