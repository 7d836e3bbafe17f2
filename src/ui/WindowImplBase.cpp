#include "ui/WindowImplBase.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUiLoader>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>
#include <QXmlStreamReader>

#include "app/DisplayScale.h"
#include "app/Log.h"
#include "graph/GraphControls.h"
#include "ui/LanguageService.h"
#include "ui/WindowPlacement.h"

namespace kavelo {

namespace {
const char* const kTextKey = "textKey";
const char* const kPendingUser = "kaveloUserAction";
constexpr int kBaseFontPixels = 13;

ScreenRect ToScreenRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}
}  // namespace

}  // namespace kavelo

// The skin is compiled into this static library; register it once before first use.
static void InitSkinResources() { Q_INIT_RESOURCE(skin); }

namespace kavelo {

QString SkinRoot() {
    static const bool registered = (InitSkinResources(), true);
    (void)registered;
    return QStringLiteral(":/skin");
}

QString SkinLayoutPath(const QString& layoutId) {
    QFile index(SkinRoot() + QStringLiteral("/xml/res.xml"));
    if (!index.open(QIODevice::ReadOnly)) return {};
    QXmlStreamReader xml(&index);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto attrs = xml.attributes();
        if (attrs.value(QLatin1String("name")) == layoutId)
            return SkinRoot() + QLatin1Char('/') + attrs.value(QLatin1String("file")).toString();
    }
    return {};
}

// Creates custom controls through the window's factory hook before Qt's own.
class SkinUiLoader : public QUiLoader {
public:
    explicit SkinUiLoader(WindowImplBase* window) : mWindow(window) {}
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        QWidget* widget = mWindow->CreateCustomControl(className, parent);
        if (!widget) widget = QUiLoader::createWidget(className, parent, name);
        if (widget) widget->setObjectName(name);
        return widget;
    }

private:
    WindowImplBase* mWindow;
};

WindowImplBase::WindowImplBase(QWidget* owner) : QDialog(owner) {
    connect(&LanguageService::Instance(), &LanguageService::LanguageChanged, this,
            &WindowImplBase::ReResolveTexts);
}

WindowImplBase::~WindowImplBase() = default;

bool WindowImplBase::Create(const QString& title) {
    SetWindowTextKey(title);
    const QString path = GetLayoutPath();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        LogPrintA("layout %s not found in the skin\n", GetSkinFile().toUtf8().constData());
        return false;
    }
    SkinUiLoader loader(this);
    mRoot = loader.load(&file, this);
    if (!mRoot) {
        LogPrintA("layout %s cannot be loaded: %s\n", GetSkinFile().toUtf8().constData(),
                  loader.errorString().toUtf8().constData());
        return false;
    }
    mLayoutSize = mRoot->size();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mRoot);
    HookControl(mRoot);
    for (QWidget* child : mRoot->findChildren<QWidget*>()) HookControl(child);
    ReResolveTexts();
    InitWindow();
    return true;
}

