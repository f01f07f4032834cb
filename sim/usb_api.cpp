// The libusb-0.1 API over the simulated bus.
#include "sim/sim_internal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>

struct usb_bus* usb_busses = nullptr;

namespace sim {
namespace {

using Lock = std::unique_lock<std::mutex>;

int fail(State& s, int code, const char* what)
{
    std::snprintf(s.lastError, sizeof s.lastError, "%s (%s)", what, std::strerror(-code));
    return code;
}

CallRecord* record(State& s, Call call, const Device* device)
{
    if (s.recording == Recording::Off)
        return nullptr;
    CallRecord& r = s.log.emplace_back();
    r.call = call;
    r.device = device != nullptr ? device->id : -1;
    return &r;
}

void noteData(State& s, CallRecord* r, const std::uint8_t* data, int n, bool copyAll)
{
    if (r == nullptr || s.recording != Recording::Full || n <= 0 || data == nullptr)
        return;
    r->headLength = std::min<int>(n, int(r->head.size()));
    std::memcpy(r->head.data(), data, std::size_t(r->headLength));
    if (copyAll)
        r->data.assign(data, data + n);
}

void trace(const State& s, const char* what, const Device* d, int endpoint, int length, int result)
{
    if (s.trace)
        std::fprintf(stderr, "qv750sim: %s device %d ep 0x%02x len %d -> %d\n", what, d != nullptr ? d->id : -1,
                     endpoint, length, result);
}

// The device behind a handle, or null when the handle is unknown, dead or unplugged.
Device* live(State& s, usb_dev_handle* handle)
{
    if (handle == nullptr || s.handles.count(handle) == 0 || handle->dead || handle->device == nullptr)
        return nullptr;
    return handle->device->present ? handle->device : nullptr;
}

// The wait keeps the lock: a transfer holds pointers into the device list and
// the call log, which another thread could move while it slept. One USB
// device serves one transfer at a time anyway.
void pace(State& s, Lock&)
{
    if (s.latencyUs <= 0)
        return;
    std::this_thread::sleep_for(std::chrono::microseconds(s.latencyUs));
}

// What the faults make of one transfer on `endpoint` that would move `size` bytes.
struct Outcome {
    int error = 0;       // negative: the transfer fails with it
    int shortBy = 0;     // bytes fewer than would have moved
    bool corrupt = false;
    std::uint8_t xorMask = 0;
    int corruptOffset = 0;
};

Outcome applyFaults(State& s, Device& d, int endpoint)
{
    Outcome out;
    ++d.stats.transfers;
    // Every watching fault counts the transfer, whichever of them fires.
    bool unplug = false, timeout = false;
    for (FaultState& f : d.faults) {
        if (f.fault.endpoint >= 0 && f.fault.endpoint != endpoint)
            continue;
        ++f.seen;
        if (f.fault.at != 0 && f.seen != f.fault.at)
            continue;
        switch (f.fault.kind) {
        case FaultKind::Unplug: unplug = true; break;
        case FaultKind::Timeout: timeout = true; break;
        case FaultKind::Short: out.shortBy += std::max(0, f.fault.shortBy); break;
        case FaultKind::Corrupt:
            out.corrupt = true;
            out.xorMask = f.fault.xorMask;
            out.corruptOffset = f.fault.corruptOffset;
            break;
        }
    }
    if (unplug) {
        d.present = false;
        out.error = fail(s, -ENODEV, "device unplugged");
    } else if (timeout) {
        out.error = fail(s, -ETIMEDOUT, "transfer timed out");
    }
    return out;
}

void corrupt(const Outcome& o, std::uint8_t* data, int n)
{
    if (!o.corrupt || n <= 0)
        return;
    data[std::clamp(o.corruptOffset, 0, n - 1)] ^= o.xorMask;
}

// What every data transfer (control, bulk) shares: the lock, the call record,
// the trace line and the checks made before the transfer reaches the device.
class Transfer {
public:
    Transfer(usb_dev_handle* dev, Call call, const char* what, int ep, int length, int timeout)
        : s(state()), lock(s.mutex), device(live(s, dev)), r(record(s, call, device)), name(what),
          endpoint(ep), size(length)
    {
        if (r != nullptr) {
            r->endpoint = ep;
            r->length = length;
            r->timeout = timeout;
        }
    }

