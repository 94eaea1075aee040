// In-memory costs of one 467 x 300 picture and of one report, each beside
// the floor of moving the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bmp.h"
#include "canvas.h"
#include "newbmp.h"
#include "digitfont.h"
#include "labels.h"
#include "png.h"
#include "report.h"
#include "stamp.h"
#include "table.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const stampo::ScanSummary kSummary = {3.01f, 12, 2912355, 0, stampo::kModePie};

// The sample-sized graph: 467 x 300, every byte different from its
// neighbours so nothing compresses into a special case.
Bytes graph() {
  stampo::PlaneCanvas canvas;
  for (int x = 0; x < stampo::PlaneCanvas::kColumns; ++x)
    for (int y = 0; y < 300; ++y) canvas.set(x, y, std::uint8_t(x * 7 + y * 13));
  Bytes out;
  stampo::bmpencode(stampo::bmpnewheader(467, 300), canvas, 300, out);
  return out;
}

// A report of a few hundred lines with the marker near the end.
std::string report() {
  std::string r = "<html>\n<body>\n<table>\n";
  for (int i = 0; i < 400; ++i)
    r += "<tr><td width=\"86\">Zone " + std::to_string(i) + "</td><td>" + std::to_string(i * 37) +
         "</td></tr>\n";
  r += "<tr>\n<td width=\"86\">PIE</td>\n";
  for (int i = 1; i <= 10; ++i) r += "<td align=\"right\">" + std::to_string(i * 3) + "</td>\n";
  return r + "</tr>\n</table>\n</body>\n</html>\n";
}

// PNG encoding of a stamped picture: argument 0 the bundled sample (a
// scan graph as scanners draw them), 1 the noisy graph above.
void BM_PngEncode(benchmark::State& state) {
  Bytes in;
  if (state.range(0) == 0) {
    std::FILE* f = std::fopen(STAMPO_SAMPLE_DIR "/disc.bmp", "rb");
    in.resize(1 << 20);
    in.resize(f != nullptr ? std::fread(in.data(), 1, in.size(), f) : 0);
    if (f != nullptr) std::fclose(f);
  } else {
    in = graph();
  }
  stampo::PlaneCanvas canvas;
  Bytes stamped, png;
  stampo::PngEncoder encoder;
  if (stampo::stamppicture(in.data(), in.size(), kSummary, canvas, stamped) !=
      stampo::BmpError::kNone) {
    state.SkipWithError("no picture");
    return;
  }
  for (auto _ : state) {
    encoder.encode(stamped.data(), stamped.size(), png);
    benchmark::DoNotOptimize(png.data());
  }
  state.counters["png_bytes"] = double(png.size());
  state.counters["bmp_bytes"] = double(stamped.size());
}
BENCHMARK(BM_PngEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_MemcpyOutput(benchmark::State& state) {
  const Bytes in(477414, 1);
  Bytes out(in.size());
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations() * in.size()));
}
BENCHMARK(BM_MemcpyOutput);

void BM_Draw(benchmark::State& state) {
  stampo::PlaneCanvas canvas;
  for (auto _ : state) {
    stampo::DigitFont font;
    stampo::mkfont(font);
    canvas.fill(0, 467, 300, 339, 255);
    stampo::drawgrid(canvas);
    stampo::putlabels(canvas, kSummary.mode);
    stampo::drawfigures(canvas, font, kSummary);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Draw);

void BM_StampPicture(benchmark::State& state) {  // check, copy the graph, draw the band
  const Bytes in = graph();
  stampo::PlaneCanvas canvas;
  Bytes out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(stampo::stamppicture(in.data(), in.size(), kSummary, canvas, out));
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_StampPicture);

// The report from a file: the scan beside a plain read of its bytes.
class ReportFile : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    text_ = report();
    file_ = std::tmpfile();
    std::fwrite(text_.data(), 1, text_.size(), file_);
  }
  void TearDown(const benchmark::State&) override { std::fclose(file_); }

 protected:
  std::string text_;
  std::FILE* file_ = nullptr;
};

BENCHMARK_F(ReportFile, BM_ReadReport)(benchmark::State& state) {
  std::vector<char> buffer(text_.size() + 1);
  for (auto _ : state) {
    std::rewind(file_);
    benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), file_));
  }
}

BENCHMARK_F(ReportFile, BM_ScanReport)(benchmark::State& state) {
  for (auto _ : state) {
    std::rewind(file_);
    stampo::ReportLines lines([this](std::uint8_t* data, std::size_t size, std::size_t& got) {
      got = std::fread(data, 1, size, file_);
      return stampo::Failure();
    });
    benchmark::DoNotOptimize(stampo::scanreport(lines));
  }
}

}  // namespace

BENCHMARK_MAIN();
