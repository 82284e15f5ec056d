// qxtool archive: list, extract and pack resource archives.
#include <fnmatch.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Command.h"
#include "base/CodePage.h"
#include "base/SafeFile.h"
#include "resources/FileBytes.h"
#include "resources/GameFs.h"
#include "resources/NameFold.h"
#include "resources/ResArchive.h"

namespace qxtool {
namespace {

namespace fs = std::filesystem;

struct Options {
  std::string archive;
  std::string name;
  std::string output;
  std::string folder;
  bool all = false;
  std::vector<std::string> types;
};

bool OpenArchive(qx::TResArchive& archive, const std::string& path) {
  archive.SetFileName(path);
  archive.SetOpenMode(qx::TResOpenMode::opReadOnly);
  if (archive.Open()) return true;
  Fail(archive.LastError().empty() ? "cannot open " + path : archive.LastError());
  return false;
}

void List(const Options& o) {
  qx::TResArchive archive;
  if (!OpenArchive(archive, o.archive)) return;
  for (int i = 0; i < archive.RecordCount(); ++i) {
    const qx::TResRecordInfo* r = archive.Record(i);
    std::printf("%d %u %d %s\n", i, r->type, r->unpackedSize, qx::Cp1251ToUtf8(r->name).c_str());
  }
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& data) {
  std::string error;
  if (qx::WriteFileAtomically(path, data.data(), data.size(), error)) return true;
  Fail(error);
  return false;
}

// The disk path of a record under `folder`, or nothing for names that would leave it.
std::optional<fs::path> RecordPath(const std::string& folder, const std::string& recordName) {
  std::vector<std::string> parts;
  if (!qx::TGameFs::SplitGameName(recordName, parts)) return std::nullopt;
  fs::path path(folder);
  for (const std::string& part : parts) path /= qx::Cp1251ToUtf8(part);
  return path;
}

void Extract(const Options& o) {
  if (o.all == !o.name.empty()) {
    Fail("give either a record NAME or --all", 2);
    return;
  }
  qx::TResArchive archive;
  if (!OpenArchive(archive, o.archive)) return;
  std::vector<uint8_t> data;
  if (!o.all) {
    const std::optional<std::string> name = qx::Utf8ToCp1251(o.name);
    if (!name) {
      Fail("record name " + o.name + " has characters outside code page 1251");
      return;
    }
    if (archive.IndexOf(*name) < 0) {
      Fail("no record named " + o.name + " in " + o.archive);
      return;
    }
    if (!archive.ReadRecord(*name, data)) {
      Fail("cannot read record " + o.name + ": " + archive.LastError());
      return;
    }
    WriteBytes(o.output, data);
    return;
  }
  std::set<std::string> seen;  // folded names: the runtime only ever reaches the first of equal names
  bool failed = false;
  for (int i = 0; i < archive.RecordCount(); ++i) {
    const std::string name = archive.RecordName(i);
    const std::string shown = qx::Cp1251ToUtf8(name);
    if (!seen.insert(qx::FoldName1251(name)).second) {
      std::fprintf(stderr, "qxtool: skipped record %d %s: an earlier record has the same name\n", i, shown.c_str());
      continue;
    }
    const std::optional<fs::path> path = RecordPath(o.output, name);
    if (!path) {
      std::fprintf(stderr, "qxtool: skipped record %d %s: the name leads outside the folder\n", i, shown.c_str());
      failed = true;
      continue;
    }
    std::error_code ec;
    fs::create_directories(path->parent_path(), ec);
    if (!archive.ReadRecord(i, data)) {
      std::fprintf(stderr, "qxtool: cannot read record %d %s: %s\n", i, shown.c_str(), archive.LastError().c_str());
      failed = true;
      continue;
    }
    if (!WriteBytes(path->string(), data)) failed = true;
  }
  if (failed) SetExitStatus(1);
}

// "PATTERN=TYPE" rules, matched in order against the path relative to the packed folder
// (slashes, letter case ignored); the built-in rule "*.fnt=3" comes last.
struct TypeRule {
  std::string pattern;
  unsigned type;
};

bool ParseRules(const std::vector<std::string>& specs, std::vector<TypeRule>& rules) {
  for (const std::string& spec : specs) {
    const size_t eq = spec.rfind('=');
    unsigned long type = 0;
    try {
      if (eq == std::string::npos || eq == 0) throw std::invalid_argument(spec);
      size_t used = 0;
      type = std::stoul(spec.substr(eq + 1), &used);
      if (used != spec.size() - eq - 1 || type > 0xFFFF) throw std::out_of_range(spec);
    } catch (const std::exception&) {
      Fail("bad --type rule " + spec + " (expected PATTERN=NUMBER, NUMBER 0..65535)", 2);
      return false;
    }
    rules.push_back({spec.substr(0, eq), static_cast<unsigned>(type)});
  }
  rules.push_back({"*.fnt", 3});
  return true;
}

void Pack(const Options& o) {
  std::vector<TypeRule> rules;
  if (!ParseRules(o.types, rules)) return;
  std::error_code ec;
  if (!fs::is_directory(o.folder, ec)) {
    Fail(o.folder + " is not a folder");
    return;
  }
  std::vector<std::string> files;  // relative paths with '/'
  for (auto it = fs::recursive_directory_iterator(o.folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), o.folder).generic_string());
  }
  if (ec) {
    Fail("cannot read " + o.folder + ": " + ec.message());
    return;
  }
  std::sort(files.begin(), files.end());
  std::vector<qx::TResPackEntry> entries;
  for (const std::string& rel : files) {
    qx::TResPackEntry e;
    std::string backslashed = rel;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    const std::optional<std::string> name = qx::Utf8ToCp1251(backslashed);
    if (!name) {
      Fail("file name " + rel + " has characters outside code page 1251");
      return;
    }
    e.name = *name;
    for (const TypeRule& rule : rules) {
      if (::fnmatch(rule.pattern.c_str(), rel.c_str(), FNM_CASEFOLD) == 0) {
        e.type = static_cast<uint16_t>(rule.type);
        break;
      }
    }
    const std::string path = (fs::path(o.folder) / rel).string();
    std::string error;
    if (!qx::ReadFileBytes(path, e.data, error, static_cast<size_t>(qx::TResArchive::kMaxRecordSize))) {
      Fail(error);
      return;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) e.timeStamp = static_cast<double>(st.st_mtime) / 86400.0 + 25569.0;
    entries.push_back(std::move(e));
  }
  std::string error;
  if (!qx::WriteResArchive(o.output, entries, error)) Fail(error);
}

