// qxtool: the game author's tool. Each subcommand lives in its own file (see Command.h).
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Command.h"

namespace qxtool {
namespace {
std::vector<std::pair<std::string, CommandSetup>>& Registry() {
  static std::vector<std::pair<std::string, CommandSetup>> registry;
  return registry;
}
int gExitStatus = 0;
}  // namespace

CommandRegistration::CommandRegistration(std::string name, CommandSetup setup) {
  Registry().emplace_back(std::move(name), std::move(setup));
}

void SetExitStatus(int status) { gExitStatus = status; }
int ExitStatus() { return gExitStatus; }

void Fail(const std::string& message, int status) {
  std::fprintf(stderr, "qxtool: %s\n", message.c_str());
  gExitStatus = status;
}

}  // namespace qxtool

int main(int argc, char** argv) {
  CLI::App app{"qxtool: builds and inspects qxrun games."};
  app.set_version_flag("--version", std::string("qxtool ") + QX_VERSION);
  app.require_subcommand(0, 1);
  auto& registry = qxtool::Registry();
  std::sort(registry.begin(), registry.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [name, setup] : registry) setup(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "qxtool: %s (see qxtool --help)\n", e.what());
    return 2;
  }
  if (argc == 1) std::fputs(app.help().c_str(), stdout);
  return qxtool::ExitStatus();
}
