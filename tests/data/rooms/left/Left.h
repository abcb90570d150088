#pragma once
// Wrong: a room reaching sideways.
#include "right/Right.h"
#include "low/Low.h"