void WindowImplBase::HookControl(QWidget* control) {
    // Language keys written in the layout are kept so a switch can re-resolve them.
    if (auto* label = qobject_cast<QLabel*>(control)) {
        if (label->text().startsWith(QLatin1String("${"))) SetControlText(label, label->text());
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        if (button->text().startsWith(QLatin1String("${"))) SetControlText(button, button->text());
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        if (group->title().startsWith(QLatin1String("${"))) SetControlText(group, group->title());
    }
    if (control->objectName().isEmpty() || control->objectName().startsWith(QLatin1String("qt_")))
        return;
    control->installEventFilter(this);
    // Enter belongs to the focused control ("return"), never to a dialog default button.
    if (auto* push = qobject_cast<QPushButton*>(control)) {
        push->setAutoDefault(false);
        push->setDefault(false);
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        if (button->isCheckable()) {
            connect(button, &QAbstractButton::toggled, this, [this, button](bool on) {
                // Radio options notify when they become selected; check boxes both ways.
                if (on || !button->autoExclusive()) SendNotify(button, "selectchanged");
            });
        } else {
            connect(button, &QAbstractButton::clicked, this,
                    [this, button] { SendNotify(button, "click"); });
        }
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
        // Only user actions notify; values set from code stay silent.
        connect(slider, &QAbstractSlider::actionTriggered, this,
                [slider](int) { slider->setProperty(kPendingUser, true); });
        connect(slider, &QAbstractSlider::valueChanged, this, [this, slider](int) {
            if (!slider->property(kPendingUser).toBool()) return;
            slider->setProperty(kPendingUser, false);
            SendNotify(slider, slider->isSliderDown() ? "movevaluechanged" : "valuechanged");
        });
        connect(slider, &QAbstractSlider::sliderReleased, this,
                [this, slider] { SendNotify(slider, "valuechanged"); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        connect(edit, &QLineEdit::returnPressed, this,
                [this, edit] { SendNotify(edit, "return"); });
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                [this, combo](int index) { SendNotify(combo, "itemselect", index); });
    } else if (auto* list = qobject_cast<QListWidget*>(control)) {
        connect(list, &QListWidget::currentRowChanged, this,
                [this, list](int row) { SendNotify(list, "itemselect", row); });
        connect(list, &QListWidget::itemActivated, this, [this, list](QListWidgetItem* item) {
            SendNotify(list, "itemactivate", list->row(item));
        });
    }
}

bool WindowImplBase::eventFilter(QObject* watched, QEvent* event) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (!control) return QDialog::eventFilter(watched, event);
    // A frameless window is moved by dragging its layout's title bar.
    const bool mouse =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove;
    if (mouse && control->objectName() == QLatin1String("title_bar") &&
        windowFlags().testFlag(Qt::FramelessWindowHint)) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress && press->button() == Qt::LeftButton) {
            mDragOffset = press->globalPosition().toPoint() - frameGeometry().topLeft();
            return true;
        }
        if (event->type() == QEvent::MouseMove && (press->buttons() & Qt::LeftButton)) {
            move(press->globalPosition().toPoint() - mDragOffset);
            return true;
        }
    }
    switch (event->type()) {
        case QEvent::FocusIn:
            SendNotify(control, "setfocus");
            break;
        case QEvent::FocusOut:
            SendNotify(control, "killfocus");
            break;
        case QEvent::KeyPress:
            if (qobject_cast<QLineEdit*>(control)) {
                switch (static_cast<QKeyEvent*>(event)->key()) {
                    case Qt::Key_Up:
                        SendNotify(control, "valuechangedup");
                        return true;
                    case Qt::Key_Down:
                        SendNotify(control, "valuechangeddown");
                        return true;
                    case Qt::Key_Left:
                        SendNotify(control, "valuechangedleft");
                        break;
                    case Qt::Key_Right:
                        SendNotify(control, "valuechangedright");
                        break;
                    default:
                        break;
                }
            }
            break;
        case QEvent::Wheel:
            if (qobject_cast<QLineEdit*>(control)) {
                // One notification per wheel notch (120 units), up or down.
                const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
                const int steps = delta / 120 != 0 ? delta / 120 : (delta > 0 ? 1 : -1);
                if (delta == 0) return true;
                for (int i = 0; i < (steps > 0 ? steps : -steps); ++i)
                    SendNotify(control, steps > 0 ? "valuechangedup" : "valuechangeddown");
                return true;
            }
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void WindowImplBase::SendNotify(QWidget* sender, const QString& type, int wParam) {
    TNotifyUI msg{type, sender, wParam};
    Notify(msg);
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    if (msg.sType != QLatin1String("click") || !msg.pSender) return;
    const QString name = msg.pSender->objectName().toLower();
    if (name == QLatin1String("closebtn")) {
        Close(IsMainWindow() ? 1 : 0);
    } else if (IsMainWindow()) {
        if (name == QLatin1String("minbtn"))
            showMinimized();
        else if (name == QLatin1String("maxbtn"))
            showMaximized();
        else if (name == QLatin1String("restorebtn"))
            showNormal();
    }
}

QWidget* WindowImplBase::CreateCustomControl(const QString& className, QWidget* parent) {
    return CreateGraphControl(className, parent);
}

bool WindowImplBase::HandleCustomMessage(int, std::uintptr_t, const Payload&, const QString&) {
    return false;
}

bool WindowImplBase::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::EventType()) {
        auto* message = static_cast<WindowMessageEvent*>(event);
        if (!HandleCustomMessage(message->Id(), message->WParam(), message->LParam(),
                                 message->Text()))
            LogPrintA("message %d not handled by %s\n", message->Id(),
                      GetWindowClassName().toUtf8().constData());
        return true;
    }
    return QDialog::event(event);
}

