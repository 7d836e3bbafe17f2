#pragma once

#include <QString>
#include <chrono>

#include "ui/Prompts.h"

namespace kavelo::bench {

// Answers every question with "yes" and every file dialog with `file`.
class QuietPrompts : public PromptOpener {
public:
    QString file;
    int Message(QWidget*, const QString&, const QString&, const QString[3], int) override {
        return 1;
    }
    QString FileName(QWidget*, bool, const QString&, const QString&) override { return file; }
};

// Mean time of one request/reply exchange with a virtual amplifier whose
// reports take `latency`: the unit of the exchange bounds.
double RoundTripMs(std::chrono::milliseconds latency);

}  // namespace kavelo::bench
