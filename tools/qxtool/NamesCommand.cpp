// qxtool names: every name a game author can use, one "KIND NAME" line each.
#include <cstdio>

#include "Command.h"
#include "builtins/AuthorNames.h"

namespace qxtool {
namespace {

const CommandRegistration kNames("names", [](CLI::App& app) {
  CLI::App* names = app.add_subcommand(
      "names",
      "print every class, published property (CLASS.NAME), standard and engine built-in, level native and "
      "special name, one 'KIND NAME' line each, sorted by kind, then in registration order");
  names->callback([] {
    for (const qx::AuthorName& n : qx::AuthorNames()) std::printf("%s %s\n", n.kind.c_str(), n.name.c_str());
  });
});

}  // namespace
}  // namespace qxtool
