#include "ui/WindowImplBase.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSizeGrip>
#include <QTimer>
#include <QUiLoader>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>
#include <QXmlStreamReader>

#include "base/DisplayScale.h"
#include "base/Log.h"
#include "graph/GraphControls.h"
#include "graph/SButton.h"
#include "ui/LanguageService.h"
#include "ui/WindowPlacement.h"

namespace kavelo {

namespace {
const char* const kTextKey = "textKey";
const char* const kPendingUser = "kaveloUserAction";
const char* const kTipKey = "toolTipKey";
const char* const kImageKey = "skinImage";
constexpr int kItemKeyRole = Qt::UserRole + 1;

// Combo items from a layout: language keys are kept per item, "itemnames" (comma
// separated) become the items' user data, "hiddenitems" (indexes) are left out of the
// drop-down list.
void PrepareComboItems(QComboBox* combo) {
    for (int i = 0; i < combo->count(); ++i) {
        const QString text = combo->itemText(i);
        if (!text.startsWith(QLatin1String("${"))) continue;
        combo->setItemData(i, text, kItemKeyRole);
        combo->setItemText(i, GetText(text));
    }
    const QStringList names =
        combo->property("itemnames").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < names.size() && i < combo->count(); ++i)
        combo->setItemData(i, names[i].trimmed(), Qt::UserRole);
    if (auto* list = qobject_cast<QListView*>(combo->view())) {
        const QStringList hidden =
            combo->property("hiddenitems").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString& index : hidden) list->setRowHidden(index.trimmed().toInt(), true);
    }
}

void ReResolveComboItems(QComboBox* combo) {
    for (int i = 0; i < combo->count(); ++i) {
        const QVariant key = combo->itemData(i, kItemKeyRole);
        if (key.isValid()) combo->setItemText(i, GetText(key.toString()));
    }
}

// Unscaled values are kept on first use so that every later scale starts from them.
template <class T>
T BaseValue(QObject* object, const char* key, const T& current) {
    const QVariant stored = object->property(key);
    if (stored.isValid()) return stored.value<T>();
    object->setProperty(key, QVariant::fromValue(current));
    return current;
}

int Scaled(int value, int percent) { return value * percent / 100; }
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
    mRoot = LoadLayoutFile(GetLayoutPath(), this);
    if (!mRoot) return false;
    mLayoutSize = mRoot->size();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mRoot);
    ReResolveTexts();
    InitWindow();
    return true;
}

QWidget* WindowImplBase::LoadLayoutFile(const QString& path, QWidget* parent) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        LogPrintA("layout %s not found in the skin\n",
                  (path.isEmpty() ? GetSkinFile() : path).toUtf8().constData());
        return nullptr;
    }
    SkinUiLoader loader(this);
    QWidget* root = loader.load(&file, parent);
    if (!root) {
        LogPrintA("layout %s cannot be loaded: %s\n", path.toUtf8().constData(),
                  loader.errorString().toUtf8().constData());
        return nullptr;
    }
    HookControl(root);
    for (QWidget* child : root->findChildren<QWidget*>()) HookControl(child);
    return root;
}

