// qxtool game: build a game file from its readable source (with the game checks as warnings),
// check a source or game file, dump one back, print the schema.
#include <cstdio>
#include <filesystem>
#include <string>

#include "Command.h"
#include "authoring/GameCheck.h"
#include "base/SafeFile.h"
#include "elements/GameSource.h"
#include "scene/GameFile.h"

namespace qxtool {
namespace {

struct GameOptions {
  std::string source, output, game, folder;
  bool all = false;
  bool strict = false;
};

GameOptions gOpt;

bool WriteOutput(const std::string& path, const std::string& data) {
  if (path.empty() || path == "-") {
    std::fwrite(data.data(), 1, data.size(), stdout);
    return true;
  }
  std::string error;
  if (!qx::WriteFileAtomically(path, data.data(), data.size(), error)) {
    Fail(error);
    return false;
  }
  return true;
}

std::string FolderOf(const std::string& file) {
  const std::string folder = std::filesystem::path(file).parent_path().string();
  return folder.empty() ? std::string(".") : folder;
}

bool IsSource(const std::string& file) {
  const std::string ext = std::filesystem::path(file).extension().string();
  return ext == ".yaml" || ext == ".yml" || ext == ".YAML" || ext == ".YML";
}

// The checks of a game: of a source (with its places) or of a game file.
std::vector<qx::GameFinding> CheckRecords(const qx::ElementRecord& root, const qx::RecordPlaces* places,
                                          const std::string& file, const std::string& folder) {
  qx::GameCheckInput input;
  input.root = &root;
  input.places = places;
  input.file = file;
  input.folder = folder;
  return qx::CheckGame(input);
}

void Build() {
  std::string text, error;
  if (!qx::ReadWholeFile(gOpt.source, text, error)) return Fail(error);
  qx::ElementRecord root;
  qx::RecordPlaces places;
  if (!qx::RecordFromYaml(text, gOpt.source, root, error, qx::ReadSourceInclude, &places)) return Fail(error);
  // The files are looked for where the game will be played from.
  const std::string folder = !gOpt.folder.empty() ? gOpt.folder : gOpt.output == "-" ? FolderOf(gOpt.source) : FolderOf(gOpt.output);
  const std::vector<qx::GameFinding> findings = CheckRecords(root, &places, gOpt.source, folder);
  for (const qx::GameFinding& f : findings) std::fprintf(stderr, "%s\n", qx::FindingText(f).c_str());
  if (!findings.empty() && gOpt.strict) {
    return Fail(std::to_string(findings.size()) + " problem(s) found; with --strict no game file is written");
  }
  WriteOutput(gOpt.output, qx::WriteRecord(root));
}

void Check() {
  const std::string& file = gOpt.game;
  std::string data, error;
  if (!qx::ReadWholeFile(file, data, error)) return Fail(error);
  qx::ElementRecord root;
  qx::RecordPlaces places;
  std::vector<qx::GameFinding> findings;
  const std::string folder = gOpt.folder.empty() ? FolderOf(file) : gOpt.folder;
  if (IsSource(file)) {
    if (!qx::RecordFromYaml(data, file, root, error, qx::ReadSourceInclude, &places)) {
      std::printf("%s\n", error.c_str());
      SetExitStatus(1);
      return;
    }
    findings = CheckRecords(root, &places, file, folder);
  } else {
    qx::GameFileReport report;
    if (!qx::ParseElementBlob(data, *qx::FindClass("TQXDB"), root, &report)) {
      findings.push_back({file, 0, "", "the game file is damaged; what could be read is checked"});
    }
    for (qx::GameFinding& f : CheckRecords(root, nullptr, file, folder)) findings.push_back(std::move(f));
  }
  for (const qx::GameFinding& f : findings) std::printf("%s\n", qx::FindingText(f).c_str());
  if (findings.empty()) std::printf("%s: ok\n", file.c_str());
  else SetExitStatus(1);
}

void Dump() {
  std::string data, error;
  if (!qx::ReadWholeFile(gOpt.game, data, error)) return Fail(error);
  qx::ElementRecord root;
  qx::GameFileReport report;
  if (!qx::ParseElementBlob(data, *qx::FindClass("TQXDB"), root, &report)) {
    Fail(gOpt.game + " is damaged; what could be read is dumped");
  }
  const int status = ExitStatus();
  WriteOutput(gOpt.output, qx::YamlFromRecord(root, gOpt.all));
  if (status != 0) SetExitStatus(status);
}

const CommandRegistration kGame("game", [](CLI::App& app) {
  CLI::App* game = app.add_subcommand("game", "Build, dump and describe game files");
  game->require_subcommand(1);

  CLI::App* build = game->add_subcommand(
      "build", "build a .qxf game file from a YAML source; the problems game check finds are printed as warnings");
  build->add_option("SRC", gOpt.source, "the YAML source")->required();
  build->add_option("-o,--output", gOpt.output, "the game file to write")->required();
  build->add_option("--folder", gOpt.folder, "the game folder files are looked for in (default: the game file's folder)");
  build->add_flag("--strict", gOpt.strict, "a problem is an error: nothing is written and the exit status is 1");
  build->callback(Build);

  CLI::App* check = game->add_subcommand(
      "check",
      "check a game before it runs: duplicate Keys, key settings that name nothing or the wrong class, missing "
      "pictures, effect, font, sound, language and script files, every script (as script check does), a loading "
      "screen that never calls LoadIm or EndLoadIm, text keys without a translation. Prints FILE:LINE: PATH: "
      "message for a source, FILE: PATH: message for a game file, or FILE: ok; exits 1 when it found a problem");
  check->add_option("GAME", gOpt.game, "the YAML source (.yaml) or .qxf game file")->required();
  check->add_option("--folder", gOpt.folder, "the game folder files are looked for in (default: the file's folder)");
  check->callback(Check);

  CLI::App* dump = game->add_subcommand("dump", "write a game file as YAML source");
  dump->add_option("GAME", gOpt.game, "the .qxf game file")->required();
  dump->add_option("-o,--output", gOpt.output, "the YAML file to write (default: standard output)");
  dump->add_flag("--all", gOpt.all, "write every property, also those at their default");
  dump->callback(Dump);

  CLI::App* schema = game->add_subcommand("schema", "print every class's properties: CLASS INDEX NAME TYPE DEFAULT");
  schema->callback([] {
    const std::string text = qx::SchemaText();
    std::fwrite(text.data(), 1, text.size(), stdout);
  });
});

}  // namespace
}  // namespace qxtool
