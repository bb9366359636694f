#include "ui/Cp1250Validator.h"

#include "ui/Cp1250.h"

namespace velor {

QValidator::State Cp1250Validator::validate(QString& input, int& /*pos*/) const {
    return fitsCp1250(input) ? Acceptable : Invalid;
}

}  // namespace velor
