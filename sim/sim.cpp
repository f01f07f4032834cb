#include "sim/sim_internal.h"

#include "qv750_config.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <stdexcept>

namespace sim {

State& state()
{
    // Built on first use, so the preload constructor may run before other statics.
    static State* s = new State;
    return *s;
}

Device* findDevice(State& s, DeviceId id)
{
    for (auto& device : s.devices)
        if (device->id == id)
            return device.get();
    return nullptr;
}

namespace {

Device& deviceOrThrow(State& s, DeviceId id)
{
    Device* device = findDevice(s, id);
    if (device == nullptr)
        throw std::out_of_range("sim: no device " + std::to_string(id));
    return *device;
}

// Runs f on the device under the lock; an unknown id throws.
template <class F>
decltype(auto) onDevice(DeviceId id, F&& f)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    return f(deviceOrThrow(s, id));
}

std::u16string latin1ToUtf16(const char* text)
{
    std::u16string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        out.push_back(char16_t(*p));
    return out;
}

void buildDescriptors(Device& d)
{
    const DeviceOptions& o = d.options;
    usb_device_descriptor& desc = d.usb.descriptor;
    desc.bLength = USB_DT_DEVICE_SIZE;
    desc.bDescriptorType = USB_DT_DEVICE;
    desc.bcdUSB = 0x0200;
    desc.bDeviceClass = 0xFF;
    desc.bMaxPacketSize0 = 64;
    desc.idVendor = o.vendorId;
    desc.idProduct = o.productId;
    desc.bcdDevice = 0x0100;
    desc.iManufacturer = o.manufacturerIndex;
    desc.iProduct = o.productIndex;
    desc.bNumConfigurations = o.tree == Tree::NoConfiguration ? 0 : 1;
    std::snprintf(d.usb.filename, sizeof d.usb.filename, "%03d", d.id);
    d.usb.config = o.tree == Tree::NoConfiguration ? nullptr : &d.config;

    d.config.bLength = USB_DT_CONFIG_SIZE;
    d.config.bDescriptorType = USB_DT_CONFIG;
    d.config.bConfigurationValue = 1;
    d.config.bNumInterfaces = o.tree == Tree::NoInterface ? 0 : 1;
    d.config.interface = o.tree == Tree::NoInterface ? nullptr : &d.iface;

    d.iface.num_altsetting = o.tree == Tree::NoAltSetting ? 0 : 1;
    d.iface.altsetting = o.tree == Tree::NoAltSetting ? nullptr : &d.alt;

    d.alt.bLength = USB_DT_INTERFACE_SIZE;
    d.alt.bDescriptorType = USB_DT_INTERFACE;
    d.alt.bInterfaceNumber = std::uint8_t(o.interfaceNumber);
    d.alt.bNumEndpoints = 3;
    d.alt.bInterfaceClass = 0xFF;
    d.alt.endpoint = d.endpoints.data();
    const std::uint8_t addresses[3] = {0x04, 0x05, 0x85};
    for (int i = 0; i < 3; ++i) {
        usb_endpoint_descriptor& ep = d.endpoints[std::size_t(i)];
        ep.bLength = USB_DT_ENDPOINT_SIZE;
        ep.bDescriptorType = USB_DT_ENDPOINT;
        ep.bEndpointAddress = addresses[i];
        ep.bmAttributes = USB_ENDPOINT_TYPE_BULK;
        ep.wMaxPacketSize = 64;
    }
}

} // namespace

void resetLocked(State& s)
{
    for (usb_dev_handle* handle : s.handles) {
        handle->dead = true;
        handle->device = nullptr;
    }
    // Dead handles stay valid objects so a late usb_close finds them.
    s.devices.clear();
    s.buses.clear();
    s.log.clear();
    s.recording = Recording::Full;
    s.latencyUs = 0;
    s.scanned = false;
    s.trace = false;
    usb_busses = nullptr;
}

DeviceId addDeviceLocked(State& s, const DeviceOptions& options)
{
    auto device = std::make_unique<Device>();
    device->id = s.nextId++;
    device->options = options;
    if (!device->options.manufacturer)
        device->options.manufacturer = latin1ToUtf16(QV750_USB_MANUFACTURER);
    device->firmware = std::make_unique<Firmware>(options.chip);
    buildDescriptors(*device);
    const DeviceId id = device->id;
    s.devices.push_back(std::move(device));
    return id;
}

void reset()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    resetLocked(s);
}

DeviceId addDevice(const DeviceOptions& options)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    return addDeviceLocked(s, options);
}

