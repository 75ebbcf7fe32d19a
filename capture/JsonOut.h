// The machine file: the capture written as JSON, every key given.
#pragma once
#include "capture/Model.h"

namespace tarvel::capture {

struct Output {
    char* Data;
    int Length;
    int Capacity;
};

void WriteMachine(Machine& m, Output& out);

}  // namespace tarvel::capture
