// BMP parsing and writing on byte buffers.
#include "bmp.h"

#include <gtest/gtest.h>

#include "newbmp.h"
#include "run.h"
#include "support/canvas.h"
#include "support/fixtures.h"

namespace {

using fixtures::Bytes;
using stampo::BmpError;
using stampo::BmpHeader;
using stampo::PlaneCanvas;

// Checks the file and, when it can be stamped, reads all its rows.
BmpError parse(const Bytes& b, BmpHeader& header, PlaneCanvas& canvas) {
  const BmpError error = stampo::bmpcheck(b.data(), b.size(), header);
  if (error == BmpError::kNone) stampo::bmpreadrows(b.data(), header, 0, header.height - 1, canvas);
  return error;
}

TEST(BmpParse, ReadsRowsBottomUpInBlueGreenRedOrder) {
  const Bytes file = fixtures::bmp(7, 5, fixtures::pattern);
  BmpHeader header;
  PlaneCanvas canvas;
  ASSERT_EQ(parse(file, header, canvas), BmpError::kNone);
  EXPECT_EQ(header.width, 7);
  EXPECT_EQ(header.height, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x <= 7; ++x) {  // column W, the row's padding, included
      const fixtures::Rgb want = fixtures::pattern(x, y);
      EXPECT_EQ(fixtures::at(canvas, PlaneCanvas::kRed, x, y), want.r);
      EXPECT_EQ(fixtures::at(canvas, PlaneCanvas::kGreen, x, y), want.g);
      EXPECT_EQ(fixtures::at(canvas, PlaneCanvas::kBlue, x, y), want.b);
    }
  }
  EXPECT_EQ(fixtures::at(canvas, PlaneCanvas::kRed, 0, 5), 255);  // below the picture: white
}

TEST(BmpEncode, RoundTripsTheInputAndGrowsTheHeader) {
  Bytes file = fixtures::bmp(467, 300, fixtures::pattern);
  file[5] = 0x7f;   // high byte of the file size
  file[37] = 0x7e;  // high byte of the image size
  BmpHeader header;
  PlaneCanvas canvas;
  ASSERT_EQ(parse(file, header, canvas), BmpError::kNone);
  Bytes out;
  stampo::bmpencode(header, canvas, 300, out);
  EXPECT_EQ(out, file);

  stampo::bmpsetoutputsize(header);
  stampo::bmpencode(header, canvas, 340, out);
  ASSERT_EQ(out.size(), 477414u);
  Bytes want(file.begin(), file.begin() + 54);
  want[2] = 0xe6, want[3] = 0x48, want[4] = 0x07;     // 477,414; byte 5 kept
  want[22] = 0x54, want[23] = 0x01;                   // 340; bytes 24-25 kept
  want[34] = 0xb0, want[35] = 0x48, want[36] = 0x07;  // 477,360; byte 37 kept
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 54), want);
  // The old bottom row is now 40 rows up; the new bottom row is row 339.
  EXPECT_TRUE(std::equal(file.begin() + 54, file.end(), out.begin() + 54 + 40 * 3 * 468));
}

TEST(BmpParse, RefusesWhatCannotBeWrittenBackExactly) {
  const Bytes good = fixtures::bmp(3, 2, fixtures::pattern);
  struct Case {
    void (*damage)(Bytes&);
    BmpError error;
  };
  const Case cases[] = {
      {[](Bytes& b) { b[1] = 'm'; }, BmpError::kNotBmp},
      {[](Bytes& b) { b.resize(1); }, BmpError::kNotBmp},
      {[](Bytes& b) { b.resize(53); }, BmpError::kTruncated},
      {[](Bytes& b) { b[14] = 12; }, BmpError::kInfoSize},
      {[](Bytes& b) { b[17] = 1; }, BmpError::kInfoSize},
      {[](Bytes& b) { fixtures::setle32(b, 10, 58); }, BmpError::kDataOffset},
      {[](Bytes& b) { fixtures::setle32(b, 10, 1078); }, BmpError::kDataOffset},
      {[](Bytes& b) { b[28] = 8; }, BmpError::kBitCount},
      {[](Bytes& b) { b[33] = 1; }, BmpError::kCompression},
      {[](Bytes& b) { fixtures::setle32(b, 18, 0); }, BmpError::kWidth},
      {[](Bytes& b) { fixtures::setle32(b, 18, 4); }, BmpError::kWidth},
      {[](Bytes& b) { fixtures::setle32(b, 18, 0xffffffff); }, BmpError::kWidth},
      {[](Bytes& b) { fixtures::setle32(b, 22, 0x80000002); }, BmpError::kHeight},
      {[](Bytes& b) { fixtures::setle32(b, 22, 0x10002); }, BmpError::kHeight},
      {[](Bytes& b) { b.pop_back(); }, BmpError::kTruncated},
  };
  for (const Case& c : cases) {
    Bytes b = good;
    c.damage(b);
    BmpHeader header;
    PlaneCanvas canvas;
    EXPECT_EQ(parse(b, header, canvas), c.error) << stampo::bmpmessage(c.error);
  }
}

TEST(BmpParse, AcceptsTheLimits) {
  for (auto [w, h] : {std::pair{467, 340}, std::pair{3, 1}}) {
    Bytes b = fixtures::bmp(w, h, fixtures::pattern);
    BmpHeader header;
    PlaneCanvas canvas;
    EXPECT_EQ(parse(b, header, canvas), BmpError::kNone) << w << "x" << h;
  }
}

}  // namespace
