#pragma once

#include <QEvent>
#include <QPointer>
#include <QString>
#include <mutex>

#include "device/DeviceMessage.h"

namespace kavelo {

// Private window messages of the main window and its pop-ups.
constexpr int WM_MENU_COMMAND = 1027;

// A posted private message: id, wParam and a by-value payload (plus a text for
// messages such as menu commands that carry an item name).
class WindowMessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    WindowMessageEvent(int id, std::uintptr_t wParam, Payload lParam, QString text = {})
        : QEvent(EventType()),
          mId(id),
          mWParam(wParam),
          mLParam(std::move(lParam)),
          mText(std::move(text)) {}
    int Id() const { return mId; }
    std::uintptr_t WParam() const { return mWParam; }
    const Payload& LParam() const { return mLParam; }
    const QString& Text() const { return mText; }

private:
    int mId;
    std::uintptr_t mWParam;
    Payload mLParam;
    QString mText;
};

// Posts a private message to `receiver`; safe from any thread. Returns false when
// there is no receiver.
bool PostWindowMessage(QObject* receiver, int id, std::uintptr_t wParam = 0, Payload lParam = {},
                       const QString& text = {});

// The device link's sink for a window: posts each message as a WindowMessageEvent.
// Reset() detaches it (the window calls it before it goes away); messages posted
// afterwards are dropped. SetReceiver() hands a long-lived sink to another window.
class QtMessageSink : public MessageSink {
public:
    explicit QtMessageSink(QObject* receiver) : mReceiver(receiver) {}
    void Post(DeviceMessage message) override;
    void Reset() { SetReceiver(nullptr); }
    void SetReceiver(QObject* receiver);

private:
    std::mutex mMutex;
    QPointer<QObject> mReceiver;
};

}  // namespace kavelo
