#pragma once
// Lets into a text field only what code page 1250 can store, typed or pasted, so that a name is
// saved as the user sees it and never with characters replaced.

#include <QValidator>

namespace velor {

class Cp1250Validator : public QValidator {
    Q_OBJECT

public:
    explicit Cp1250Validator(QObject* parent = nullptr) : QValidator(parent) {}
    State validate(QString& input, int& pos) const override;
};

}  // namespace velor
