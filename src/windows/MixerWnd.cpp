#include "windows/MixerWnd.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QStringList>

#include "base/Log.h"
#include "control/SpeakerRoles.h"
#include "controller/EqualizerManager.h"
#include "device/DeviceLink.h"
#include "ui/LanguageService.h"
#include "ui/ScreenDpi.h"

namespace kavelo {

namespace {

QByteArray Utf8(const QString& s) { return s.toUtf8(); }

QString CellName(const char* prefix, MixerCell cell) {
    return QStringLiteral("%1%2_%3").arg(QLatin1String(prefix)).arg(cell.output).arg(cell.input);
}

QString RowName(const char* prefix, int input) {
    return QLatin1String(prefix) + QString::number(input);
}

void SetShown(QWidget* control, bool shown) {
    if (control) control->setVisible(shown);
}

}  // namespace

CMixerWnd::CMixerWnd(QWidget* owner, DspState& live, DeviceLink& link, int source)
    : WindowImplBase(owner), mGrid(live, source), mLink(link) {
    // A pop-up draws its own title bar from the layout.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

void CMixerWnd::InitWindow() {
    ApplyDpi(StartupDpiFromScreens());
    LogPrintA("mSource = %d\n", mGrid.Source());
    mHasMixerSource = false;
    LogPrintA("mHasMixerSource = %d\n", 0);
    BindControls();
    // The rows just hidden must no longer count towards the window's minimum size, but
    // rows of fixed height hide without telling the layouts above them.
    for (QWidget* control : findChildren<QWidget*>()) control->updateGeometry();
    for (QLayout* inner : findChildren<QLayout*>()) inner->invalidate();
    if (layout()) layout()->activate();
    const int n = mGrid.ChannelCount();
    resize(LayoutSize().width() * ScalePercent() / 100,
           MixerGrid::ClientHeight(LayoutSize().height(), n, ScalePercent()));
    // Nothing is focused when the window opens: focusing a cell's edit would send its
    // level, and opening the window changes nothing.
    setFocus(Qt::OtherFocusReason);
    connect(&LanguageService::Instance(), &LanguageService::LanguageChanged, this,
            &CMixerWnd::ShowRowTitles);
    mReady = true;
}

void CMixerWnd::BindControls() {
    const int n = mGrid.ChannelCount();
    for (int o = 0; o < kOutputChannels; ++o) {
        for (int i = 0; i < kMixerRows; ++i) {
            const MixerCell cell{o, i};
            SetShown(FindControl(CellName("box_", cell)), mGrid.RowShown(i));
            if (i < kMixerRows - 1)
                SetShown(FindControl(CellName("box_grap_", cell)), mGrid.GapShown(i));
            if (i >= n) continue;
            CellControls& c = Controls(cell);
            c.enable = FindControl<QAbstractButton>(CellName("box_enable_", cell));
            c.phase = FindControl<QAbstractButton>(CellName("box_phase_", cell));
            c.volume = FindControl<QAbstractSlider>(CellName("box_volume_", cell));
            c.edit = FindControl<QLineEdit>(CellName("box_edit_", cell));
            if (c.volume) {
                // The level range is the grid's whatever the layout says: levels travel
                // as one byte.
                const QSignalBlocker quiet(c.volume);
                c.volume->setRange(kMixerLevelMin, kMixerLevelMax);
            }
            Show(cell, mGrid.CellView(cell));
            SetSelected(c.phase, mGrid.PhaseSelected(cell), false);
        }
    }
    for (int i = 0; i < kMixerRows; ++i) {
        BindCrossSource(i);
        if (!mGrid.RowShown(i)) {
            for (const char* prefix : {"left_box_", "second_", "title_label_"})
                SetShown(FindControl(RowName(prefix, i)), false);
        }
        if (i < kMixerRows - 1 && !mGrid.GapShown(i)) {
            SetShown(FindControl(RowName("left_grap_", i)), false);
            SetShown(FindControl(RowName("second_grap_", i)), false);
        }
    }
    ShowRowTitles();
}

void CMixerWnd::BindCrossSource(int input) {
    auto* combo = FindControl<QComboBox>(RowName("cmb_csm_vice_source_", input));
    LogPrintA("cmb_csm_vice_source_%d = 0x%08x\n", input,
              static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(combo)));
    if (combo) {
        combo->setVisible(mHasMixerSource);
        const QString tag = QString::fromStdString(mGrid.CrossSourceTag(input));
        int found = -1;
        for (int k = 0; k < combo->count() && found < 0; ++k) {
            const QString itemTag = combo->itemData(k, Qt::UserRole).toString();
            LogPrintA("combox item tag[%d] = %s\n", k, Utf8(itemTag).constData());
            if (itemTag == tag) found = k;
        }
        if (found < 0) {
            found = combo->count() - 1;
            LogPrintA("WARNING: no combox item found for %s\n", Utf8(tag).constData());
        }
        SelectItem(combo, found, false);
    }
    for (const char* prefix : {"line_0_", "line_1_", "arrow_up_"})
        SetShown(FindControl(RowName(prefix, input)), mHasMixerSource);
    if (QWidget* gain = FindControl(RowName("csm_vice_gain_edit_", input))) {
        gain->setVisible(mHasMixerSource);
        SetControlText(gain, QStringLiteral("%1dB").arg(mGrid.CrossSourceGain(input)));
    }
}

void CMixerWnd::ShowRowTitles() {
    const InputSourceInfo* source = InputSource(mGrid.Source());
    const std::string name = source ? GetText(QLatin1String(source->text)).toStdString() : "";
    for (int i = 0; i < mGrid.ChannelCount(); ++i) {
        SetControlText(FindControl(RowName("title_label_", i)),
                       QString::fromStdString(mGrid.RowTitle(name, i)));
    }
}

std::optional<MixerCell> CMixerWnd::CellOf(const QString& name, const char* prefix) const {
    const QStringList parts = name.mid(static_cast<int>(qstrlen(prefix))).split(QLatin1Char('_'));
    if (parts.size() != 2) return std::nullopt;
    bool okOutput = false;
    bool okInput = false;
    const MixerCell cell{parts[0].toInt(&okOutput), parts[1].toInt(&okInput)};
    if (!okOutput || !okInput || !mGrid.HasCell(cell)) return std::nullopt;
    return cell;
}

void CMixerWnd::Notify(TNotifyUI& msg) {
    LogPrintA("Notify %s\n", Utf8(msg.sType).constData());
    const QString name = msg.pSender ? msg.pSender->objectName() : QString();
    const QString& type = msg.sType;
    auto cellOf = [&](const char* prefix) -> std::optional<MixerCell> {
        if (!mReady || !name.startsWith(QLatin1String(prefix))) return std::nullopt;
        return CellOf(name, prefix);
    };
    if (type == QLatin1String("selectchanged")) {
        if (const auto cell = cellOf("box_enable_")) OnEnableChanged(*cell);
        // A phase box is read-only: the amplifier takes no phase per input.
    } else if (type == QLatin1String("valuechanged") || type == QLatin1String("movevaluechanged")) {
        if (const auto cell = cellOf("box_volume_")) SetInputTrimSlider(*cell);
    } else if (type == QLatin1String("valuechangedup") ||
               type == QLatin1String("valuechangeddown")) {
        if (const auto cell = cellOf("box_edit_"))
            StepLevel(*cell, type == QLatin1String("valuechangedup"));
    } else if (type == QLatin1String("valuechangedleft") ||
               type == QLatin1String("valuechangedright")) {
        if (const auto cell = cellOf("box_edit_"))
            MoveFocus(*cell, type == QLatin1String("valuechangedright"));
    } else if (type == QLatin1String("return") || type == QLatin1String("setfocus")) {
        if (const auto cell = cellOf("box_edit_")) SetInputTrimEdit(*cell, true);
    } else if (type == QLatin1String("killfocus")) {
        // Leaving an edit commits it; taking the focus back would trap it there.
        if (const auto cell = cellOf("box_edit_")) SetInputTrimEdit(*cell, false);
    } else if (type == QLatin1String("itemselect") && mReady) {
        LogPrintA("on %s DUI_MSGTYPE_ITEMSELECT\n", Utf8(name).constData());
    }
    if (mRecordEdit && mReady) mRecordEdit();
    WindowImplBase::Notify(msg);
}

void CMixerWnd::OnEnableChanged(MixerCell cell) {
    Apply(cell, mGrid.SetEnabled(cell, IsSelected(Controls(cell).enable)));
}

void CMixerWnd::SetInputTrimSlider(MixerCell cell) {
    CellControls& c = Controls(cell);
    if (!c.volume) return;
    Apply(cell, mGrid.SetLevel(cell, c.volume->value(), IsSelected(c.enable),
                               MixerGrid::LevelFrom::Slider));
    FocusEdit(cell);
}

void CMixerWnd::SetInputTrimEdit(MixerCell cell, bool takeFocus) {
    CellControls& c = Controls(cell);
    if (!c.edit) return;
    const std::string text = c.edit->text().toStdString();
    const std::optional<int> level = MixerGrid::TypedLevel(text);
    if (!level) {
        LogPrintA("mixer: \"%s\" holds no number; the stored level stays\n", text.c_str());
        Show(cell, mGrid.CellView(cell));
    } else {
        Apply(cell, mGrid.CommitLevel(cell, *level, IsSelected(c.enable)));
    }
    if (takeFocus) FocusEdit(cell);
}

void CMixerWnd::StepLevel(MixerCell cell, bool up) {
    CellControls& c = Controls(cell);
    if (!c.volume || !c.edit) return;
    const int level = mGrid.SteppedLevel(cell, c.volume->value(), up);
    SetControlText(c.edit, QString::number(level));
    FocusEdit(cell);
    SetInputTrimEdit(cell, true);
}

void CMixerWnd::MoveFocus(MixerCell cell, bool right) {
    if (const auto target = mGrid.FocusNeighbour(cell, right)) FocusEdit(*target);
}

void CMixerWnd::Apply(MixerCell cell, const MixerEdit& edit) {
    for (const DspCommand& command : edit.commands) {
        if (!SendDspCommand(mLink, command, false))
            LogPrintA("mixer: %s not sent, the amplifier is not connected\n",
                      DescribeDspCommand(command).c_str());
    }
    Show(cell, edit.view);
}

void CMixerWnd::Show(MixerCell cell, const MixerCellView& view) {
    CellControls& c = Controls(cell);
    SetSelected(c.enable, view.enabled, false);
    if (c.volume) {
        const QSignalBlocker quiet(c.volume);
        c.volume->setValue(view.level);
    }
    // The edit shows the number that was stored, whatever was typed.
    SetControlText(c.edit, QString::number(view.level));
}

void CMixerWnd::FocusEdit(MixerCell cell) {
    QLineEdit* edit = Controls(cell).edit;
    if (!edit) return;
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

void CMixerWnd::done(int result) {
    // A level typed and not yet committed is committed as leaving its edit would (the
    // close button, Esc and the window manager's close all end here); after that the
    // focus leaving an edit on the way out sends nothing more.
    if (mReady) {
        auto* edit = qobject_cast<QLineEdit*>(focusWidget());
        const QString name = edit ? edit->objectName() : QString();
        if (const auto cell = name.startsWith(QLatin1String("box_edit_"))
                                  ? CellOf(name, "box_edit_")
                                  : std::nullopt) {
            SetInputTrimEdit(*cell, false);
            if (mRecordEdit) mRecordEdit();
        }
    }
    mReady = false;
    WindowImplBase::done(result);
}

void ShowMixerWindow(EqualizerManager& controller, QWidget* owner) {
    auto* window =
        new CMixerWnd(owner, controller.Live(), controller.Link(), controller.Live().inputSource);
    QPointer<CMixerWnd> guard(window);
    window->SetEditRecorder([&controller] { controller.RecordUserEdit(); });
    if (window->Create(QStringLiteral("MixerWnd"))) {
        controller.Hooks().closeMixerWindow = [guard] {
            if (guard) guard->Close(1);
        };
        window->ShowModal();
        controller.Hooks().closeMixerWindow = nullptr;
        controller.ShowInputRouting();
    }
    delete guard.data();
}

}  // namespace kavelo
