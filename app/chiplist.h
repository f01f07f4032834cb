#pragma once
// The chip list file: one chip per line, "Name;Id;Size;PageSize;Type;SubType;Delay".
// Pure parsing; the main window puts the result into ChipTable and ComboBox1.
#include "app/chipinfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace chiplist {

struct ParseResult {
    // One record per line read. When a line fails, its record is the last
    // one: its name and the numbers converted before the failing field.
    std::vector<ChipInfo> chips;
    // The conversion error that stopped the loading
    // ("'<field>' is not a valid integer value"); empty when all lines loaded.
    std::optional<QString> error;
};

// Cuts the text before the first ';' off rest. No ';' left: the field is
// empty and rest stays as it is.
QString CutField(QString& rest);

ParseResult Parse(const QStringList& lines);
// The file's bytes: byte-order mark or GBK, CR LF / LF / CR line ends.
ParseResult ParseFile(const QByteArray& fileBytes);

// The name as the model list shows it.
QString DisplayName(const ChipInfo& chip);

// "%d B", "%d KB" or "%d MB" of a signed size, divisions truncating.
QString CapacityText(std::int32_t size);
// The capacity label: "容量 " + CapacityText.
QString CapacityCaption(std::int32_t size);

} // namespace chiplist
