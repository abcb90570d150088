#pragma once
// Wrong: a low room reaching up.
#include "top/Top.h"