    // Records and traces the result and returns it.
    int finish(int result)
    {
        if (r != nullptr)
            r->result = result;
        trace(s, name, device, endpoint, size, result);
        return result;
    }

    // The finished error when there is no device or the buffer is unusable.
    std::optional<int> refused(const void* bytes)
    {
        if (device == nullptr)
            return finish(fail(s, -ENODEV, "no such device"));
        if (size < 0 || (bytes == nullptr && size > 0))
            return finish(fail(s, -EINVAL, "bad buffer"));
        return std::nullopt;
    }

    // Applies the armed faults and the latency.
    Outcome faults()
    {
        const Outcome outcome = applyFaults(s, *device, endpoint);
        pace(s, lock);
        return outcome;
    }

    State& s;
    Lock lock;
    Device* const device;
    CallRecord* const r;

private:
    const char* const name;
    const int endpoint;
    const int size;
};

int stringDescriptor(const Device& d, int index, int langid, std::uint8_t* out)
{
    if (index == 0) {
        const std::uint8_t languages[4] = {4, USB_DT_STRING, 0x09, 0x04};
        std::memcpy(out, languages, 4);
        return 4;
    }
    if (langid != 0x0409)
        return -EPIPE;
    if (auto raw = d.options.rawStrings.find(index); raw != d.options.rawStrings.end()) {
        const int n = std::min<int>(int(raw->second.size()), 255);
        if (n > 0)
            std::memcpy(out, raw->second.data(), std::size_t(n));
        return n;
    }
    const std::u16string* text = nullptr;
    if (index == d.options.manufacturerIndex)
        text = &*d.options.manufacturer;
    else if (index == d.options.productIndex)
        text = &d.options.product;
    if (text == nullptr)
        return -EPIPE;
    const int units = std::min<int>(int(text->size()), 126);
    out[0] = std::uint8_t(2 + 2 * units);
    out[1] = USB_DT_STRING;
    for (int i = 0; i < units; ++i) {
        out[2 + 2 * i] = std::uint8_t((*text)[std::size_t(i)] & 0xFF);
        out[3 + 2 * i] = std::uint8_t((*text)[std::size_t(i)] >> 8);
    }
    return 2 + 2 * units;
}

int standardRequest(const Device& d, int request, int value, int index, std::uint8_t* out)
{
    if (request != USB_REQ_GET_DESCRIPTOR)
        return -EPIPE;
    switch (value >> 8) {
    case USB_DT_DEVICE: {
        const usb_device_descriptor& desc = d.usb.descriptor;
        const std::uint8_t bytes[18] = {18, USB_DT_DEVICE, 0x00, 0x02, desc.bDeviceClass, 0, 0, 64,
                                        std::uint8_t(desc.idVendor), std::uint8_t(desc.idVendor >> 8),
                                        std::uint8_t(desc.idProduct), std::uint8_t(desc.idProduct >> 8),
                                        0x00, 0x01, desc.iManufacturer, desc.iProduct, 0,
                                        desc.bNumConfigurations};
        std::memcpy(out, bytes, sizeof bytes);
        return sizeof bytes;
    }
    case USB_DT_STRING: return stringDescriptor(d, value & 0xFF, index, out);
    default: return -EPIPE;
    }
}

void relink(State& s)
{
    // Buses for every device ever added, in number order; only present devices are listed.
    for (auto& device : s.devices) {
        auto& bus = s.buses[device->options.bus];
        if (!bus) {
            bus = std::make_unique<Bus>();
            bus->number = device->options.bus;
            std::snprintf(bus->usb.dirname, sizeof bus->usb.dirname, "%03d", device->options.bus + 1);
            bus->usb.location = std::uint32_t(device->options.bus + 1);
        }
    }
    usb_bus* previousBus = nullptr;
    for (auto& [number, bus] : s.buses) {
        bus->usb.prev = previousBus;
        bus->usb.next = nullptr;
        if (previousBus != nullptr)
            previousBus->next = &bus->usb;
        previousBus = &bus->usb;
        struct usb_device* previous = nullptr;
        bus->usb.devices = nullptr;
        for (auto& device : s.devices) {
            device->listed = device->options.bus == number && device->present;
            if (!device->listed)
                continue;
            struct usb_device& u = device->usb;
            u.bus = &bus->usb;
            u.prev = previous;
            u.next = nullptr;
            if (previous != nullptr)
                previous->next = &u;
            else
                bus->usb.devices = &u;
            previous = &u;
        }
    }
    usb_busses = s.buses.empty() ? nullptr : &s.buses.begin()->second->usb;
}

} // namespace
} // namespace sim

