#pragma once
// The libusb-0.1 functions the link calls, found at run time: the program
// starts without the library, and opening fails while it cannot be loaded.
#include <usb.h>

namespace usblib {

struct Functions {
    decltype(&::usb_init) usb_init = nullptr;
    decltype(&::usb_find_busses) usb_find_busses = nullptr;
    decltype(&::usb_find_devices) usb_find_devices = nullptr;
    decltype(&::usb_get_busses) usb_get_busses = nullptr;
    decltype(&::usb_open) usb_open = nullptr;
    decltype(&::usb_close) usb_close = nullptr;
    decltype(&::usb_control_msg) usb_control_msg = nullptr;
    decltype(&::usb_claim_interface) usb_claim_interface = nullptr;
    decltype(&::usb_release_interface) usb_release_interface = nullptr;
    decltype(&::usb_bulk_write) usb_bulk_write = nullptr;
    decltype(&::usb_bulk_read) usb_bulk_read = nullptr;
    decltype(&::usb_strerror) usb_strerror = nullptr;
};

inline constexpr const char* DefaultLibrary = "libusb-0.1.so.4";

// The functions, loaded by the first call; null when the library cannot be loaded.
const Functions* functions();

// Loads again and keeps the result for functions(): all twelve functions from
// the process's global scope when it has them (a preloaded simulator, or one
// linked into a test program), else from the shared object `library`.
const Functions* load(const char* library = DefaultLibrary, bool globalScopeFirst = true);

} // namespace usblib
