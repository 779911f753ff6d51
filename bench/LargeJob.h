// modsin-table's large job, that of table-run.sh: about 1.3 million nodes.
// bench/tabulate-run.py gives modsin.tabulate the same parameters.
#pragma once

#include "calc/Tabulate.h"

namespace modsin::bench {

inline constexpr TJob kLargeJob{.FXRight = 100,
                                .FXResolution = 1e-9,
                                .FYTolerance = 1e-5,
                                .FMaxNodes = 100'000'000,
                                .FMaxSeeds = 100'000};

}  // namespace modsin::bench
