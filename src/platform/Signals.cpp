#include "platform/Signals.h"

#include <csignal>

#include "script/ScriptBudget.h"

namespace qx {
namespace {
extern "C" void OnCloseSignal(int) { RequestScriptStop(); }
}  // namespace

void InstallCloseSignals() {
  struct sigaction action {};
  action.sa_handler = &OnCloseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace qx
