#pragma once

namespace velk {

extern const char kS2jUsage[];
extern const char kJ2sUsage[];
extern const char kMkpUsage[];
extern const char kU2jUsage[];
extern const char kJ2uUsage[];

}  // namespace velk