using namespace sim;

extern "C" {

void usb_init(void)
{
    State& s = state();
    Lock lock(s.mutex);
    record(s, Call::Init, nullptr);
}

void usb_set_debug(int) {}

int usb_find_busses(void)
{
    State& s = state();
    Lock lock(s.mutex);
    const int before = int(s.buses.size());
    relink(s);
    s.scanned = true;
    const int result = int(s.buses.size()) - before;
    if (CallRecord* r = record(s, Call::FindBusses, nullptr))
        r->result = result;
    return result;
}

int usb_find_devices(void)
{
    State& s = state();
    Lock lock(s.mutex);
    int changes = 0;
    for (auto& device : s.devices)
        changes += device->listed != device->present ? 1 : 0;
    relink(s);
    if (CallRecord* r = record(s, Call::FindDevices, nullptr))
        r->result = changes;
    return changes;
}

struct usb_bus* usb_get_busses(void)
{
    State& s = state();
    Lock lock(s.mutex);
    record(s, Call::GetBusses, nullptr);
    return s.scanned ? usb_busses : nullptr;
}

usb_dev_handle* usb_open(struct usb_device* dev)
{
    State& s = state();
    Lock lock(s.mutex);
    Device* device = nullptr;
    for (auto& candidate : s.devices)
        if (&candidate->usb == dev)
            device = candidate.get();
    CallRecord* r = record(s, Call::Open, device);
    if (device == nullptr || !device->present) {
        fail(s, -ENODEV, "no such device");
        return nullptr;
    }
    if (device->options.refuseOpen) {
        fail(s, -EACCES, "open refused");
        return nullptr;
    }
    trace(s, "open", device, 0, 0, 0);
    auto* handle = new usb_dev_handle;
    handle->device = device;
    s.handles.insert(handle);
    ++device->openHandles;
    if (r != nullptr)
        r->result = 1;
    return handle;
}

int usb_close(usb_dev_handle* dev)
{
    State& s = state();
    Lock lock(s.mutex);
    if (dev == nullptr || s.handles.count(dev) == 0) {
        if (CallRecord* r = record(s, Call::Close, nullptr))
            r->result = -EBADF;
        return fail(s, -EBADF, "unknown handle");
    }
    Device* device = dev->dead ? nullptr : dev->device;
    if (CallRecord* r = record(s, Call::Close, device))
        r->result = 0;
    trace(s, "close", device, 0, 0, 0);
    if (device != nullptr) {
        --device->openHandles;
        device->claimed = -1;
    }
    s.handles.erase(dev);
    delete dev;
    return 0;
}

int usb_claim_interface(usb_dev_handle* dev, int interface)
{
    State& s = state();
    Lock lock(s.mutex);
    Device* device = live(s, dev);
    CallRecord* r = record(s, Call::Claim, device);
    int result = 0;
    if (device == nullptr)
        result = fail(s, -ENODEV, "no such device");
    else if (device->options.claimResult != 0)
        result = fail(s, device->options.claimResult, "claim refused");
    else if (interface != device->options.interfaceNumber)
        result = fail(s, -EINVAL, "no such interface");
    else
        device->claimed = interface;
    if (r != nullptr) {
        r->index = interface;
        r->result = result;
    }
    return result;
}

int usb_release_interface(usb_dev_handle* dev, int interface)
{
    State& s = state();
    Lock lock(s.mutex);
    Device* device = live(s, dev);
    CallRecord* r = record(s, Call::Release, device);
    int result = 0;
    if (device == nullptr)
        result = fail(s, -ENODEV, "no such device");
    else if (device->claimed != interface)
        result = fail(s, -EINVAL, "interface not claimed");
    else
        device->claimed = -1;
    if (r != nullptr) {
        r->index = interface;
        r->result = result;
    }
    return result;
}

int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index, char* bytes, int size,
                    int timeout)
{
    Transfer t(dev, Call::Control, "control", 0, size, timeout);
    if (t.r != nullptr) {
        t.r->requestType = requesttype;
        t.r->request = request;
        t.r->value = value;
        t.r->index = index;
    }
    if (const auto error = t.refused(bytes))
        return *error;
    const Outcome outcome = t.faults();
    if (outcome.error != 0)
        return t.finish(outcome.error);

    std::uint8_t reply[256];
    int n = -EPIPE;
    const bool in = (requesttype & USB_ENDPOINT_IN) != 0;
    if ((requesttype & 0x7F) == 0 && in) {
        n = standardRequest(*t.device, request, value, index, reply);
    } else if ((requesttype & 0x7F) == USB_TYPE_VENDOR && t.device->options.vendorRequests) {
        if (!in) {
            const int taken = std::max(0, size - outcome.shortBy);
            t.device->stats.bytesOut += taken;
            noteData(t.s, t.r, reinterpret_cast<const std::uint8_t*>(bytes), taken, true);
            return t.finish(taken);
        }
        const std::uint8_t setup[8] = {std::uint8_t(requesttype), std::uint8_t(request), std::uint8_t(value),
                                       std::uint8_t(value >> 8),  std::uint8_t(index),   std::uint8_t(index >> 8),
                                       std::uint8_t(size),        std::uint8_t(size >> 8)};
        std::memcpy(reply, setup, sizeof setup);
        n = sizeof setup;
    }
    if (n < 0)
        return t.finish(fail(t.s, n, "request stalled"));
    n = std::max(0, std::min(n, size) - outcome.shortBy);
    if (n > 0)
        std::memcpy(bytes, reply, std::size_t(n));
    corrupt(outcome, reinterpret_cast<std::uint8_t*>(bytes), n);
    t.device->stats.bytesIn += n;
    noteData(t.s, t.r, reinterpret_cast<const std::uint8_t*>(bytes), n, true);
    return t.finish(n);
}

