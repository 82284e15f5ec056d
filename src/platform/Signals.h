// SIGINT, SIGTERM and SIGHUP as a request to close: the handler only sets the scripts' stop
// flag, which the running script and the frame loop read; nothing is written or freed inside
// the handler, so a file being written is finished first.
#pragma once

namespace qx {

void InstallCloseSignals();

}  // namespace qx
