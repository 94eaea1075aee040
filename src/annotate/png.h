#pragma once
// The stamped picture as a PNG, for places that take no BMP.
//
// A PNG file is the 8-byte signature, then chunks: each a 4-byte
// big-endian length, a 4-byte type, the data, and a CRC-32 of type and
// data. Ours has three:
//   IHDR  width, height (4 bytes each), bit depth 8, colour type 2 (RGB),
//         compression 0, filter method 0, interlace 0;
//   IDAT  the zlib stream of the rows, top row first, each a filter byte
//         and then red, green, blue for every pixel;
//   IEND  empty.
// The deflate stream and the CRC come from zlib.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct z_stream_s;

namespace stampo {

// Encodes pictures one after another, keeping zlib's state and its
// buffers from one to the next (a batch pays for them once).
class PngEncoder {
 public:
  PngEncoder();
  ~PngEncoder();
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // Encodes a 24-bit BMP that bmpcheck() accepts (as stamppicture() makes
  // it) as a PNG of the same W x H pixels into `out`; the BMP's extra pad
  // pixel per row is not part of the picture. Returns false if the BMP is
  // not one, or zlib fails (out of memory), with `out` then empty.
  bool encode(const std::uint8_t* bmp, std::size_t size, std::vector<std::uint8_t>& out);

 private:
  std::unique_ptr<z_stream_s> z_;
  bool ready_ = false;
  std::vector<std::uint8_t> line_;  // one filtered row, its filter byte first
  std::vector<std::uint8_t> idat_;  // the deflate stream; keeps its size
};

}  // namespace stampo