QWidget* WindowImplBase::BuildSubLayout(const QString& containerName, const QString& file) {
    QWidget* container = FindControl(containerName);
    if (!container) {
        LogPrintA("container %s not found for %s\n", containerName.toUtf8().constData(),
                  file.toUtf8().constData());
        return nullptr;
    }
    QWidget* root = LoadLayoutFile(SkinRoot() + QLatin1Char('/') + file, container);
    if (!root) return nullptr;
    QLayout* layout = container->layout();
    if (!layout) {
        layout = new QVBoxLayout(container);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    layout->addWidget(root);
    ReResolveTexts();
    // Built after the window was scaled: the new controls take the same scale.
    if (mDpiApplied) {
        ScaleFonts();
        ScaleGeometry();
    }
    return root;
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
    if (control->toolTip().startsWith(QLatin1String("${"))) {
        control->setProperty(kTipKey, control->toolTip());
        control->setToolTip(GetText(control->toolTip()));
    }
    if (auto* combo = qobject_cast<QComboBox*>(control)) PrepareComboItems(combo);
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
    if (event->type() == QEvent::MouseButtonDblClick && IsMainWindow() &&
        control->objectName() == QLatin1String("title_bar") &&
        windowFlags().testFlag(Qt::FramelessWindowHint)) {
        // Double-clicking the skin's title bar maximises and restores, as a native one does.
        isMaximized() ? showNormal() : showMaximized();
        return true;
    }
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
            if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setModified(false);
            break;
        case QEvent::MouseButtonPress:
            CommitTypingBeforePress(control);
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

void WindowImplBase::CommitTypingBeforePress(QWidget* pressed) {
    // Buttons, options, combo boxes and the curve take no focus, so the edit
    // would keep its text uncommitted while the click acts, and a handler that
    // shows other values in the editors would throw it away. A control that
    // takes the focus on a click commits it by the focus change instead.
    QPointer<QLineEdit> edit = qobject_cast<QLineEdit*>(focusWidget());
    if (!edit || edit == pressed || !edit->isModified()) return;
    if (pressed->isEnabled() && (pressed->focusPolicy() & Qt::ClickFocus)) return;
    SendNotify(edit, "killfocus");
    if (edit) edit->setModified(false);
    TypingCommittedByPress();
}

bool WindowImplBase::RevertTyping(QWidget* control) {
    auto* edit = qobject_cast<QLineEdit*>(control);
    if (!edit || !edit->isModified()) return false;
    const QVariant committed = edit->property(kTextKey);
    if (committed.isValid()) {
        SetControlText(edit, committed.toString());
    } else {
        while (edit->isUndoAvailable()) edit->undo();
    }
    edit->setModified(false);
    edit->selectAll();
    LogPrintA("%s: typing undone\n", edit->objectName().toUtf8().constData());
    return true;
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
    // A frameless main window has no native border to drag; a grip in the corner
    // resizes it instead.
    if (IsMainWindow() && windowFlags().testFlag(Qt::FramelessWindowHint)) {
        if (!mSizeGrip) {
            mSizeGrip = new QSizeGrip(this);
            mSizeGrip->setObjectName(QStringLiteral("qt_size_grip"));
        }
        mSizeGrip->setVisible(!isMaximized());
        mSizeGrip->resize(mSizeGrip->sizeHint());
        mSizeGrip->move(width() - mSizeGrip->width(), height() - mSizeGrip->height());
        mSizeGrip->raise();
    }
    if (mRoot) SendNotify(this, "windowsize");
}

void WindowImplBase::reject() { Close(0); }

void WindowImplBase::Close(int result) { done(result); }

int RunModalWindow(WindowImplBase* window, const QString& title) {
    // The modal loop may end with the window already gone (a parent deleted it).
    QPointer<WindowImplBase> guard(window);
    int result = 0;
    if (window->Create(title)) result = window->ShowModal();
    delete guard.data();
    return result;
}

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
    // Place the size the window is shown with: a window never sized gets its
    // size now, as show() would give it (the hint, within the screen).
    if (!testAttribute(Qt::WA_Resized)) adjustSize();
    const QSize size = frameGeometry().size();
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
        const QVariant tip = control->property(kTipKey);
        if (tip.isValid()) control->setToolTip(GetText(tip.toString()));
        if (auto* combo = qobject_cast<QComboBox*>(control)) ReResolveComboItems(combo);
    }
    for (const QPointer<QMenu>& menu : mMenus) {
        if (!menu) continue;  // deleted by its owner
        // Sub-menus are children of their parent menu, their headings and items too.
        for (QAction* item : menu->findChildren<QAction*>()) {
            const QVariant key = item->property(kTextKey);
            if (key.isValid()) item->setText(GetText(key.toString()));
        }
    }
}

void WindowImplBase::SetSelected(QAbstractButton* option, bool selected, bool notify) {
    if (!option) return;
    if (auto* sbutton = qobject_cast<CSButtonUI*>(option)) {
        sbutton->SetSelected(selected);
        return;
    }
    // A plain button keeps a selection only as its checked state.
    option->setCheckable(true);
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

bool WindowImplBase::IsSelected(const QAbstractButton* option) {
    if (!option) return false;
    if (auto* sbutton = qobject_cast<const CSButtonUI*>(option)) return sbutton->IsSelected();
    return option->isChecked();
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

namespace {
// Reads the MenuElements inside the current element into `menu`. An element with
// children becomes a sub-menu heading, which opens and never posts; one without is an
// item that posts its name.
void ReadMenuElements(QXmlStreamReader& xml, QMenu* menu, QObject* context,
                      const QPointer<QObject>& target) {
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("MenuElement")) {
            xml.skipCurrentElement();
            continue;
        }
        const QString name = xml.attributes().value(QLatin1String("name")).toString();
        const QString text = xml.attributes().value(QLatin1String("text")).toString();
        auto* sub = new QMenu(menu);
        ReadMenuElements(xml, sub, context, target);
        QAction* item = nullptr;
        if (sub->actions().isEmpty()) {
            delete sub;
            item = menu->addAction(QString());
            QObject::connect(item, &QAction::triggered, context, [target, name] {
                PostWindowMessage(target.data(), WM_MENU_COMMAND, 0, {}, name);
            });
        } else {
            sub->setObjectName(name);
            item = menu->addMenu(sub);
        }
        item->setObjectName(name);
        item->setData(name);
        item->setProperty(kTextKey, text);
        item->setText(GetText(text));
    }
}
}  // namespace

