#pragma once
// Shared between the simulator's own sources only.
#include "sim/sim.h"

#include <memory>
#include <mutex>
#include <unordered_set>
#include <usb.h>

namespace sim {

// Firmware and chip of one programmer.
class Firmware {
public:
    explicit Firmware(const ChipOptions& chip);

    // A command block from endpoint 0x04; false when it was rejected.
    bool command(const std::uint8_t* block, int length);
    // Data to endpoint 0x05: programs consecutive bytes from the stream address.
    void program(const std::uint8_t* data, int length);
    // A read from endpoint 0x85: the pending reply, else consecutive chip bytes.
    // Returns the number of bytes stored.
    int read(std::uint8_t* data, int length, bool* wasReply);

    ChipOptions chip;
    std::vector<std::uint8_t> memory;
    FirmwareState state;

private:
    void erase(const std::uint8_t* block);
    void identify(std::uint8_t* reply) const;

    std::array<std::uint8_t, 64> reply_{};
    int busyPollsLeft_ = 0;
};

struct FaultState {
    Fault fault;
    long long seen = 0;
};

struct Device {
    DeviceId id = 0;
    DeviceOptions options;
    bool present = true;
    bool listed = false; // in the bus list of the last scan
    int openHandles = 0;
    int claimed = -1;
    Stats stats;
    std::vector<FaultState> faults;
    std::unique_ptr<Firmware> firmware;

    // The libusb view of the device; stays put for the device's lifetime.
    struct usb_device usb{};
    usb_config_descriptor config{};
    usb_interface iface{};
    usb_interface_descriptor alt{};
    std::array<usb_endpoint_descriptor, 3> endpoints{};
};

struct Bus {
    int number = 0;
    usb_bus usb{};
};

struct State {
    std::mutex mutex;
    std::vector<std::unique_ptr<Device>> devices;
    std::map<int, std::unique_ptr<Bus>> buses;
    std::unordered_set<usb_dev_handle*> handles;
    std::vector<CallRecord> log;
    Recording recording = Recording::Full;
    int latencyUs = 0;
    bool scanned = false;
    bool trace = false; // every transfer to stderr
    int nextId = 1;
    char lastError[128] = "no error";
};

State& state();
Device* findDevice(State& s, DeviceId id);
void resetLocked(State& s);
DeviceId addDeviceLocked(State& s, const DeviceOptions& options);

} // namespace sim

// The handle libusb-0.1 leaves opaque; ours points at the simulated device.
struct usb_dev_handle {
    sim::Device* device = nullptr;
    bool dead = false; // the bus was reset under it
};
