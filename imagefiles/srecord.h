#pragma once
// Motorola S-record image files.
#include "imagefiles/hexfield.h"

#include <QString>
#include <cstdint>

// Reads fileName into buffer[0 .. maxSize); same contract as ReadIntelHexFile
// (result, boxes, slot handling, EFOpenError). A record whose count cannot
// even hold its address and checksum is refused with "Illegal Line found".
int ReadSRecordFile(platform::TFileStream** slot, const QString& fileName, unsigned char* buffer, int maxSize);

// Writes the header, data[0 .. length) as 16-byte S1, S2 or S3 records chosen
// by the length (all-0xFF records left out) and the matching end record.
// Returns false when a write or the close failed, and, without touching any
// file, for a negative length, a length above 4 GiB or null data with a
// positive length. EFCreateError passes to the caller.
bool WriteSRecordFile(platform::TFileStream** slot, const QString& fileName, const unsigned char* data,
                      std::int64_t length);