void unplug(DeviceId device)
{
    onDevice(device, [](Device& d) { d.present = false; });
}

bool present(DeviceId device)
{
    return onDevice(device, [](Device& d) { return d.present; });
}

void addFault(DeviceId device, const Fault& fault)
{
    onDevice(device, [&](Device& d) { d.faults.push_back({fault, 0}); });
}

void clearFaults(DeviceId device)
{
    onDevice(device, [](Device& d) { d.faults.clear(); });
}

void setLatencyUs(int microseconds)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.latencyUs = microseconds < 0 ? 0 : microseconds;
}

std::vector<std::uint8_t>& memory(DeviceId device)
{
    return onDevice(device, [](Device& d) -> std::vector<std::uint8_t>& { return d.firmware->memory; });
}

const FirmwareState& firmware(DeviceId device)
{
    return onDevice(device, [](Device& d) -> const FirmwareState& { return d.firmware->state; });
}

int openHandles(DeviceId device)
{
    return onDevice(device, [](Device& d) { return d.openHandles; });
}

int claimedInterface(DeviceId device)
{
    return onDevice(device, [](Device& d) { return d.claimed; });
}

Stats stats(DeviceId device)
{
    return onDevice(device, [](Device& d) { return d.stats; });
}

void setRecording(Recording level)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.recording = level;
}

const std::vector<CallRecord>& log() { return state().log; }

std::vector<CallRecord> calls(Call kind)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::vector<CallRecord> out;
    for (const CallRecord& record : s.log)
        if (record.call == kind)
            out.push_back(record);
    return out;
}

void clearLog()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.log.clear();
}

void notePause(int ms)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.recording == Recording::Off)
        return;
    CallRecord record;
    record.call = Call::Pause;
    record.length = ms;
    s.log.push_back(std::move(record));
}

namespace {

bool parseNumber(const char* text, int base, unsigned long long max, unsigned long long& value)
{
    if (text == nullptr || *text == '\0')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, base);
    if (errno != 0 || *end != '\0' || v > max || text[0] == '-')
        return false;
    value = v;
    return true;
}

// The value that `text` names in `names`.
template <class T>
std::optional<T> valueNamed(const std::string& text, std::initializer_list<std::pair<const char*, T>> names)
{
    for (const auto& [name, value] : names)
        if (text == name)
            return value;
    return std::nullopt;
}

// Decimal, or hexadecimal with 0x.
bool parseByteOrHex(const std::string& text, unsigned long long max, unsigned long long& value)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    return parseNumber(hex ? text.c_str() + 2 : text.c_str(), hex ? 16 : 10, max, value);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
        parts.push_back(trimmed(text.substr(from, at - from)));
    parts.push_back(trimmed(text.substr(from)));
    return parts;
}

