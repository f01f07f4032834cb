#pragma once
// The programmer link: finds the programmer on the USB bus, claims its
// interface and carries command blocks and data blocks. Shows nothing;
// every result goes back to the caller.
#include <QObject>

struct usb_dev_handle;

class TUsbBulk : public QObject {
    Q_OBJECT
public:
    // Opens nothing; the destructor closes nothing.
    explicit TUsbBulk(QObject* owner = nullptr);

    // 1 when a device is open and its interface claimed, else 0.
    int prog_open(int vendorId, int productId);
    // Characters stored, 0 for a reply that is not a string descriptor,
    // or the negative libusb error.
    int usbGetStringAscii(usb_dev_handle* dev, int index, int langid, char* buf, int buflen);
    // Sends len bytes to the command endpoint; with readback, waits 50 ms and
    // reads the reply into the same buffer. Result of the last transfer.
    int usbasp_bulk_cmd(unsigned char* buf, int len, int readback);
    int usbasp_bulk_write(unsigned char* buf, int len);
    int usbasp_bulk_read(unsigned char* buf, int len);
    void usbasp_bulk_close();
    int usbasp_transmit(unsigned char receive, unsigned char functionid, const unsigned char send[4],
                        unsigned char* buffer, int buffersize);

    bool isOpen() const { return DeviceHandle != nullptr; }

    usb_dev_handle* DeviceHandle = nullptr;
    static int ClaimedInterface; // one value for the whole program

    static constexpr int VendorId = 0x1FC8;
    static constexpr int ProductId = 0x300B;
    static constexpr unsigned char CommandEndpoint = 0x04;
    static constexpr unsigned char DataOutEndpoint = 0x05;
    static constexpr unsigned char InEndpoint = 0x85;
    static constexpr int BulkTimeoutMs = 5000;
    static constexpr int StringTimeoutMs = 1000;
    static constexpr int ControlTimeoutMs = 7000; // vendor requests (usbasp_transmit)
    static constexpr int ReadBackPauseMs = 50;
};

// The strings the programmer must report.
const char* ExpectedManufacturer();
inline constexpr const char* ExpectedProduct = "WinUSBComm Device";
