// Helpers of the resources tests: fixture files (the shared file helpers come along).
#pragma once

#include <string>

#include "ScratchFiles.h"

namespace qx::test {

inline std::string DataPath(const std::string& name) { return std::string(QX_TEST_DATA_DIR) + "/resources/" + name; }

}  // namespace qx::test
