// A loaded machine written back as JSON, every default filled in and every
// number assigned (hub walk numbers, default driver keys, DEVINSTs, parent
// links, anonymous children), so that another player of the same file, such
// as the USB stack under Wine, needs no copy of the defaults.
#pragma once
#include <nlohmann/json.hpp>

#include "platform/sim/Machine.h"

namespace tarvel::sim {

nlohmann::json ResolvedMachine(const Machine& machine);

}  // namespace tarvel::sim
