#pragma once
// The state of the module configuration: the two configurations with their parameter blocks,
// the sensor table, the file names, the port settings kept for a configuration send and the send
// flags that the editors set for the main loop. One instance, owned by the application.

#include <cstdint>
#include <set>
#include <string>

#include "config/AnalogRecords.h"
#include "config/BinaryRecords.h"
#include "config/SensorTable.h"

namespace velor {

struct ConfigState {
    velor::AnalogConfig AnalogConfig{};
    velor::BinaryConfig BinaryConfig{};
    velor::AnalogImage AnalogImage{};
    velor::BinaryImage BinaryImage{};

    SensorTableArray SensorTable{};
    std::int32_t SensorLastIndex = 0;

    // Code page 1250 texts of at most 255 characters. A directory that is set ends with a
    // separator; the path of a file is its directory followed directly by its name.
    std::string AnalogFileName = "KonfigA.cfa";
    std::string BinaryFileName = "KonfigB.cfb";
    std::string AnalogDirectory;
    std::string BinaryDirectory;

    // Port settings of channel 1 as loaded (restored before a send) and as chosen in an editor
    // (switched to after a send).
    std::uint8_t RestorePortNumber = 0;
    std::uint16_t RestoreBaudIndex = 0;
    std::uint8_t TargetPortNumber = 0;
    std::uint16_t TargetBaudIndex = 0;

    // Set by the editors, read by the main loop: a send is pending and its target (no target
    // flag for the analog module).
    bool SendPending = false;
    bool SendBinaryInputs = false;
    bool SendBinaryOutputs = false;
    bool SendMokr = false;
    bool SendZepa = false;

    // The system's decimal separator, which the range columns of the sensor file may use.
    char DecimalChar = '.';

    // Write failures shown to the user (file and reason) since the last successful write or
    // save asked for by the user, so that loads writing a file several times report it once.
    std::set<std::string> ShownWriteFailures;

    // Directory against which relative file paths and "ParamIOI.cfw" are resolved, UTF-8;
    // empty = the current directory.
    std::string WorkDirectory;
};

}  // namespace velor
