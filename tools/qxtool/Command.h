// qxtool's subcommands register themselves: each command file holds one
// `static qxtool::CommandRegistration` that adds its subcommand to the app, so a new
// command needs no edit elsewhere.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace qxtool {

// Adds one top-level subcommand (with its callbacks) to the app.
using CommandSetup = std::function<void(CLI::App& app)>;

struct CommandRegistration {
  CommandRegistration(std::string name, CommandSetup setup);
};

// Callbacks set the exit status here: 0 success, 1 the work failed, 2 bad usage.
void SetExitStatus(int status);
int ExitStatus();

// One-line error on stderr, "qxtool: MESSAGE", and the exit status.
void Fail(const std::string& message, int status = 1);

}  // namespace qxtool
