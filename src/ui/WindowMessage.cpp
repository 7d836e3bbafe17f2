#include "ui/WindowMessage.h"

#include <QCoreApplication>

namespace kavelo {

QEvent::Type WindowMessageEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool PostWindowMessage(QObject* receiver, int id, std::uintptr_t wParam, Payload lParam,
                       const QString& text) {
    if (!receiver) return false;
    QCoreApplication::postEvent(receiver,
                                new WindowMessageEvent(id, wParam, std::move(lParam), text));
    return true;
}

void QtMessageSink::Post(DeviceMessage message) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mReceiver)
        PostWindowMessage(mReceiver.data(), message.id, message.wParam, std::move(message.lParam));
}

void QtMessageSink::SetReceiver(QObject* receiver) {
    std::lock_guard<std::mutex> lock(mMutex);
    mReceiver = receiver;
}

}  // namespace kavelo
