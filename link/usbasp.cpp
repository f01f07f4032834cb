#include "link/usbasp.h"

#include "link/usb_library.h"
#include "platform/seams.h"
#include "qv750_config.h"

#include <cerrno>
#include <cstring>

int TUsbBulk::ClaimedInterface = 0;

namespace {

constexpr int StringLanguageBufferSize = 256;
constexpr int UsEnglish = 0x0409;

// The interface number of alternate setting 0 of interface 0 of configuration 0,
// or false when the device's descriptor tree lacks one of those levels.
bool firstInterfaceNumber(const struct usb_device* dev, int& number)
{
    if (dev->descriptor.bNumConfigurations == 0 || dev->config == nullptr)
        return false;
    const usb_config_descriptor& config = dev->config[0];
    if (config.bNumInterfaces == 0 || config.interface == nullptr)
        return false;
    const usb_interface& iface = config.interface[0];
    if (iface.num_altsetting <= 0 || iface.altsetting == nullptr)
        return false;
    number = iface.altsetting[0].bInterfaceNumber;
    return true;
}

// The library behind an open handle; null while no device is open.
const usblib::Functions* openLibrary(usb_dev_handle* handle)
{
    return handle != nullptr ? usblib::functions() : nullptr;
}

} // namespace

const char* ExpectedManufacturer() { return QV750_USB_MANUFACTURER; }

TUsbBulk::TUsbBulk(QObject* owner) : QObject(owner) {}

int TUsbBulk::prog_open(int vendorId, int productId)
{
    // A handle still held would otherwise stay open with its interface claimed.
    if (DeviceHandle != nullptr)
        usbasp_bulk_close();

    // Without the library there is nothing to search: no call, no transfer.
    const usblib::Functions* usb = usblib::functions();
    if (usb == nullptr)
        return 0;
    usb->usb_init();
    usb->usb_find_busses();
    usb->usb_find_devices();

    for (usb_bus* bus = usb->usb_get_busses(); bus != nullptr; bus = bus->next) {
        for (struct usb_device* dev = bus->devices; dev != nullptr; dev = dev->next) {
            if (dev->descriptor.idVendor != vendorId || dev->descriptor.idProduct != productId)
                continue;
            DeviceHandle = usb->usb_open(dev);
            if (DeviceHandle == nullptr)
                continue;

            auto reports = [this](int index, const char* expected) {
                char text[StringLanguageBufferSize];
                return usbGetStringAscii(DeviceHandle, index, UsEnglish, text, sizeof text) >= 0 &&
                       std::strcmp(text, expected) == 0;
            };
            // A wrong manufacturer ends the checks before the product is asked for.
            const bool accepted = reports(dev->descriptor.iManufacturer, ExpectedManufacturer()) &&
                                  reports(dev->descriptor.iProduct, ExpectedProduct);

            int number = 0;
            if (accepted && firstInterfaceNumber(dev, number)) {
                ClaimedInterface = number;
                if (usb->usb_claim_interface(DeviceHandle, number) == 0)
                    return 1;
            }
            usb->usb_close(DeviceHandle);
            DeviceHandle = nullptr;
        }
    }
    return 0;
}

int TUsbBulk::usbGetStringAscii(usb_dev_handle* dev, int index, int langid, char* buf, int buflen)
{
    // The caller compares the text whatever we return, so it must always be a string.
    if (buf != nullptr && buflen > 0)
        buf[0] = '\0';

    const usblib::Functions* usb = openLibrary(dev);
    if (usb == nullptr)
        return -ENODEV;
    unsigned char reply[StringLanguageBufferSize] = {};
    int n = usb->usb_control_msg(dev, USB_ENDPOINT_IN, USB_REQ_GET_DESCRIPTOR, (USB_DT_STRING << 8) + index,
                                 langid, reinterpret_cast<char*>(reply), sizeof reply, StringTimeoutMs);
    if (n < 0)
        return n;
    if (n < 2 || reply[1] != USB_DT_STRING)
        return 0;
    if (n > static_cast<int>(sizeof reply))
        n = sizeof reply;
    if (reply[0] < n)
        n = reply[0];
    if (buf == nullptr || buflen <= 0)
        return 0;

    const int units = n / 2 - 1;
    int stored = 0;
    for (int i = 0; i < units && stored < buflen - 1; ++i) {
        const unsigned char low = reply[2 + 2 * i];
        const unsigned char high = reply[3 + 2 * i];
        if (low == 0 && high == 0)
            break;
        buf[stored++] = high != 0 ? '?' : static_cast<char>(low);
    }
    buf[stored] = '\0';
    return stored;
}

int TUsbBulk::usbasp_bulk_cmd(unsigned char* buf, int len, int readback)
{
    if (buf == nullptr || len < 0)
        return -EINVAL;
    const usblib::Functions* usb = openLibrary(DeviceHandle);
    const int written = usb != nullptr ? usb->usb_bulk_write(DeviceHandle, CommandEndpoint,
                                                             reinterpret_cast<const char*>(buf), len, BulkTimeoutMs)
                                       : -ENODEV;
    if (readback == 0)
        return written;
    platform::Sleep(ReadBackPauseMs);
    const int replied = usbasp_bulk_read(buf, len);
    // The read-back is made whatever the write did, but a command that never
    // fully went out must not pass for a good exchange: the caller hears
    // about the write.
    return written != len ? written : replied;
}

int TUsbBulk::usbasp_bulk_write(unsigned char* buf, int len)
{
    if (buf == nullptr || len < 0)
        return -EINVAL;
    const usblib::Functions* usb = openLibrary(DeviceHandle);
    if (usb == nullptr)
        return -ENODEV;
    return usb->usb_bulk_write(DeviceHandle, DataOutEndpoint, reinterpret_cast<const char*>(buf), len, BulkTimeoutMs);
}

int TUsbBulk::usbasp_bulk_read(unsigned char* buf, int len)
{
    if (buf == nullptr || len < 0)
        return -EINVAL;
    const usblib::Functions* usb = openLibrary(DeviceHandle);
    if (usb == nullptr)
        return -ENODEV;
    return usb->usb_bulk_read(DeviceHandle, InEndpoint, reinterpret_cast<char*>(buf), len, BulkTimeoutMs);
}

void TUsbBulk::usbasp_bulk_close()
{
    const usblib::Functions* usb = openLibrary(DeviceHandle);
    if (usb != nullptr) {
        usb->usb_release_interface(DeviceHandle, ClaimedInterface);
        usb->usb_close(DeviceHandle);
    }
    DeviceHandle = nullptr;
}

int TUsbBulk::usbasp_transmit(unsigned char receive, unsigned char functionid, const unsigned char send[4],
                              unsigned char* buffer, int buffersize)
{
    const usblib::Functions* usb = openLibrary(DeviceHandle);
    if (usb == nullptr || send == nullptr || buffersize < 0 || (buffer == nullptr && buffersize > 0))
        return -1;
    const int requestType = USB_TYPE_VENDOR | USB_RECIP_DEVICE | (receive != 0 ? USB_ENDPOINT_IN : USB_ENDPOINT_OUT);
    const int n = usb->usb_control_msg(DeviceHandle, requestType, functionid, send[1] * 256 + send[0],
                                       send[3] * 256 + send[2], reinterpret_cast<char*>(buffer), buffersize,
                                       ControlTimeoutMs);
    return n < 0 ? -1 : n;
}