void WindowImplBase::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (mRoot) SendNotify(this, "windowsize");
}

void WindowImplBase::reject() { Close(0); }

void WindowImplBase::Close(int result) { done(result); }

int WindowImplBase::ShowModal() {
    setResult(0);
    CenterWindow();
    const int result = exec();
    // A quit ends the nested loop without closing the window; hide it so the owner
    // is usable again and pass the quit on to the outer loop.
    if (isVisible()) {
        hide();
        return 0;
    }
    if (QWidget* owner = parentWidget()) owner->activateWindow();
    return result;
}

void WindowImplBase::CenterWindow() {
    QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QScreen* screen = nullptr;
    if (owner) screen = QGuiApplication::screenAt(owner->frameGeometry().center());
    if (!screen) screen = this->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    std::optional<ScreenRect> ownerRect;
    if (owner) ownerRect = ToScreenRect(owner->frameGeometry());
    const QSize size = frameGeometry().size().expandedTo(sizeHint());
    const Placement at = kavelo::CenterWindow(size.width(), size.height(), ownerRect,
                                              ToScreenRect(screen->availableGeometry()));
    move(at.left, at.top);
}

void WindowImplBase::SetControlText(QWidget* control, const QString& text) {
    if (!control) return;
    control->setProperty(kTextKey, text);
    const QString shown = GetText(text);
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(shown);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(shown);
    else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        const QSignalBlocker quiet(edit);  // text from code does not notify
        edit->setText(shown);
    } else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(shown);
    else
        control->setWindowTitle(shown);
}

QString WindowImplBase::ControlTextKey(QWidget* control) {
    return control ? control->property(kTextKey).toString() : QString();
}

void WindowImplBase::SetWindowTextKey(const QString& text) {
    setProperty(kTextKey, text);
    setWindowTitle(GetText(text));
}

void WindowImplBase::ReResolveTexts() {
    if (property(kTextKey).isValid()) setWindowTitle(GetText(property(kTextKey).toString()));
    for (QWidget* control : findChildren<QWidget*>()) {
        const QVariant key = control->property(kTextKey);
        if (key.isValid()) SetControlText(control, key.toString());
    }
    for (QMenu* menu : mMenus) {
        for (QAction* action : menu->findChildren<QAction*>()) {
            const QVariant key = action->property(kTextKey);
            if (key.isValid()) action->setText(GetText(key.toString()));
        }
        for (QMenu* sub : menu->findChildren<QMenu*>()) {
            const QVariant key = sub->property(kTextKey);
            if (key.isValid()) sub->setTitle(GetText(key.toString()));
        }
    }
}

void WindowImplBase::SetSelected(QAbstractButton* option, bool selected, bool notify) {
    if (!option) return;
    if (notify) {
        option->setChecked(selected);
    } else {
        const QSignalBlocker quiet(option);
        option->setChecked(selected);
    }
}

void WindowImplBase::SelectItem(QWidget* comboOrList, int index, bool notify) {
    const QSignalBlocker quiet(notify ? nullptr : comboOrList);
    if (auto* combo = qobject_cast<QComboBox*>(comboOrList))
        combo->setCurrentIndex(index);
    else if (auto* list = qobject_cast<QListWidget*>(comboOrList))
        list->setCurrentRow(index);
}

void WindowImplBase::Activate(QAbstractButton* button) {
    if (button && button->isEnabled()) button->click();
}

