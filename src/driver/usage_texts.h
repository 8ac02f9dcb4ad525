#pragma once

namespace velk {

extern const char kS2jUsage[];
extern const char kJ2sUsage[];
extern const char kMkpUsage[];

}  // namespace velk
