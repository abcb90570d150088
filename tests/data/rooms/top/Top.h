#pragma once
// Allowed: its own room, the rooms it names and what they use.
#include "left/Left.h"
#include "low/Low.h"
#include "top/Other.h"
#include "unrelated/Header.h"