// One entry of QV750_SIM_FAULTS: "kind[,key=value...]"; the reason when it is malformed.
std::optional<std::string> parseFault(const std::string& entry, Fault& fault)
{
    const std::vector<std::string> items = split(entry, ',');
    const std::string& kind = items[0];
    const auto named = valueNamed<FaultKind>(kind, {{"unplug", FaultKind::Unplug},
                                                    {"timeout", FaultKind::Timeout},
                                                    {"short", FaultKind::Short},
                                                    {"corrupt", FaultKind::Corrupt}});
    if (!named)
        return "expected unplug, timeout, short or corrupt first";
    fault.kind = *named;
    for (std::size_t i = 1; i < items.size(); ++i) {
        const std::size_t equals = items[i].find('=');
        const std::string key = trimmed(items[i].substr(0, equals));
        const std::string text = equals == std::string::npos ? std::string() : trimmed(items[i].substr(equals + 1));
        unsigned long long v = 0;
        if (key == "at") {
            if (!parseNumber(text.c_str(), 10, 1ull << 40, v))
                return "at: expected a transfer count (0 for every transfer)";
            fault.at = static_cast<long long>(v);
        } else if (key == "ep") {
            if (text == "all")
                fault.endpoint = -1;
            else if (parseByteOrHex(text, 0xFF, v))
                fault.endpoint = int(v);
            else
                return "ep: expected an endpoint 0 to 0xFF (0 for control transfers) or all";
        } else if (key == "by" && fault.kind == FaultKind::Short) {
            if (!parseNumber(text.c_str(), 10, 0xFFFF, v) || v == 0)
                return "by: expected a number of bytes 1 to 65535";
            fault.shortBy = int(v);
        } else if (key == "mask" && fault.kind == FaultKind::Corrupt) {
            if (!parseByteOrHex(text, 0xFF, v) || v == 0)
                return "mask: expected a byte 1 to 0xFF";
            fault.xorMask = std::uint8_t(v);
        } else if (key == "offset" && fault.kind == FaultKind::Corrupt) {
            if (!parseNumber(text.c_str(), 10, 0xFFFF, v))
                return "offset: expected a byte offset 0 to 65535";
            fault.corruptOffset = int(v);
        } else {
            return "no " + key + " for " + kind;
        }
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> configureFromEnvironment()
{
    std::vector<std::string> errors;
    auto reject = [&](const char* name, const char* value, const char* why) {
        errors.push_back(std::string(name) + "=" + value + ": " + why);
    };
    auto number = [&](const char* name, int base, unsigned long long max, auto apply) {
        const char* text = std::getenv(name);
        if (text == nullptr)
            return;
        unsigned long long value = 0;
        if (parseNumber(text, base, max, value))
            apply(value);
        else
            reject(name, text, base == 16 ? "expected a hexadecimal number" : "expected a number in range");
    };

    DeviceOptions device;
    ChipOptions& chip = device.chip;
    std::vector<Fault> faults; // all on the one programmer
    int latency = 0;

    if (const char* id = std::getenv("QV750_SIM_CHIP_ID")) {
        const char* digits = (id[0] == '0' && (id[1] == 'x' || id[1] == 'X')) ? id + 2 : id;
        unsigned long long value = 0;
        if (parseNumber(digits, 16, 0xFFFFFF, value))
            chip.id = std::uint32_t(value);
        else
            reject("QV750_SIM_CHIP_ID", id, "expected up to six hexadecimal digits");
    }
    number("QV750_SIM_CHIP_SIZE", 10, 0x4000000ull, [&](auto v) { chip.size = std::uint32_t(v); });
    number("QV750_SIM_PAGE_SIZE", 10, 0xFFFF, [&](auto v) { chip.pageSize = std::uint32_t(v); });
    number("QV750_SIM_ERASE_POLLS", 10, 1000000, [&](auto v) { chip.erasePolls = int(v); });
    number("QV750_SIM_LATENCY_US", 10, 10000000, [&](auto v) { latency = int(v); });
    number("QV750_SIM_UNPLUG_AT", 10, 1ull << 40, [&](auto v) {
        if (v > 0) // 0 is never
            faults.push_back({FaultKind::Unplug, static_cast<long long>(v)});
    });
    if (const char* list = std::getenv("QV750_SIM_FAULTS")) {
        for (const std::string& entry : split(list, ';')) {
            if (entry.empty())
                continue;
            Fault fault;
            if (const auto why = parseFault(entry, fault))
                reject("QV750_SIM_FAULTS", entry.c_str(), why->c_str());
            else
                faults.push_back(fault);
        }
    }
    if (const char* type = std::getenv("QV750_SIM_CHIP_TYPE")) {
        const auto named = valueNamed<ChipType>(type, {{"0", ChipType::Nor},
                                                       {"1", ChipType::PageErase},
                                                       {"3", ChipType::Status3},
                                                       {"24", ChipType::Eeprom24},
                                                       {"none", ChipType::None}});
        if (named)
            chip.type = *named;
        else
            reject("QV750_SIM_CHIP_TYPE", type, "expected 0, 1, 3, 24 or none");
    }
    if (const char* path = std::getenv("QV750_SIM_IMAGE")) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            reject("QV750_SIM_IMAGE", path, "cannot open the file");
        } else {
            // Never more than the chip holds: the name may be a device or a pipe without end.
            std::vector<std::uint8_t> image(chip.size);
            file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
            image.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
            chip.image = std::move(image);
        }
    }
    const char* absent = std::getenv("QV750_SIM_ABSENT");
    const bool noProgrammer = absent != nullptr && std::string(absent) == "1";
    const char* traceText = std::getenv("QV750_SIM_TRACE");
    const bool trace = traceText != nullptr && std::string(traceText) == "1";

    State& s = state();
    std::lock_guard lock(s.mutex);
    resetLocked(s);
    // A long run of the program would otherwise grow the log without end.
    s.recording = Recording::Off;
    s.latencyUs = latency;
    s.trace = trace;
    if (!noProgrammer) {
        Device* programmer = findDevice(s, addDeviceLocked(s, device));
        for (const Fault& fault : faults)
            programmer->faults.push_back({fault, 0});
    }
    return errors;
}

} // namespace sim
