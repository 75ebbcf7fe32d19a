// The machine tarvel-sim shows when no machine file is given: a laptop
// with an xHCI controller (stick, keyboard, mouse, webcam, a USB 2.0 hub
// with a printer, a serial adapter without driver and a device that failed
// enumeration) and a second controller with a fingerprint reader. It
// answers as Windows 10 does on a real xHCI root hub: each USB 3 connector
// has a USB 2 port number (here 1-16, V2 protocols USB 1.1 and 2.0) and a
// SuperSpeed one (17-26, USB 3.0 alone), so the stick sits on 17 and every
// slower device on a USB 2 port; the _EX speed stops at high speed, and the
// stick's SuperSpeed shows in the V2 flags alone.
#include "platform/sim/Machine.h"

namespace tarvel::sim {

const char* DemoMachineJson() {
    return R"json({
  "usb": {
    "controllers": [
      {
        "root_hub": {
          "ports": 26,
          "node": {"description": "USB Root Hub (USB 3.0)"},
          "connections": {
            "2": {
              "vid": "0x046D", "pid": "0xC31C",
              "v2": {"protocols": 3, "flags": 0},  "bcd_usb": "0x0110", "speed": 1,
              "node": {"description": "USB Composite Device", "children": 2}
            },
            "3": {
              "vid": "0x046D", "pid": "0xC077",
              "v2": {"protocols": 3, "flags": 0},  "speed": 0,
              "node": {"description": "USB Input Device", "children": 1}
            },
            "4": {
              "vid": "0x05E3", "pid": "0x0608",
              "v2": {"protocols": 3, "flags": 0},  "bcd_usb": "0x0200", "speed": 2,
              "hub": {
                "ports": 4,
                "connections": {
                  "1": {
                    "vid": "0x04A9", "pid": "0x1827", "speed": 2,
                    "node": {"description": "USB Printing Support",
                             "friendly_name": "Canon PIXMA MG3600 series",
                             "instance_id": "USB\\VID_04A9&PID_1827\\00D2B1"}
                  },
                  "2": {
                    "vid": "0x067B", "pid": "0x2303", "bcd_usb": "0x0110", "speed": 1,
                    "node": {"description": "USB-Serial Controller D",
                             "friendly_name": "USB-Serial Controller D",
                             "status": "0x01806400", "problem": 28}
                  },
                  "3": {
                    "status": 2, "vid": 0, "pid": 0, "bcd_usb": 0, "speed": 1,
                    "driver_key": {"error": 1167},
                    "node": {"instance_id": "USB\\VID_0000&PID_0002\\6&2b8c9a1&0&3",
                             "description": "Unknown USB Device (Device Descriptor Request Failed)",
                             "status": "0x01806400", "problem": 43, "driver": {"cr": 37}}
                  }
                }
              }
            },
            "5": {
              "vid": "0x04F2", "pid": "0xB6DD",
              "v2": {"protocols": 3, "flags": 0},  "speed": 2,
              "node": {"description": "USB Composite Device", "friendly_name": "Integrated Camera",
                       "instance_id": "USB\\VID_04F2&PID_B6DD\\0001", "children": 2}
            },
            "7": {
              "vid": "0x8087", "pid": "0x0026",
              "v2": {"protocols": 3, "flags": 0},  "bcd_usb": "0x0201", "speed": 1,
              "node": {"description": "Intel(R) Wireless Bluetooth(R)", "children": 1}
            },
            "17": {
              "vid": "0x0781", "pid": "0x5581", "bcd_usb": "0x0300", "speed": 2,
              "v2": {"protocols": 4, "flags": 3},
              "node": {"description": "USB Mass Storage Device",
                       "instance_id": "USB\\VID_0781&PID_5581\\4C530001230815117402"}
            }
          }
        }
      },
      {
        "path": "\\\\?\\pci#ven_1022&dev_15e0#4&2f6b3c11&0&0341#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
        "root_hub": {
          "name": "USB#ROOT_HUB30#5&3a61f5b2&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}",
          "ports": 4,
          "node": {"instance_id": "USB\\ROOT_HUB30\\5&3A61F5B2&0&0"},
          "connections": {
            "1": {
              "vid": "0x06CB", "pid": "0x00BD",
              "v2": {"protocols": 3, "flags": 0},  "speed": 1,
              "node": {"description": "Synaptics UWP WBDI",
                       "instance_id": "USB\\VID_06CB&PID_00BD\\8B3E2A6D4F11"}
            }
          }
        }
      }
    ]
  }
})json";
}

}  // namespace tarvel::sim
