#include "runtime/RuntimeState.h"

namespace qx {
namespace {
RuntimeState gState;
}

RuntimeState& Runtime() { return gState; }
void ResetRuntime() { gState = RuntimeState{}; }

}  // namespace qx
