#pragma once
#include "platform/a/A.h"
