// The interface classes of the USB walk, with the values Windows assigns.
// Defined here for both backends, so that no import library is needed.
#include "platform/Platform.h"

namespace tarvel {

const GUID GUID_DEVINTERFACE_USB_HOST_CONTROLLER = {
    0x3ABF6F2D, 0x71C4, 0x462A, {0x8A, 0x92, 0x1E, 0x68, 0x61, 0xE6, 0xAF, 0x27}};
const GUID GUID_DEVINTERFACE_USB_HUB = {
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};

}  // namespace tarvel
