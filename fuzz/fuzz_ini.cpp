// Settings file reader: arbitrary bytes as the INI file, then the reads the
// main window makes, a write and a flush through the temporary file.
#include "platform/inifile.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& iniPath()
{
    static const std::string path = [] {
        char folder[] = "/tmp/qv750-fuzz-ini-XXXXXX";
        if (!::mkdtemp(folder))
            std::abort();
        return std::string(folder) + "/qv750.ini";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = iniPath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);

    const QString name = QString::fromStdString(path);
    {
        platform::TIniFile ini(name);
        volatile long sink = 0;
        sink += ini.ReadBool("Environment", "FormMax", false);
        for (const char* key : {"FormTop", "FormLeft", "FormHeight", "FormWidth"})
            sink += ini.ReadInteger("Environment", key, 10);
        sink += ini.ReadInteger("Programmer", "CpuType", 0);
        sink += ini.ReadInteger("Programmer", "SPEED", 0);
        for (const char* key : {"CHECKID", "ERASE", "WRITE", "VERITY"})
            sink += ini.ReadBool("Programmer", key, true);
        sink += ini.ReadString("PROGRAM", "Path", QString()).size();
        sink += ini.SectionExists("PROGRAM");
        sink += ini.ValueExists("Programmer", "SPEED");
        (void)sink;

        ini.WriteInteger("Environment", "FormTop", -5);
        ini.WriteBool("Programmer", "CHECKID", false);
        ini.UpdateFile();
        // Reading back must see what was written, whatever the file held.
        if (ini.ReadInteger("Environment", "FormTop", 0) != -5 || ini.ReadBool("Programmer", "CHECKID", true))
            std::abort();
    }
    {
        platform::TIniFile again(name);
        if (again.ReadInteger("Environment", "FormTop", 0) != -5)
            std::abort();
    }
    return 0;
}