int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout)
{
    Transfer t(dev, Call::BulkWrite, "bulk write", ep, size, timeout);
    if (const auto error = t.refused(bytes))
        return *error;
    const int target = ep & ~USB_ENDPOINT_IN; // the library drops a stray direction bit
    if (target != 0x04 && target != 0x05)
        return t.finish(fail(t.s, -EPIPE, "no such OUT endpoint"));
    const Outcome outcome = t.faults();
    if (outcome.error != 0)
        return t.finish(outcome.error);

    const int n = std::max(0, size - outcome.shortBy);
    const std::uint8_t* data = reinterpret_cast<const std::uint8_t*>(bytes);
    std::vector<std::uint8_t> damaged;
    if (outcome.corrupt && n > 0) {
        damaged.assign(data, data + n);
        corrupt(outcome, damaged.data(), n);
        data = damaged.data();
    }
    if (target == 0x04)
        t.device->firmware->command(data, n);
    else
        t.device->firmware->program(data, n);
    t.device->stats.bytesOut += n;
    noteData(t.s, t.r, data, n, target == 0x04);
    return t.finish(n);
}

int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout)
{
    Transfer t(dev, Call::BulkRead, "bulk read", ep, size, timeout);
    if (const auto error = t.refused(bytes))
        return *error;
    if ((ep | USB_ENDPOINT_IN) != 0x85)
        return t.finish(fail(t.s, -EPIPE, "no such IN endpoint"));
    const Outcome outcome = t.faults();
    if (outcome.error != 0)
        return t.finish(outcome.error);

    std::uint8_t* data = reinterpret_cast<std::uint8_t*>(bytes);
    bool wasReply = false;
    const int n = t.device->firmware->read(data, std::max(0, size - outcome.shortBy), &wasReply);
    corrupt(outcome, data, n);
    t.device->stats.bytesIn += n;
    noteData(t.s, t.r, data, n, wasReply);
    return t.finish(n);
}

