#pragma once
// One chip model of the chip list file.
#include <QByteArray>
#include <cstdint>

struct ChipInfo {
    QByteArray Name;        // 8-bit ANSI (GBK) text, as sent to the programmer
    std::int32_t Id = 0;    // 0xMMTTCC JEDEC bytes; 0 for 24-series parts
    std::int32_t Size = 0;  // bytes
    std::int16_t PageSize = 0;
    std::uint8_t Type = 0;  // 0 whole-chip erase, 1 page erase, 2+ read only without ID check
    std::uint8_t SubType = 0;
    std::int32_t Delay = 0; // limit of erase status polls
};
