// The main window's notification dispatch: which controller operation a
// notification of a named control reaches, and where the keyboard focus goes.
#include <QAbstractSlider>
#include <QLineEdit>

#include "app/ConfigFile.h"
#include "app/MainWnd.h"
#include "base/Log.h"
#include "control/NavigationRing.h"
#include "windows/AutoCalWnd.h"
#include "windows/MemWrWnd.h"

namespace kavelo {

namespace {

bool Starts(const QString& name, const char* prefix) {
    return name.startsWith(QLatin1String(prefix));
}

QByteArray Utf8(const QString& s) { return s.toUtf8(); }

// The memory window remembers its fields in the configuration file.
MemoryKeys ConfigFileKeys() {
    return {[](const QString& key) { return ConfigFile().GetInt(key); },
            [](const QString& key, int value) { ConfigFile().SetInt(key, value); }};
}

}  // namespace

void CMainWnd::Notify(TNotifyUI& msg) {
    LogPrintA("Notify %s\n", Utf8(msg.sType).constData());
    QWidget* sender = msg.pSender;
    const QString name = sender ? sender->objectName() : QString();
    const int index = UserData(sender);
    const QString& type = msg.sType;
    if (type == QLatin1String("click")) {
        if (name.compare(QLatin1String("minbtn"), Qt::CaseInsensitive) == 0) {
            showMinimized();
            return;
        }
        OnClick(name, index, sender);
    } else if (type == QLatin1String("selectchanged")) {
        LogPrintA("on option %s DUI_MSGTYPE_SELECTCHANGED index ", Utf8(name).constData());
        LogPrintA("%d\n", index);
        OnSelectChanged(name, index);
    } else if (type == QLatin1String("valuechanged") || type == QLatin1String("movevaluechanged")) {
        OnSliderValue(name, index, sender);
    } else if (type == QLatin1String("valuechangedup") ||
               type == QLatin1String("valuechangeddown")) {
        OnStep(name, index, type == QLatin1String("valuechangedup"));
    } else if (type == QLatin1String("valuechangedleft")) {
        LogPrintA("on edit %s DUI_MSGTYPE_VALUECHANGED_LEFT\n", Utf8(name).constData());
        MoveFocusAlongRing(name, index, false);
    } else if (type == QLatin1String("valuechangedright")) {
        LogPrintA("on edit %s DUI_MSGTYPE_VALUECHANGED_RIGHT\n", Utf8(name).constData());
        MoveFocusAlongRing(name, index, true);
    } else if (type == QLatin1String("return")) {
        LogPrintA("on edit %s DUI_MSGTYPE_RETURN\n", Utf8(name).constData());
        OnCommit(name, index, true);
    } else if (type == QLatin1String("killfocus")) {
        LogPrintA("on %s DUI_MSGTYPE_KILLFOCUS\n", Utf8(name).constData());
        OnCommit(name, index, false);
    } else if (type == QLatin1String("setfocus")) {
        LogPrintA("on %s DUI_MSGTYPE_SETFOCUS\n", Utf8(name).constData());
        OnSetFocus(name, index);
    } else if (type == QLatin1String("itemselect")) {
        LogPrintA("on %s DUI_MSGTYPE_ITEMSELECT\n", Utf8(name).constData());
        OnItemSelect(name);
    } else if (type == QLatin1String("equalizer_eq") || type == QLatin1String("equalizer_hp") ||
               type == QLatin1String("equalizer_lp")) {
        if (name != QLatin1String("equalizer")) return WindowImplBase::Notify(msg);
        LogPrintA("on DUI_MSGTYPE_EQUALIZERCHANGED index %d\n", index);
        const int kind = type == QLatin1String("equalizer_eq")   ? 0
                         : type == QLatin1String("equalizer_hp") ? 1
                                                                 : 2;
        if (index >= 0) mEqualizer.EqualizerCallback(index, kind);
    } else if (type == QLatin1String("windowsize")) {
        mEqualizer.UpdateEqualizer(0);
    }
    if (!mClosing) mEqualizer.RecordUserEdit();
    WindowImplBase::Notify(msg);
}

void CMainWnd::OnClick(const QString& name, int index, QWidget* sender) {
    EqualizerManager& c = mEqualizer;
    if (Starts(name, "ch_output_btn")) {
        mOutputMenuChannel = index;
        c.ShowOutputMenu(sender, index);
    } else if (name == QLatin1String("btnConnect")) {
        c.ConnectDevice(true);
    } else if (name == QLatin1String("btn_amp_onoff")) {
        c.ToggleAmpPower();
    } else if (name == QLatin1String("btn_option")) {
        c.ShowOptionMenu(sender);
    } else if (name == QLatin1String("btn_scene")) {
        c.ShowSceneMenu(sender);
    } else if (name == QLatin1String("btn_reset_eq")) {
        c.SetOutputEqReset();
    } else if (name == QLatin1String("btn_bypass")) {
        c.SetOutputBypass();
    } else if (name == QLatin1String("btn_reset_output")) {
        c.SetOutputReset();
    } else if (Starts(name, "ch_enable_")) {
        c.SetCurChannelChange(index);
    } else if (Starts(name, "speaker_")) {
        c.SetSpeakerFocus(index);
    } else if (Starts(name, "pt_enable_")) {
        c.OnEqEnable(index);
    } else if (name == QLatin1String("btn_lock_output")) {
        c.SetOutpuLock();
    } else if (name == QLatin1String("btn_link_output")) {
        c.SetOutputLink();
    } else if (name == QLatin1String("btn_arg_eq")) {
        c.ToggleGeqPeqMode();
    } else if (name == QLatin1String("btn_advance")) {
        c.ShowAdvanceMenu(sender);
    } else if (name == QLatin1String("btn_undo")) {
        c.Undo();
    } else if (name == QLatin1String("btn_redo")) {
        c.Redo();
    } else if (name == QLatin1String("btn_ab_a")) {
        c.SwitchAbSlot(0);
    } else if (name == QLatin1String("btn_ab_b")) {
        c.SwitchAbSlot(1);
    } else if (name == QLatin1String("btn_ab_copy")) {
        c.CopyAbSlot();
    } else if (name == QLatin1String("btn_debug")) {
        ShowMemoryWindow(this, c.Link(), ConfigFileKeys());
    } else if (name == QLatin1String("btn_irc")) {
        RunAutoCalibration(this, c);
    }
}

void CMainWnd::OnSelectChanged(const QString& name, int index) {
    EqualizerManager& c = mEqualizer;
    if (Starts(name, "ch_show_")) {
        c.SetChShow(index);
    } else if (Starts(name, "ch_mute_")) {
        c.SetChMute(index);
    } else if (Starts(name, "ch_phase_")) {
        c.SetChPhase(index);
    } else if (Starts(name, "ch_synchronize_")) {
        c.SetChSynchronize(index);
    } else if (Starts(name, "main_mute")) {
        c.SetMainMute();
    } else {
        for (int k = 1; k <= 6; ++k) {
            if (name.startsWith(QStringLiteral("option_ch_in%1_").arg(k))) {
                c.SetChInput(index, k);
                return;
            }
        }
    }
}

void CMainWnd::OnSliderValue(const QString& name, int index, QWidget* sender) {
    EqualizerManager& c = mEqualizer;
    if (Starts(name, "eq_slider_")) {
        LogPrintA("on eq silder %s valuechanged index ", Utf8(name).constData());
        LogPrintA("%d\n", index);
        if (auto* slider = qobject_cast<QAbstractSlider*>(sender))
            LogPrintA("value %d\n", slider->value());
        c.SetEqSlider(index);
    } else if (Starts(name, "slider_main_volume")) {
        c.SetMainVolumeSlider();
    } else if (Starts(name, "slider_ch_volume_")) {
        LogPrintA("on volume silder %s valuechanged index ", Utf8(name).constData());
        LogPrintA("%d\n", index);
        c.SetChVolumeSlider(index);
    } else if (Starts(name, "slider_ch_delay_")) {
        LogPrintA("on delay silder %s valuechanged index ", Utf8(name).constData());
        LogPrintA("%d\n", index);
        c.SetChDelaySlider(index);
    }
}

void CMainWnd::OnStep(const QString& name, int index, bool up) {
    EqualizerManager& c = mEqualizer;
    if (Starts(name, "eq_freq_")) {
        c.SetEqFreqUp(index, up);
    } else if (Starts(name, "eq_q_")) {
        c.SetEqQUp(index, up);
    } else if (Starts(name, "eq_gain_")) {
        c.SetEqGainUp(index, up);
    } else if (Starts(name, "hp_freq")) {
        c.SetHpFreqUp(up);
    } else if (Starts(name, "lp_freq")) {
        c.SetLpFreqUp(up);
    } else if (Starts(name, "edit_main_volume")) {
        c.SetMainVolumeUp(up);
    } else if (Starts(name, "edit_ch_volume_")) {
        c.SetChVolumeUp(index, up);
    } else if (Starts(name, "edit_ch_delay_")) {
        c.SetChDelayUp(index, up);
    }
}

void CMainWnd::OnCommit(const QString& name, int index, bool enter) {
    EqualizerManager& c = mEqualizer;
    if (name == QLatin1String("edit_main_volume")) {
        c.SetMainVolumeEdit();
    } else if (IsEqEditName(name.toStdString())) {
        LogPrintA("on eq %s killfocus index ", Utf8(name).constData());
        LogPrintA("%d\n", index);
        if (!enter) {
            c.SetChEqEdit(index);
            return;
        }
        // Enter walks down the band column; leaving the edit commits it. In GEQ mode
        // the frequency and Q rows take no focus: Enter commits here and goes on to
        // the next band's gain.
        const int bands = c.Live().channels[c.Live().currChannel].eqSize;
        const std::string next = EqColumnNext(name.toStdString(), index, bands);
        const auto* target = FindControl<QLineEdit>(QString::fromStdString(next));
        if (target && target->isEnabled()) {
            FocusEdit(next);
        } else {
            c.SetChEqEdit(index);
            FocusEdit("eq_gain_" + std::to_string(index + 1 < bands ? index + 1 : 0));
        }
    } else if (Starts(name, "hp_freq")) {
        c.SetHpFreq();
    } else if (Starts(name, "lp_freq")) {
        c.SetLpFreq();
    } else if (Starts(name, "edit_ch_delay_")) {
        c.SetChDelayEdit(index);
    } else if (Starts(name, "edit_ch_volume_")) {
        c.SetChVolumeEdit(index);
    }
}

void CMainWnd::OnSetFocus(const QString& name, int index) {
    if (!Starts(name, "edit_ch_delay_") && !Starts(name, "slider_ch_delay_")) {
        mEqualizer.HideChDelaySlider();
    } else {
        mEqualizer.ShowChDelaySlider(index);
    }
    if (IsEqEditName(name.toStdString())) {
        LogPrintA("on eq %s setfocus index ", Utf8(name).constData());
        LogPrintA("%d\n", index);
        mEqualizer.UpdateEqualizer(index);  // the curve highlights the band
    }
}

void CMainWnd::OnItemSelect(const QString& name) {
    EqualizerManager& c = mEqualizer;
    auto logged = [&name](const char* format) {
        LogPrintA(format, Utf8(name).constData());
        return true;
    };
    if (Starts(name, "comb_ch_unit")) {
        c.SetDelayUnit();
    } else if (Starts(name, "hp_type") && logged("on eq hp_type %s valuechanged index ")) {
        c.SetHpType();
    } else if (Starts(name, "lp_type") && logged("on eq lp_type %s valuechanged index ")) {
        c.SetLpType();
    } else if (Starts(name, "hp_slop") && logged("on eq hp_slop %s valuechanged index ")) {
        c.SetHpSlope();
    } else if (Starts(name, "lp_slop") && logged("on eq lp_slop %s valuechanged index ")) {
        c.SetLpSlope();
    } else if (name == QLatin1String("btn_input_source")) {
        mEqualizer.SetInputSource();
    }
}

void CMainWnd::MoveFocusAlongRing(const QString& name, int index, bool forward) {
    const DspState& live = mEqualizer.Live();
    RingState ring;
    ring.bandCount = live.channels[live.currChannel].eqSize;
    const auto* firstFreq = FindControl<QLineEdit>(QStringLiteral("eq_freq_0"));
    const auto* lastQ = FindControl<QLineEdit>(QStringLiteral("eq_q_%1").arg(ring.bandCount - 1));
    ring.firstFreqEnabled = firstFreq && firstFreq->isEnabled();
    ring.lastQEnabled = lastQ && lastQ->isEnabled();
    const std::string target = RingNeighbour(name.toStdString(), index, forward, ring);
    if (target.empty()) return;
    if (IsEqEditName(name.toStdString())) {
        LogPrintA("on eq %s killfocus index ", Utf8(name).constData());
        LogPrintA("%d\n", index);
    }
    FocusEdit(target);
}

void CMainWnd::FocusEdit(const std::string& name) {
    if (name.empty()) return;
    if (auto* edit = FindControl<QLineEdit>(QString::fromStdString(name))) {
        // Leaving the old edit sends its "killfocus", which commits what was typed.
        edit->setFocus(Qt::TabFocusReason);
        edit->selectAll();
    }
}

}  // namespace kavelo
