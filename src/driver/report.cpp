#include "report.h"

#include <cstring>
#include <string_view>

#include "decimal.h"
#include "file.h"
#include "modes.h"

namespace stampo {
namespace {

constexpr std::size_t kBlock = 1 << 16;
constexpr std::size_t kValueStart = 18;

// Lines after the marker that carry the figures.
constexpr int kAverageLine = 1;
constexpr int kMaximumLine = 2;
constexpr int kTotalLine = 3;
constexpr int kPofLine = 10;

// The first bytes of the picture files a user may drop by mistake instead
// of the report beside them: BMP, PNG, JPEG, GIF, TIFF (both byte orders).
// (PNG's signature goes on after a line feed, where a line read ends.)
constexpr std::string_view kPictureSignatures[] = {
    {"BM", 2}, {"\x89PNG\r\n", 6}, {"\xFF\xD8\xFF", 3}, {"GIF8", 4},
    {"II*\0", 4}, {"MM\0*", 4}};

bool ispicture(const std::uint8_t* line, std::size_t length) {
  for (const std::string_view signature : kPictureSignatures)
    if (length >= signature.size() && std::memcmp(line, signature.data(), signature.size()) == 0)
      return true;
  return false;
}

bool startswith(const std::uint8_t* line, std::size_t length, const char* marker) {
  return length >= kMarkerLength && std::memcmp(line, marker, kMarkerLength) == 0;
}

// Whether a figure line is where the file was cut: it ends without a line
// feed (a shorter read than the reader's most comes only at the end of the
// file) and no '<' closes its value, so the figure may be missing digits.
bool cutinvalue(const std::uint8_t* line, std::size_t length) {
  if (length >= ReportLines::kMaxRead || line[length - 1] == '\n') return false;
  for (std::size_t i = kValueStart; i < length; ++i)
    if (line[i] == '<' || line[i] == '\0') return false;
  return true;
}

}  // namespace

ReportLines::ReportLines(Source source)
    : source_(std::move(source)), buffer_(new std::uint8_t[kBlock]) {
  data_ = buffer_.get();
}

ReportLines::ReportLines(const std::uint8_t* data, std::size_t size) : data_(data), end_(size) {}

void ReportLines::refill() {
  std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  while (end_ < kBlock) {
    std::size_t got = 0;
    error_ = source_(buffer_.get() + end_, kBlock - end_, got);
    end_ += got;
    if (got == 0) {
      source_ = nullptr;  // at the end, or failed: nothing more to fetch
      break;
    }
  }
}

bool ReportLines::next(const std::uint8_t*& line, std::size_t& length) {
  if (source_ && end_ - begin_ <= kMaxRead) refill();
  if (!error_.ok() || begin_ == end_) return false;
  const std::size_t available = end_ - begin_ < kMaxRead ? end_ - begin_ : kMaxRead;
  line = data_ + begin_;
  const void* feed = std::memchr(line, '\n', available);
  length =
      feed != nullptr ? std::size_t(static_cast<const std::uint8_t*>(feed) - line) + 1 : available;
  begin_ += length;
  return true;
}

std::string valuetext(const std::uint8_t* line, std::size_t length) {
  std::string text;
  for (std::size_t i = kValueStart; i < length && line[i] != '<' && line[i] != '\0'; ++i)
    text.push_back(char(line[i]));
  return text;
}

namespace {

ReportScan readfigures(ReportLines& lines) {
  ReportScan scan;
  const std::uint8_t* line = nullptr;
  std::size_t length = 0;
  for (bool first = true;; first = false) {
    if (!lines.next(line, length)) return scan;
    if (first) scan.picture = ispicture(line, length);
    for (const ModeRow& row : kModes)
      if (startswith(line, length, row.marker)) scan.summary.mode = row.mode;
    if (scan.summary.mode != kModeNone) break;
  }
  scan.status = ReportScan::kTruncated;
  ScanSummary& s = scan.summary;
  for (int n = 1; n <= kPofLine; ++n) {
    if (!lines.next(line, length)) return scan;
    if (n > kTotalLine && n < kPofLine) continue;  // lines 4 to 9 carry nothing we need
    if (cutinvalue(line, length)) return scan;     // the figure may be missing digits
    const std::string value = valuetext(line, length);
    switch (n) {
      case kAverageLine: s.average = tofloat(parsereal(value)); break;
      case kMaximumLine: s.maximum = parseint(value); break;
      case kTotalLine: s.total = parseint(value); break;
      default: s.pof = parseint(value); break;
    }
    ++scan.figures;
  }
  scan.status = ReportScan::kComplete;
  return scan;
}

}  // namespace

namespace {

// Where ".html" starts in a name, at `from` or after, or npos.
std::size_t findhtml(const std::string& path, std::size_t from) {
  return foldcase(path).find(".html", from);
}

}  // namespace

std::string picturepath(const std::string& report) {
  const std::size_t at = findhtml(report, namestart(report));
  return at == std::string::npos ? report : report.substr(0, at) + ".bmp";
}

std::string pngpath(const std::string& picture) {
  const std::size_t dot = picture.rfind('.');
  const bool bmp = dot != std::string::npos && dot >= namestart(picture) &&
                   picture.compare(dot, std::string::npos, ".bmp") == 0;
  return (bmp ? picture.substr(0, dot) : picture) + ".png";
}

bool isreportname(const std::string& name) {
  return name.size() > 5 && findhtml(name, name.size() - 5) != std::string::npos;
}

ReportScan scanreport(ReportLines& lines) {
  ReportScan scan = readfigures(lines);
  if (!lines.error().ok()) scan.status = ReportScan::kUnreadable;
  return scan;
}

}  // namespace stampo
