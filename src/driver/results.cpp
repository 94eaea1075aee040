#include "results.h"

#include <cstdint>
#include <unordered_map>

#include "decimal.h"
#include "modes.h"
#include "report.h"

namespace stampo {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kHeader[] = "report,picture,mode,average,maximum,total,POF";

// The table's rows as they stand in the file: each its bytes, line end
// included (one is added where the last row has none), and its key.
struct Parsed {
  bool ours = false;
  std::vector<std::pair<std::string, std::string>> rows;  // key, bytes
};

// Splits the file into rows (a line break inside quotes is part of its
// field) and checks the header. An empty file, or one with only the
// byte-order mark, is an empty table.
Parsed parse(const std::vector<std::uint8_t>& data) {
  Parsed table;
  std::string text(data.begin(), data.end());
  std::size_t at = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  if (at == text.size()) return table.ours = true, table;
  const std::size_t header = sizeof kHeader - 1;
  if (text.compare(at, header, kHeader) != 0) return table;
  at += header;
  if (at < text.size() && text[at] == '\r') ++at;
  if (at < text.size() && text[at] != '\n') return table;  // more on the header's line
  if (at < text.size()) ++at;
  table.ours = true;
  while (at < text.size()) {
    const std::size_t start = at;
    std::string key;
    bool quoted = false, first = true;
    for (; at < text.size(); ++at) {
      const char c = text[at];
      if (quoted) {
        if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
          if (first) key += '"';
          ++at;
        } else if (c == '"') {
          quoted = false;
        } else if (first) {
          key += c;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        first = false;
      } else if (c == '\n') {
        break;
      } else if (first && c != '\r') {
        key += c;
      }
    }
    std::string bytes = text.substr(start, at - start);
    if (at < text.size()) {
      bytes += '\n';
      ++at;
    } else {
      bytes += "\r\n";  // cut short by an earlier program: ends here
    }
    table.rows.emplace_back(rowkey(key), std::move(bytes));
  }
  return table;
}

// Opens and locks the table, and reads it.
Failure readtable(const std::string& path, LockedFile& table, std::vector<std::uint8_t>& data) {
  Failure f = table.open(path, Role::kTable);
  if (f.ok()) f = table.readall(data, std::size_t(1) << 30);
  return f;
}

}  // namespace

std::string rowkey(const std::string& report) {
  // The path's parts, "." and empty ones left out, joined by "/".
  std::string key, part;
  const bool absolute = !report.empty() && (report[0] == '/' || report[0] == '\\');
  const auto flush = [&] {
    if (!part.empty() && part != ".") key += (key.empty() && !absolute ? "" : "/") + part;
    part.clear();
  };
  for (const char c : report) {
    if (c == '/' || (c == '\\' && kNamesIgnoreCase))
      flush();
    else
      part += c;
  }
  flush();
  return foldcase(key);
}

std::string csvfield(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

Failure ResultsTable::open(const std::string& path) {
  path_ = path;
  Place place;
  Failure f = lookat(path, Role::kTable, place);
  if (!f.ok()) return f;
  if (place.kind == Place::kFolder || place.kind == Place::kOther)
    return notafile(Step::kOpen, path, Role::kTable);
  Folder folder;
  if (place.kind == Place::kNothing) {
    f = folder.open(path, Role::kFolder);
    if (f.ok()) f = folder.mayreplace(path, place, false, path, Role::kTable);
    key_ = folder.keyof(path, place);
    return f;
  }
  // One of ours, and one we may replace where it really lives.
  LockedFile table;
  std::vector<std::uint8_t> data;
  f = readtable(path, table, data);
  if (!f.ok()) return f;
  if (!parse(data).ours) return refusal(Problem::kNotOurTable, path, Role::kTable);
  f = folder.open(table.target(), Role::kFolder);
  if (f.ok()) f = folder.mayreplace(table.target(), table.place(), true, path, Role::kTable);
  key_ = table.key();
  const Failure closed = table.close();
  return f.ok() ? closed : f;
}

void ResultsTable::put(const std::string& report, const std::string& picture,
                       const ScanSummary& s) {
  rows_.push_back({rowkey(report), csvfield(report) + "," + csvfield(picture) + "," +
                                       moderow(s.mode)->name + "," + fixed2(s.average) + "," +
                                       std::to_string(s.maximum) + "," + std::to_string(s.total) +
                                       "," + std::to_string(s.pof) + "\r\n"});
}

Failure ResultsTable::write() {
  if (rows_.empty()) return {};
  // The table as it is now (another program may have added rows since
  // the run began), locked while it is replaced.
  Place place;
  Failure f = lookat(path_, Role::kTable, place);
  if (!f.ok()) return f;
  LockedFile table;
  std::vector<std::uint8_t> data;
  const bool exists = place.kind != Place::kNothing;
  if (exists) f = readtable(path_, table, data);
  if (!f.ok()) return f;
  const Parsed parsed = parse(data);
  if (!parsed.ours) return refusal(Problem::kTableChanged, path_, Role::kTable);

  // This run's rows by key: the last of a report given twice wins, in
  // the place of the first. A row once written is marked so.
  constexpr std::size_t kWritten = std::size_t(-1);
  std::unordered_map<std::string, std::size_t> latest;
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const auto [at, added] = latest.emplace(rows_[i].key, i);
    if (added)
      order.push_back(i);
    else
      at->second = i;
  }
  std::string out = std::string(kByteOrderMark) + kHeader + "\r\n";
  const auto writemine = [&](std::size_t& at) {
    if (at != kWritten) out += rows_[at].bytes;
    at = kWritten;  // a later row of the same report: dropped, one row a report
  };
  for (const auto& [key, bytes] : parsed.rows) {
    const auto mine = latest.find(key);
    if (mine == latest.end())
      out += bytes;
    else
      writemine(mine->second);
  }
  for (const std::size_t i : order) writemine(latest[rows_[i].key]);

  const std::string target = exists ? table.target() : path_;
  Folder folder;
  Replacement replaced;
  f = folder.open(target, Role::kFolder);
  if (f.ok()) f = Replacement::clearleftover(target, Role::kTable);
  if (f.ok()) f = replaced.begin(target, path_, Role::kTable, exists ? &table.rules() : nullptr);
  if (f.ok())
    f = replaced.write(reinterpret_cast<const std::uint8_t*>(out.data()), out.size());
  if (f.ok()) f = replaced.finish();
  if (f.ok()) f = table.letgo();
  if (f.ok()) f = replaced.commit();
  if (!f.ok()) return f;
  rows_.clear();
  f = folder.flush(Role::kFolder);
  if (f.ok()) f = table.close();
  if (!f.ok()) f.stage = Stage::kRowsWritten;
  return f;
}

}  // namespace stampo
