// A helper that looks up: the layer check must refuse it.
#pragma once
#include "scene/Tree.h"
