#pragma once
// Intel HEX image files.
#include "imagefiles/hexfield.h"

#include <QString>
#include <cstdint>

// Reads fileName into buffer[0 .. maxSize) and returns the highest address + 1
// of the data read; 0 after an error (shown with ShowFileError) and for a file
// without data records. The stream is opened into *slot (an empty slot; a null
// slot uses a private one) and freed, *slot = nullptr, before returning, also
// when something throws. A file that cannot be opened raises
// platform::EFOpenError to the caller. Bytes outside the data records keep
// what the caller had there. A negative maxSize or a null buffer act as 0.
int ReadIntelHexFile(platform::TFileStream** slot, const QString& fileName, unsigned char* buffer, int maxSize);

// Writes data[0 .. length) as 32-byte data records (all-0xFF records left
// out), an extended linear address record at every 64 KiB step and the end
// record. Returns false when a write or the close failed, and, without
// touching any file, for a negative length, a length above 4 GiB (beyond
// 32-bit addresses) or null data with a positive length. A file that cannot be
// created raises platform::EFCreateError to the caller.
bool WriteIntelHexFile(platform::TFileStream** slot, const QString& fileName, const unsigned char* data,
                       std::int64_t length);