QMenu* WindowImplBase::LoadMenu(const QString& menuFile, QObject* receiver) {
    QFile file(ResolveMenuFile(menuFile));
    if (!file.open(QIODevice::ReadOnly)) {
        LogPrintA("menu %s not found in the skin\n", menuFile.toUtf8().constData());
        return nullptr;
    }
    auto* root = new QMenu(this);
    QXmlStreamReader xml(&file);
    if (xml.readNextStartElement()) ReadMenuElements(xml, root, this, QPointer<QObject>(receiver));
    if (xml.hasError()) {
        LogPrintA("menu %s is malformed: %s\n", menuFile.toUtf8().constData(),
                  xml.errorString().toUtf8().constData());
        delete root;
        return nullptr;
    }
    // A pop-up is a window of its own and inherits no font: it takes the window's scale here.
    if (mDpiApplied) ScaleFonts();
    mMenus.removeIf([](const QPointer<QMenu>& menu) { return menu.isNull(); });
    mMenus.push_back(root);
    return root;
}

QAction* WindowImplBase::FindMenuItem(QMenu* menu, const QString& name) {
    if (!menu) return nullptr;
    for (QAction* item : menu->actions()) {
        if (item->objectName() == name) return item;
        if (QAction* inner = FindMenuItem(item->menu(), name)) return inner;
    }
    return nullptr;
}

void WindowImplBase::SetMenuItemImage(QAction* item, const QString& image) {
    if (!item) return;
    item->setProperty(kImageKey, image);
    QPixmap pixmap;
    if (!image.isEmpty() && !pixmap.load(SkinRoot() + QStringLiteral("/image/") + image))
        LogPrintA("image %s not found in the skin\n", image.toUtf8().constData());
    item->setIcon(pixmap.isNull() ? QIcon() : QIcon(pixmap));
    // The image carries meaning (a check mark): show it even where menus hide icons.
    item->setIconVisibleInMenu(true);
}

QString WindowImplBase::MenuItemImage(const QAction* item) {
    return item ? item->property(kImageKey).toString() : QString();
}

void WindowImplBase::PopupMenu(QMenu* menu, QWidget* button, bool alignRight) {
    if (!menu || !button) return;
    QPoint at = button->mapToGlobal(QPoint(0, button->height()));
    if (alignRight) at.rx() += button->width() - menu->sizeHint().width();
    menu->popup(at);
}

void WindowImplBase::ApplyDpi(int dpi) {
    mScalePercent = DpiToScalePercent(dpi);
    mDpiApplied = true;
    QFont base = font();
    base.setPixelSize(kBaseFontPixels * mScalePercent / 100);
    setFont(base);
    ScaleFonts();
    ScaleGeometry();
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

void WindowImplBase::ScaleFonts() {
    // Every control gets its size explicitly (the style sheet would otherwise keep the
    // application's); those that ask for a larger face ("fontScale") keep their ratio.
    for (QWidget* control : findChildren<QWidget*>()) {
        const double ratio = control->property("fontScale").toDouble();
        QFont f = control->font();
        f.setPixelSize(
            static_cast<int>(kBaseFontPixels * (ratio > 0 ? ratio : 1.0) * mScalePercent / 100));
        control->setFont(f);
    }
}

void WindowImplBase::ScaleGeometry() {
    const int percent = mScalePercent;
    // Margins and spacing grow with the fonts, so a scaled window keeps its proportions.
    for (QLayout* layout : findChildren<QLayout*>()) {
        const QMargins m = BaseValue(layout, "baseMargins", layout->contentsMargins());
        layout->setContentsMargins(Scaled(m.left(), percent), Scaled(m.top(), percent),
                                   Scaled(m.right(), percent), Scaled(m.bottom(), percent));
        if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
            const int h = BaseValue(grid, "baseHSpacing", grid->horizontalSpacing());
            const int v = BaseValue(grid, "baseVSpacing", grid->verticalSpacing());
            if (h >= 0) grid->setHorizontalSpacing(Scaled(h, percent));
            if (v >= 0) grid->setVerticalSpacing(Scaled(v, percent));
        } else {
            const int spacing = BaseValue(layout, "baseSpacing", layout->spacing());
            if (spacing >= 0) layout->setSpacing(Scaled(spacing, percent));
        }
    }
    // Sizes the layout files fix, and controls placed by position (the car diagram).
    for (QWidget* control : findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || control == mRoot) continue;
        const QSize minimum = BaseValue(control, "baseMinimumSize", control->minimumSize());
        const QSize maximum = BaseValue(control, "baseMaximumSize", control->maximumSize());
        if (minimum.width() > 0 || minimum.height() > 0)
            control->setMinimumSize(Scaled(minimum.width(), percent),
                                    Scaled(minimum.height(), percent));
        auto scaleMax = [percent](int v) {
            return v >= QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX : Scaled(v, percent);
        };
        if (maximum.width() < QWIDGETSIZE_MAX || maximum.height() < QWIDGETSIZE_MAX)
            control->setMaximumSize(scaleMax(maximum.width()), scaleMax(maximum.height()));
        QWidget* parent = control->parentWidget();
        if (parent && !parent->layout() && !control->isWindow() && parent != this) {
            const QRect g = BaseValue(control, "baseGeometry", control->geometry());
            control->setGeometry(Scaled(g.x(), percent), Scaled(g.y(), percent),
                                 Scaled(g.width(), percent), Scaled(g.height(), percent));
        }
    }
}

}  // namespace kavelo
