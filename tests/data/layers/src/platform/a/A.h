// Two back ends of one layer that include each other.
#pragma once
#include "platform/b/B.h"
