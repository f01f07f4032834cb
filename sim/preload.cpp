// Only in libqv750sim.so: the bus comes from the environment when the
// library is loaded, before the program makes its first libusb call.
#include "sim/sim.h"

#include <cstdio>

namespace {

__attribute__((constructor)) void configureSimulatedBus()
{
    for (const std::string& error : sim::configureFromEnvironment())
        std::fprintf(stderr, "qv750sim: ignored %s\n", error.c_str());
}

} // namespace
