// The number a control's name carries, as the field binding and the row handlers read it.

#include <gtest/gtest.h>

#include <QString>

#include "ui/ControlNumber.h"

namespace velor {
namespace {

TEST(ControlNumber, ReadsTheDecimalAfterTheFirstUnderscore) {
    struct Case {
        const char* name;
        int number;
    };
    const Case cases[] = {
        {"Edit_50", 50},
        {"ComboBox_210", 210},
        {"TEReg_5", 5},
        {"BitBtn_12", 12},
        {"Edit_0", 0},
        {"25", 25},
        {"Label_1_2", -1},
        {"E_1", 1},
        {"Edit_025", -1},
        {"Edit_00", -1},
        {"Edit_+25", -1},
        {"Edit_-5", -1},
        {"Edit_ 25", -1},
        {"Edit_25 ", -1},
        {"Edit_", -1},
        {"BitBtn1", -1},
        {"", -1},
        {"Edit_2147483647", 2147483647},
        {"Edit_2147483648", -1},
        {"Edit_\xd9\xa3", -1},  // an Arabic-Indic digit is not a decimal digit here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(controlNumber(QString::fromUtf8(c.name)), c.number);
    }
}

}  // namespace
}  // namespace velor
