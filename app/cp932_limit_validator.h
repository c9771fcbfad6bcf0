// Keeps an edit box's text within a number of code page 932 bytes, the unit
// in which the box's text limit is counted (a double-byte character counts
// two).
#pragma once

#include <QValidator>

namespace kt {

class TCp932LimitValidator : public QValidator {
    Q_OBJECT

public:
    TCp932LimitValidator(int maxBytes, QObject* parent = nullptr)
        : QValidator(parent), FMaxBytes(maxBytes) {}
    int MaxBytes() const { return FMaxBytes; }
    State validate(QString& input, int& pos) const override;

private:
    int FMaxBytes;
};

}  // namespace kt
