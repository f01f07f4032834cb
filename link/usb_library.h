#pragma once
// The libusb-0.1 functions the link calls, found at run time: the program
// starts without the library, and opening fails while it cannot be loaded.
#include <usb.h>

namespace usblib {

// Every function the link calls, each once.
#define QV750_USB_FUNCTIONS(X)                                                                    \
    X(usb_init) X(usb_find_busses) X(usb_find_devices) X(usb_get_busses) X(usb_open) X(usb_close) \
    X(usb_control_msg) X(usb_claim_interface) X(usb_release_interface) X(usb_bulk_write)          \
    X(usb_bulk_read) X(usb_strerror)

struct Functions {
#define QV750_USB_SLOT(name) decltype(&::name) name = nullptr;
    QV750_USB_FUNCTIONS(QV750_USB_SLOT)
#undef QV750_USB_SLOT
};

inline constexpr const char* DefaultLibrary = "libusb-0.1.so.4";

// The functions, loaded by the first call; null when the library cannot be loaded.
const Functions* functions();

// Loads again and keeps the result for functions(): all twelve functions from
// the process's global scope when it has them (a preloaded simulator, or one
// linked into a test program), else from the shared object `library`.
const Functions* load(const char* library = DefaultLibrary, bool globalScopeFirst = true);

} // namespace usblib
