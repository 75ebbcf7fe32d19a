// The machine file: the capture written as JSON, every key given.
#pragma once
#include "capture/JsonWriter.h"
#include "capture/Model.h"

namespace tarvel::capture {

// Writes the model as it stands; fitting and naming are done before
// (Assemble, MakeNamesUnique).
void WriteMachine(const Machine& m, Output& out);

}  // namespace tarvel::capture
