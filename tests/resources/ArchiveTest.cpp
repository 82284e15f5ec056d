#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "resources/ResArchive.h"
#include "resources/TestFiles.h"

namespace qx {
namespace {

using test::DataPath;
using test::ReadBytes;
using test::ScratchDir;
using test::WriteBytes;

struct Expected {
  int index = 0;
  int type = 0;
  std::string name;
  std::vector<uint8_t> data;
};

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::vector<Expected> Manifest() {
  std::ifstream in(DataPath("archive.txt"));
  std::vector<Expected> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream s(line);
    Expected e;
    std::string name, data;
    s >> e.index >> e.type >> name >> data;
    const auto n = FromHex(name);
    e.name.assign(n.begin(), n.end());
    e.data = FromHex(data);
    out.push_back(e);
  }
  return out;
}

bool OpenReadOnly(TResArchive& a, const std::string& path) {
  a.SetFileName(path);
  a.SetOpenMode(TResOpenMode::opReadOnly);
  return a.Open();
}

uint32_t Get32(const std::vector<uint8_t>& d, size_t at) {
  return uint32_t{d[at]} | uint32_t{d[at + 1]} << 8 | uint32_t{d[at + 2]} << 16 | uint32_t{d[at + 3]} << 24;
}
void Put32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// Offsets of the sample's table entries' record offsets, and of each record header.
struct Layout {
  size_t table = 0;
  std::vector<size_t> offsetFields;
  std::vector<size_t> records;
};
Layout LayoutOf(const std::vector<uint8_t>& d) {
  Layout l;
  l.table = Get32(d, 8);
  size_t at = l.table;
  for (uint32_t i = 0; i < Get32(d, 4); ++i) {
    at += 4 + Get32(d, at);
    l.offsetFields.push_back(at);
    l.records.push_back(Get32(d, at));
    at += 4;
  }
  return l;
}

TEST(ResArchive, ReadsAnArchiveWrittenByAnotherWriter) {
  TResArchive a;
  ASSERT_TRUE(OpenReadOnly(a, DataPath("sample.res"))) << a.LastError();
  const std::vector<Expected> expected = Manifest();
  ASSERT_EQ(a.RecordCount(), static_cast<int>(expected.size()));
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.index);
    EXPECT_EQ(a.RecordName(e.index), e.name);
    EXPECT_EQ(a.RecordType(e.index), e.type);
    EXPECT_EQ(a.Record(e.index)->unpackedSize, static_cast<int32_t>(e.data.size()));
    EXPECT_EQ(a.Record(e.index)->timeStamp, 45000.5);
    std::vector<uint8_t> data;
    ASSERT_TRUE(a.ReadRecord(e.index, data)) << a.LastError();
    EXPECT_EQ(data, e.data);
  }
  std::ostringstream out;
  ASSERT_TRUE(a.ReadRecordToStream("ARIAL", out));
  EXPECT_EQ(out.str().size(), expected[2].data.size());
}

TEST(ResArchive, LooksUpNamesWithoutRegardToCase) {
  TResArchive a;
  ASSERT_TRUE(OpenReadOnly(a, DataPath("sample.res")));
  EXPECT_EQ(a.IndexOf("IMAGES\\PIC.PNG"), 0);
  EXPECT_EQ(a.IndexOf("images\\pic.png"), 0);
  EXPECT_EQ(a.IndexOf("images/pic.png"), -1);  // record names use backslashes
  EXPECT_EQ(a.IndexOf("dup.txt"), 3);          // two such records: the first in table order
  std::vector<uint8_t> data;
  ASSERT_TRUE(a.ReadRecord("Dup.Txt", data));
  EXPECT_EQ(std::string(data.begin(), data.end()), "first");
  // Cyrillic letters of code page 1251 fold too: "ФОН\ДВЕРЬ.TXT" finds "Фон\дверь.txt".
  EXPECT_EQ(a.IndexOf("\xD4\xCE\xCD\\\xC4\xC2\xC5\xD0\xDC.TXT"), 6);
  EXPECT_EQ(a.IndexOf("missing"), -1);
  EXPECT_EQ(a.IndexOf(""), -1);
  EXPECT_FALSE(a.ReadRecord("missing", data));
  EXPECT_TRUE(data.empty());
  ASSERT_TRUE(a.ReadRecord("empty.bin", data));
  EXPECT_TRUE(data.empty());
}

TEST(ResArchive, AnswersOutOfRangeIndexes) {
  TResArchive a;
  ASSERT_TRUE(OpenReadOnly(a, DataPath("sample.res")));
  EXPECT_EQ(a.RecordName(-1), "[invalid-record-#]");
  EXPECT_EQ(a.RecordName(a.RecordCount()), "[invalid-record-#]");
  EXPECT_EQ(a.RecordType(99), 0);
  EXPECT_EQ(a.Record(99), nullptr);
  std::vector<uint8_t> data;
  EXPECT_FALSE(a.ReadRecord(99, data));
}

