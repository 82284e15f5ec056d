// qxtool game: build a game file from its readable source, dump one back, print the schema.
#include <cstdio>
#include <string>

#include "Command.h"
#include "base/SafeFile.h"
#include "elements/GameSource.h"
#include "scene/GameFile.h"

namespace qxtool {
namespace {

struct GameOptions {
  std::string source, output, game;
  bool all = false;
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

void Build() {
  std::string text, error;
  if (!qx::ReadWholeFile(gOpt.source, text, error)) return Fail(error);
  qx::ElementRecord root;
  if (!qx::RecordFromYaml(text, gOpt.source, root, error)) return Fail(error);
  WriteOutput(gOpt.output, qx::WriteRecord(root));
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

  CLI::App* build = game->add_subcommand("build", "build a .qxf game file from a YAML source");
  build->add_option("SRC", gOpt.source, "the YAML source")->required();
  build->add_option("-o,--output", gOpt.output, "the game file to write")->required();
  build->callback(Build);

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
