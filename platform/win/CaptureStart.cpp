// The process entry of tarvel-capture's Windows builds: as for tarvel, the
// loader jumps straight here, and CaptureEntry() ends the process itself.
#include "capture/Capture.h"

extern "C" [[noreturn]] void mainCRTStartup() {
    tarvel::CaptureEntry();
}
