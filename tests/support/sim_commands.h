#pragma once
// The command blocks the program sent to the simulated programmer, read back
// from the sim's call log (header only: only tests that link the sim use it).
#include "sim/sim.h"

#include <vector>

namespace testsupport {

// Command blocks sent on the command endpoint (0x04), in order; with a code,
// only the blocks carrying that command code.
inline std::vector<sim::CallRecord> SentCommands(int code = -1)
{
    std::vector<sim::CallRecord> out;
    for (const auto& r : sim::calls(sim::Call::BulkWrite))
        if (r.endpoint == 0x04 && r.headLength >= 2 && (code < 0 || r.head[1] == code))
            out.push_back(r);
    return out;
}

// The command codes of the blocks sent, in order.
inline std::vector<int> SentCommandCodes()
{
    std::vector<int> codes;
    for (const auto& r : SentCommands())
        codes.push_back(r.head[1]);
    return codes;
}

} // namespace testsupport