CommandRegistration reg("archive", [](CLI::App& app) {
  auto opts = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand("archive", "List, extract and pack resource archives");
  cmd->require_subcommand(1);

  CLI::App* list = cmd->add_subcommand("list", "Print INDEX TYPE UNPACKED_SIZE NAME per record, in table order");
  list->add_option("ARCHIVE", opts->archive, "Archive file")->required();
  list->callback([opts] { List(*opts); });

  CLI::App* extract = cmd->add_subcommand("extract", "Write one record (looked up as the runtime does) or all records");
  extract->add_option("ARCHIVE", opts->archive, "Archive file")->required();
  extract->add_option("NAME", opts->name, "Record name (any letter case; backslashes separate folders)");
  extract->add_flag("--all", opts->all, "Extract every record into the folder given by -o");
  extract->add_option("-o,--output", opts->output, "Output file (or folder with --all)")->required();
  extract->callback([opts] { Extract(*opts); });

  CLI::App* pack = cmd->add_subcommand("pack", "Pack a folder into a new archive");
  pack->add_option("DIR", opts->folder, "Folder to pack; its paths become record names")->required();
  pack->add_option("-o,--output", opts->output, "Archive to write")->required();
  pack->add_option("--type", opts->types,
                   "PATTERN=TYPE: record type for files matching PATTERN (first match wins; *.fnt=3 is built in)");
  pack->callback([opts] { Pack(*opts); });
});

}  // namespace
}  // namespace qxtool