TEST(ResArchive, OpenModes) {
  ScratchDir dir;
  TResArchive a;
  // Read-only needs the file; nothing is read before Open.
  a.SetFileName(dir / "new.res");
  EXPECT_FALSE(a.Open());
  std::vector<uint8_t> data;
  EXPECT_FALSE(a.ReadRecord("x", data));
  // Update creates an empty archive when there is none.
  a.SetOpenMode(TResOpenMode::opUpdate);
  ASSERT_TRUE(a.Open());
  EXPECT_EQ(a.RecordCount(), 0);
  EXPECT_EQ(a.IndexOf("x"), -1);
  EXPECT_EQ(ReadBytes(dir / "new.res"), (std::vector<uint8_t>{0x41, 0x53, 0x44, 0x62, 0, 0, 0, 0, 12, 0, 0, 0}));
  // Update reads an existing archive, and leaves a damaged one alone.
  std::vector<uint8_t> sample = ReadBytes(DataPath("sample.res"));
  WriteBytes(dir / "sample.res", sample);
  a.SetFileName(dir / "sample.res");
  ASSERT_TRUE(a.Open());
  EXPECT_EQ(a.RecordCount(), 7);
  Put32(sample, 4, 0xFFFFFFFF);
  WriteBytes(dir / "sample.res", sample);
  EXPECT_FALSE(a.Open());
  EXPECT_FALSE(a.Opened());
  EXPECT_EQ(ReadBytes(dir / "sample.res"), sample);
  // Overwrite replaces it with an empty archive.
  a.SetOpenMode(TResOpenMode::opOverwrite);
  ASSERT_TRUE(a.Open());
  EXPECT_EQ(a.RecordCount(), 0);
  EXPECT_EQ(ReadBytes(dir / "sample.res").size(), 12u);
  // Setting the file name closes the archive.
  a.SetFileName(dir / "other.res");
  EXPECT_FALSE(a.Opened());
}

// Damage in the header or the table makes Open fail; damage in one record makes that record
// unreadable. Neither reads outside the file nor allocates more than the file holds.
TEST(ResArchive, DamagedArchivesFailCleanly) {
  ScratchDir dir;
  const std::vector<uint8_t> sample = ReadBytes(DataPath("sample.res"));
  const Layout layout = LayoutOf(sample);
  const std::string path = dir / "damaged.res";
  struct OpenCase {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
  };
  const OpenCase openCases[] = {
      {"negative count", [](auto& d) { Put32(d, 4, static_cast<uint32_t>(-3)); }},
      {"huge count", [](auto& d) { Put32(d, 4, 0x7FFFFFFF); }},
      {"count one too many", [](auto& d) { Put32(d, 4, Get32(d, 4) + 1); }},
      {"table past the end", [&](auto& d) { Put32(d, 8, static_cast<uint32_t>(d.size() + 10)); }},
      {"negative table offset", [](auto& d) { Put32(d, 8, 0x80000000u); }},
      {"huge name length", [&](auto& d) { Put32(d, layout.table, 0x7FFFFFF0); }},
      {"negative name length", [&](auto& d) { Put32(d, layout.table, static_cast<uint32_t>(-1)); }},
      {"record offset past the end", [&](auto& d) { Put32(d, layout.offsetFields[1], static_cast<uint32_t>(d.size())); }},
      {"negative record offset", [&](auto& d) { Put32(d, layout.offsetFields[1], 0xFFFFFF00u); }},
      {"cut in the table", [&](auto& d) { d.resize(layout.table + 6); }},
      {"shorter than a header", [](auto& d) { d.resize(7); }},
  };
  for (const OpenCase& c : openCases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> d = sample;
    c.damage(d);
    WriteBytes(path, d);
    TResArchive a;
    EXPECT_FALSE(OpenReadOnly(a, path));
    EXPECT_EQ(a.RecordCount(), 0);
    EXPECT_EQ(a.IndexOf("sounds\\click.wav"), -1);
    EXPECT_FALSE(a.LastError().empty());
  }

  const size_t click = layout.records[1];  // "sounds\click.wav", 5000 bytes
  struct ReadCase {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
  };
  const ReadCase readCases[] = {
      {"stored size past the end", [&](auto& d) { Put32(d, click + 6, 0x7FFFFFFF); }},
      {"negative stored size", [&](auto& d) { Put32(d, click + 6, static_cast<uint32_t>(-5)); }},
      {"negative unpacked size", [&](auto& d) { Put32(d, click + 2, static_cast<uint32_t>(-5)); }},
      {"unpacked size one short", [&](auto& d) { Put32(d, click + 2, 4999); }},
      {"unpacked size one over", [&](auto& d) { Put32(d, click + 2, 5001); }},
      {"unpacked size beyond any inflation", [&](auto& d) { Put32(d, click + 2, 0x7FFFFFFF); }},
      {"damaged zlib data", [&](auto& d) { for (size_t i = 0; i < 8; ++i) d[click + 44 + 2 + i] ^= 0x5A; }},
      {"damaged zlib check", [&](auto& d) { d[click + 44 + Get32(d, click + 6) - 1] ^= 0xFF; }},
      {"stored size cut short", [&](auto& d) { Put32(d, click + 6, Get32(d, click + 6) - 10); }},
      {"enciphered", [&](auto& d) { d[click + 34] = 1; }},
  };
  for (const ReadCase& c : readCases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> d = sample;
    c.damage(d);
    WriteBytes(path, d);
    TResArchive a;
    ASSERT_TRUE(OpenReadOnly(a, path));
    std::vector<uint8_t> data{1, 2, 3};
    EXPECT_FALSE(a.ReadRecord("sounds\\click.wav", data));
    EXPECT_TRUE(data.empty());
    EXPECT_FALSE(a.LastError().empty());
    // The other records stay readable.
    EXPECT_TRUE(a.ReadRecord("arial", data));
  }
}