int WindowImplBase::UserData(QWidget* control) {
    if (!control) return 0;
    bool ok = false;
    const int value = control->property("userdata").toString().toInt(&ok);
    return ok ? value : 0;
}

void WindowImplBase::SetTimer(int id, int milliseconds) {
    QTimer*& timer = mTimers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(milliseconds);
}

void WindowImplBase::KillTimer(int id) {
    if (QTimer* timer = mTimers.take(id)) {
        timer->stop();
        timer->deleteLater();
    }
}

bool WindowImplBase::HasTimer(int id) const { return mTimers.contains(id); }

QString WindowImplBase::ResolveMenuFile(const QString& file) const {
    return SkinRoot() + QLatin1Char('/') + file;
}

QMenu* WindowImplBase::LoadMenu(const QString& menuFile, QObject* receiver) {
    QFile file(ResolveMenuFile(menuFile));
    if (!file.open(QIODevice::ReadOnly)) {
        LogPrintA("menu %s not found in the skin\n", menuFile.toUtf8().constData());
        return nullptr;
    }
    auto* root = new QMenu(this);
    QList<QMenu*> stack{root};
    QPointer<QObject> target(receiver);
    QXmlStreamReader xml(&file);
    // Elements named MenuElement nest; one with children becomes a sub-menu.
    QList<QXmlStreamAttributes> pending;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("MenuElement")) {
            const QString name = xml.attributes().value(QLatin1String("name")).toString();
            const QString text = xml.attributes().value(QLatin1String("text")).toString();
            // Look ahead is not available; create a sub-menu lazily when a child shows up.
            auto* action = stack.last()->addAction(GetText(text));
            action->setObjectName(name);
            action->setProperty(kTextKey, text);
            action->setData(name);
            connect(action, &QAction::triggered, this, [target, name] {
                PostWindowMessage(target.data(), WM_MENU_COMMAND, 0, {}, name);
            });
            auto* sub = new QMenu(GetText(text), stack.last());
            sub->setObjectName(name);
            sub->setProperty(kTextKey, text);
            sub->setProperty("ownerAction", QVariant::fromValue<QObject*>(action));
            stack.push_back(sub);
        } else if (token == QXmlStreamReader::EndElement &&
                   xml.name() == QLatin1String("MenuElement")) {
            QMenu* sub = stack.takeLast();
            if (!sub->actions().isEmpty()) {
                auto* action =
                    qobject_cast<QAction*>(sub->property("ownerAction").value<QObject*>());
                action->setMenu(sub);
            } else {
                sub->deleteLater();
            }
        }
    }
    if (xml.hasError()) {
        LogPrintA("menu %s is malformed: %s\n", menuFile.toUtf8().constData(),
                  xml.errorString().toUtf8().constData());
        delete root;
        return nullptr;
    }
    mMenus.push_back(root);
    return root;
}

void WindowImplBase::ApplyDpi(int dpi) {
    mScalePercent = DpiToScalePercent(dpi);
    QFont base = font();
    base.setPixelSize(kBaseFontPixels * mScalePercent / 100);
    setFont(base);
    // Every control gets its size explicitly (the style sheet would otherwise keep the
    // application's); those that ask for a larger face ("fontScale") keep their ratio.
    for (QWidget* control : findChildren<QWidget*>()) {
        const double ratio = control->property("fontScale").toDouble();
        QFont f = control->font();
        f.setPixelSize(
            static_cast<int>(kBaseFontPixels * (ratio > 0 ? ratio : 1.0) * mScalePercent / 100));
        control->setFont(f);
    }
    if (mLayoutSize.isValid()) {
        // Never smaller than the contents need: long translations wrap onto more lines.
        QSize size(mLayoutSize.width() * mScalePercent / 100,
                   mLayoutSize.height() * mScalePercent / 100);
        if (layout()) {
            layout()->activate();
            if (layout()->hasHeightForWidth())
                size.setHeight(
                    std::max(size.height(), layout()->totalHeightForWidth(size.width())));
            size = size.expandedTo(layout()->totalMinimumSize());
        }
        resize(size);
    }
}

}  // namespace kavelo
