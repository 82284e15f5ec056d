// qxtool: the game author's tool. Subcommands are added as the runtime grows.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  CLI::App app{"qxtool: builds and inspects qxrun games."};
  app.set_version_flag("--version", std::string("qxtool ") + QX_VERSION);
  app.require_subcommand(0, 1);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "qxtool: %s (see qxtool --help)\n", e.what());
    return 2;
  }
  if (argc == 1) std::fputs(app.help().c_str(), stdout);
  return 0;
}
