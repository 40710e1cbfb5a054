#pragma once

#include <QValidator>

// Turns letters into capitals as they are typed or pasted, the way the
// edits of policy numbers and postal codes keep them.
class UpperCaseValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};
