#pragma once
// Everything the program keeps for its whole run, in one place: the program's assembly
// (app/Program) creates it and hands it by reference to the windows and the code that use it.

#include "comm/CommState.h"
#include "config/ConfigState.h"
#include "modules/AnswerDecoder.h"
#include "modules/UnitSelections.h"
#include "monitor/MainLoopState.h"
#include "ui/FieldTable.h"

namespace velor {

// The application property that names the help file.
inline constexpr const char* kHelpFileProperty = "helpFile";

struct AppState {
    CommState comm;
    ConfigState config;
    UnitSelections selections;
    DecoderState decoder;
    MainLoopState loop;
    FieldBindingState fields;
};

}  // namespace velor