// Whatever a truncated or randomly damaged archive holds, opening and reading never crash.
TEST(ResArchive, SurvivesTruncationAndRandomDamage) {
  ScratchDir dir;
  const std::vector<uint8_t> sample = ReadBytes(DataPath("sample.res"));
  const std::string path = dir / "fuzz.res";
  std::mt19937 rng(99);
  std::vector<uint8_t> data;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> d = sample;
    if (round % 2 == 0) {
      d.resize(rng() % d.size());
    } else {
      for (int e = 0; e < 4; ++e) d[rng() % d.size()] = static_cast<uint8_t>(rng());
    }
    WriteBytes(path, d);
    TResArchive a;
    if (!OpenReadOnly(a, path)) continue;
    for (int i = 0; i < a.RecordCount(); ++i) {
      if (a.ReadRecord(i, data)) {
        ASSERT_EQ(data.size(), static_cast<size_t>(a.Record(i)->unpackedSize));
      }
    }
  }
}

TEST(ResArchive, WriterRoundTrips) {
  ScratchDir dir;
  std::vector<TResPackEntry> entries(3);
  entries[0].name = "images\\door.jpg";
  entries[0].data.assign(100000, 7);
  entries[1].name = "Font00";
  entries[1].type = 3;
  entries[1].timeStamp = 44000.25;
  entries[2].name = "empty";
  std::string error;
  ASSERT_TRUE(WriteResArchive(dir / "w.res", entries, error)) << error;
  TResArchive a;
  ASSERT_TRUE(OpenReadOnly(a, dir / "w.res"));
  ASSERT_EQ(a.RecordCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(a.RecordName(i), entries[static_cast<size_t>(i)].name);
    EXPECT_EQ(a.RecordType(i), entries[static_cast<size_t>(i)].type);
    std::vector<uint8_t> data;
    ASSERT_TRUE(a.ReadRecord(i, data));
    EXPECT_EQ(data, entries[static_cast<size_t>(i)].data);
  }
  EXPECT_EQ(a.Record(1)->timeStamp, 44000.25);
  EXPECT_LT(a.Record(0)->storedSize, 1000);
}

// An archive rewritten after Open is indexed again before a read, so a name still finds
// its own record.
TEST(ResArchive, RereadsTheIndexOfARewrittenFile) {
  ScratchDir dir;
  std::vector<TResPackEntry> one(1);
  one[0].name = "b";
  one[0].data = {2};
  std::string error;
  ASSERT_TRUE(WriteResArchive(dir / "x.res", one, error));
  TResArchive a;
  ASSERT_TRUE(OpenReadOnly(a, dir / "x.res"));
  std::vector<TResPackEntry> two(2);
  two[0].name = "a";
  two[0].data = {1, 1, 1, 1, 1, 1};
  two[1].name = "b";
  two[1].data = {2, 2};
  ASSERT_TRUE(WriteResArchive(dir / "x.res", two, error));
  std::vector<uint8_t> data;
  ASSERT_TRUE(a.ReadRecord("b", data));
  EXPECT_EQ(data, (std::vector<uint8_t>{2, 2}));
  EXPECT_EQ(a.RecordCount(), 2);
}

}  // namespace
}  // namespace qx