char* usb_strerror(void)
{
    State& s = state();
    Lock lock(s.mutex);
    return s.lastError;
}

struct usb_device* usb_device(usb_dev_handle* dev)
{
    State& s = state();
    Lock lock(s.mutex);
    Device* device = live(s, dev);
    return device != nullptr ? &device->usb : nullptr;
}

int usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf, size_t buflen)
{
    return usb_control_msg(dev, USB_ENDPOINT_IN, USB_REQ_GET_DESCRIPTOR, (USB_DT_STRING << 8) + index, langid, buf,
                           int(std::min<size_t>(buflen, 255)), 1000);
}

int usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen)
{
    if (buf == nullptr || buflen == 0)
        return -EINVAL;
    char raw[256];
    const int n = usb_get_string(dev, index, 0x0409, raw, sizeof raw);
    if (n < 0)
        return n;
    if (n < 2 || raw[1] != USB_DT_STRING)
        return -EIO;
    const int length = std::min<int>(n, static_cast<unsigned char>(raw[0]));
    size_t out = 0;
    for (int i = 2; i + 1 < length && out + 1 < buflen; i += 2)
        buf[out++] = raw[i + 1] != 0 ? '?' : raw[i];
    buf[out] = '\0';
    return int(out);
}

int usb_get_descriptor(usb_dev_handle* udev, unsigned char type, unsigned char index, void* buf, int size)
{
    return usb_control_msg(udev, USB_ENDPOINT_IN, USB_REQ_GET_DESCRIPTOR, (type << 8) + index, 0,
                           static_cast<char*>(buf), size, 1000);
}

int usb_get_descriptor_by_endpoint(usb_dev_handle* udev, int, unsigned char type, unsigned char index, void* buf,
                                   int size)
{
    return usb_get_descriptor(udev, type, index, buf, size);
}

// The rest exist so a preloaded program never reaches the real library with
// one of our handles; each fails as a device without the feature would.
static int notSupported(usb_dev_handle* dev)
{
    State& s = state();
    Lock lock(s.mutex);
    Device* device = live(s, dev);
    record(s, Call::Other, device);
    return device == nullptr ? fail(s, -ENODEV, "no such device") : fail(s, -ENOSYS, "not simulated");
}

int usb_interrupt_write(usb_dev_handle* dev, int, const char*, int, int) { return notSupported(dev); }
int usb_interrupt_read(usb_dev_handle* dev, int, char*, int, int) { return notSupported(dev); }
int usb_set_configuration(usb_dev_handle* dev, int) { return notSupported(dev); }
int usb_set_altinterface(usb_dev_handle* dev, int) { return notSupported(dev); }
int usb_resetep(usb_dev_handle* dev, unsigned int) { return notSupported(dev); }
int usb_clear_halt(usb_dev_handle* dev, unsigned int) { return notSupported(dev); }
int usb_reset(usb_dev_handle* dev) { return notSupported(dev); }
int usb_get_driver_np(usb_dev_handle* dev, int, char*, unsigned int) { return notSupported(dev); }
int usb_detach_kernel_driver_np(usb_dev_handle* dev, int) { return notSupported(dev); }

} // extern "C"
