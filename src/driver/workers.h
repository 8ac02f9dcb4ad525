// The three workers the driver dispatches to. Each returns its result code:
// 0 or more for success, -1 for conversion errors, other negatives for failure.
#pragma once

#include "j2sconv/run_j2s.h"
#include "mkpatn/run_mkp.h"
#include "s2jconv/run_s2j.h"
#include "u2jconv/run_u2j.h"
