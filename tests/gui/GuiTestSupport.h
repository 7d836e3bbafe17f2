#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace kavelo::test {

// Runs `action` on the first modal window that appears after the caller enters a
// modal loop. Polls the event loop; gives up after `timeoutMs` so a test never hangs
// (the action then gets nullptr and should fail the test).
inline void WhenModalShown(std::function<void(QWidget*)> action, QWidget* notThis = nullptr,
                           int timeoutMs = 5000) {
    auto* clock = new QElapsedTimer;
    clock->start();
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, clock, action, notThis, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool ready = modal && modal != notThis && modal->isVisible();
        if (!ready && clock->elapsed() < timeoutMs) return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        action(ready ? modal : nullptr);
    });
    poll->start(5);
}

}  // namespace kavelo::test
