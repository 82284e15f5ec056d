#include "shell/SourceWatch.h"

#include <cstdio>
#include <cstdlib>
#include <set>

#include "authoring/GameCheck.h"
#include "base/Log.h"
#include "base/SafeFile.h"
#include "elements/GameSource.h"
#include "resources/GameFs.h"
#include "scene/ClassTable.h"
#include "scene/GameFile.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

// Names longer than this, or of more than one line, are scripts or texts, not files.
constexpr size_t kMaxFileNameLength = 260;

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return (ec ? std::filesystem::path(path) : p).lexically_normal().string();
}

void CollectSourceFiles(const RecordPlaces& places, std::set<std::string>& files) {
  if (!places.file.empty()) files.insert(Absolute(places.file));
  for (const RecordPlaces& child : places.children) CollectSourceFiles(child, files);
}

// The files of the game folder that the elements name. The player's own files (the saved
// state and the settings, which the game writes while it plays) are left out: watching them
// would restart the game at every save.
void CollectNamedFiles(const ElementRecord& record, bool isRoot, TGameFs& fs, std::set<std::string>& files) {
  if (record.cls) {
    for (size_t i = 0; i < record.cls->props.size() && i < record.values.size(); ++i) {
      const PropInfo& prop = record.cls->props[i];
      if (prop.type != PropType::String) continue;
      const std::string& name = record.values[i].s;
      if (name.empty() || name.size() > kMaxFileNameLength || name.find('\n') != std::string::npos) continue;
      if (isRoot && (prop.field == PropField::FileRS || prop.field == PropField::IniFile)) continue;
      const std::optional<std::string> path = fs.Resolve(name);
      std::error_code ec;
      if (path && std::filesystem::is_regular_file(*path, ec)) files.insert(Absolute(*path));
    }
  }
  for (const ElementRecord& child : record.children) CollectNamedFiles(child, false, fs, files);
}

}  // namespace

SourceWatch::SourceWatch(std::string source, std::string output)
    : source_(Absolute(source)), output_(output.empty() ? CachePath(source_) : std::move(output)) {
  folder_ = std::filesystem::path(source_).parent_path().string();
  stamps_[source_] = StampOf(source_);
}

std::string SourceWatch::CachePath(const std::string& source) {
  std::string base;
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/') {
    base = cache;
  } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
    base = std::string(home) + "/.cache";
  } else {
    std::error_code ec;
    base = std::filesystem::temp_directory_path(ec).string();
    if (ec || base.empty()) base = "/tmp";
  }
  const std::string full = Absolute(source);
  uint64_t hash = 14695981039346656037ull;
  for (const char c : full) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return base + "/qxrun/watch/" + std::filesystem::path(full).stem().string() + "-" + hex + ".qxf";
}

std::optional<SourceWatch::Stamp> SourceWatch::StampOf(const std::string& path) {
  std::error_code ec;
  Stamp stamp;
  stamp.time = std::filesystem::last_write_time(path, ec);
  if (ec) return std::nullopt;
  stamp.size = std::filesystem::file_size(path, ec);
  if (ec) return std::nullopt;
  return stamp;
}

void SourceWatch::TakeStamps(const std::vector<std::string>& files) {
  stamps_.clear();
  for (const std::string& file : files) stamps_[file] = StampOf(file);
}

std::vector<std::string> SourceWatch::WatchedFiles() const {
  std::vector<std::string> files;
  for (const auto& [file, stamp] : stamps_) files.push_back(file);
  return files;
}

bool SourceWatch::Changed() const {
  for (const auto& [file, stamp] : stamps_) {
    if (StampOf(file) != stamp) return true;
  }
  return false;
}

bool SourceWatch::Build(std::string& error) {
  // The stamps are taken before reading, so that a change made while building is seen by
  // the next poll rather than lost.
  std::vector<std::string> previous = WatchedFiles();
  std::map<std::string, std::optional<Stamp>> before;
  for (const std::string& file : previous) before[file] = StampOf(file);
  before[source_] = StampOf(source_);

  std::string text;
  ElementRecord root;
  RecordPlaces places;
  bool ok = ReadWholeFile(source_, text, error) &&
            RecordFromYaml(text, source_, root, error, ReadSourceInclude, &places);
  std::set<std::string> files{source_};
  if (ok) {
    GameCheckInput input;
    input.root = &root;
    input.places = &places;
    input.file = source_;
    input.folder = folder_;
    for (const GameFinding& f : CheckGame(input)) LogError("warning", FindingText(f));
    CollectSourceFiles(places, files);
    TGameFs fs(folder_);
    CollectNamedFiles(root, true, fs, files);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(output_).parent_path(), ec);
    const std::string data = WriteRecord(root);
    ok = WriteFileAtomically(output_, data.data(), data.size(), error);
  } else {
    // A source that does not build still names what it included when it last built: a fix
    // in an included file is seen too.
    files.insert(previous.begin(), previous.end());
  }
  stamps_.clear();
  for (const std::string& file : files) {
    const auto known = before.find(file);
    stamps_[file] = known != before.end() ? known->second : StampOf(file);
  }
  return ok;
}

void SourceWatch::Poll(TFormMain& form, bool now) {
  const auto time = std::chrono::steady_clock::now();
  if (!now && time - lastPoll_ < std::chrono::seconds(1)) return;
  lastPoll_ = time;
  if (!Changed()) return;
  std::string error;
  if (!Build(error)) {
    LogError("watch", error + " (the game before the change plays on)");
    form.ShowNotice("Build failed: " + error);
    return;
  }
  form.ShowNotice({});
  form.RestartGame();
  LogError("watch", "rebuilt " + source_ + ": the game starts afresh");
}

}  // namespace qx
