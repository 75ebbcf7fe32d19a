// What both backends do alike of the late-bound services.
#include "platform/Platform.h"

namespace tarvel {

// user32's own wsprintfA takes its arguments on the stack; forwarding them
// through wvsprintfA needs no second binding, and the simulated machine
// formats in one place.
int wsprintfA(LPSTR out, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int length = wvsprintfA(out, format, args);
    va_end(args);
    return length;
}

}  // namespace tarvel
