// EqualizerManager: the current output's EQ from and to the filter lists of REW
// and Equalizer APO, and a measurement shown under its curve.
#include <QAbstractButton>

#include "base/BuildConstants.h"
#include "base/Log.h"
#include "control/AtomicFile.h"
#include "control/EqOperations.h"
#include "control/TextLines.h"
#include "controller/ControlAccess.h"
#include "controller/EqualizerManager.h"
#include "graph/UIEqualizer.h"
#include "ui/LanguageService.h"

namespace kavelo {

using namespace controls;

namespace {

// Filter lists are a few kilobytes, measurements a few hundred.
constexpr std::size_t kMaxFilterFileBytes = 1u << 20;
constexpr std::size_t kMaxMeasurementBytes = 16u << 20;
// A report names this many lines; the rest are counted.
constexpr int kReportedLines = 12;
// Beyond this an offset is a typing mistake, not a level.
constexpr double kMaxOffsetDb = 200.0;

QString FileFilter(const char* typeKey, const char* patterns) {
    return GetText(QString::fromLatin1(typeKey)) + QStringLiteral(" (%1);;").arg(patterns) +
           GetText(QStringLiteral("${all_files}")) + QStringLiteral(" (*)");
}

QString IssueText(const FilterMessage& m, const FilterLimits& limits) {
    switch (m.issue) {
        case FilterIssue::Off:
            return FormatNumbers(QStringLiteral("${filter_issue_off}"), {m.line});
        case FilterIssue::NotPeaking:
            return FormatNumbers(QStringLiteral("${filter_issue_not_peaking}"), {m.line});
        case FilterIssue::UnknownType:
            return FormatNumbers(QStringLiteral("${filter_issue_unknown}"), {m.line});
        case FilterIssue::MissingValue:
            return FormatNumbers(QStringLiteral("${filter_issue_missing}"), {m.line});
        case FilterIssue::FrequencyRange:
            return FormatNumbers(QStringLiteral("${filter_issue_frequency}"), {m.line});
        case FilterIssue::QLimited:
            return FormatNumbers(QStringLiteral("${filter_issue_q}"), {m.line});
        case FilterIssue::GainLimited:
            return FormatNumbers(QStringLiteral("${filter_issue_gain}"),
                                 {m.line, std::lround(limits.minGain), std::lround(limits.maxGain)});
        case FilterIssue::TooMany:
            return FormatNumbers(QStringLiteral("${filter_issue_too_many}"), {m.line, limits.bands});
        case FilterIssue::PreampNotApplied:
            return FormatNumbers(QStringLiteral("${filter_issue_preamp}"), {m.line});
        case FilterIssue::CommandIgnored:
            return FormatNumbers(QStringLiteral("${filter_issue_command}"), {m.line});
    }
    return {};
}

// The summary followed by one line per refused or limited filter.
QString ImportReport(const QString& summary, const FilterImport& parsed,
                     const FilterLimits& limits) {
    QString text = summary;
    const int count = static_cast<int>(parsed.messages.size());
    for (int i = 0; i < count && i < kReportedLines; ++i) {
        const FilterMessage& m = parsed.messages[static_cast<std::size_t>(i)];
        text += QLatin1Char('\n') + IssueText(m, limits) + QStringLiteral(": ") +
                QString::fromStdString(m.text);
    }
    if (count > kReportedLines)
        text += QLatin1Char('\n') +
                FormatNumbers(QStringLiteral("${filter_issue_more}"), {count - kReportedLines});
    return text;
}

}  // namespace

// ---------------------------------------------------------------- filter lists

void EqualizerManager::ImportFilterFile() {
    LogPrintA("%s\n", "EqualizerManager::ImportFilterFile");
    const QString path =
        ShowOpenFileDialog(mWindow.data(), FileFilter("${filter_file_type}", "*.txt"));
    if (path.isEmpty()) return;
    LogPrintA("GetOpenFileName %s ok\n", path.toUtf8().constData());
    std::string text;
    if (!ReadFileCapped(path.toStdString(), kMaxFilterFileBytes, text)) {
        LogPrintA("filter import: %s cannot be read\n", path.toUtf8().constData());
        ConfirmBox(mWindow.data(), QStringLiteral("${file_read_error}"));
        return;
    }
    const int current = mModel.live.currChannel;
    FilterLimits limits;
    limits.minGain = BandGainLimit(0, false);
    limits.maxGain = BandGainLimit(0, true);
    limits.bands = std::clamp(mModel.live.channels[current].eqSize, 0, kEqBands);
    const FilterImport parsed = ParseFilterText(text, limits);
    for (const FilterMessage& m : parsed.messages)
        LogPrintA("filter import: %s\n", DescribeFilterMessage(m, limits).c_str());
    if (parsed.filters.empty()) {
        ConfirmBox(mWindow.data(),
                   ImportReport(GetText(QStringLiteral("${filters_none}")), parsed, limits));
        return;
    }
    std::vector<EqBand> bands;
    for (const ImportedFilter& f : parsed.filters) bands.push_back({f.gain, f.q, f.freq, 1});
    const OutputEdit edit = ReplaceBands(mModel.live, bands);
    LogPrintA("filter import: %d filters into output %d, %d commands\n",
              static_cast<int>(bands.size()), current + 1,
              static_cast<int>(edit.commands.size()));
    // Imported bands sit at any frequency: they are edited in PEQ mode.
    ShowEqMode(true);
    ShowBypassButton();
    SendAndRedraw(edit, -1);
    const QString summary =
        FormatNumbers(QStringLiteral("${filters_imported}"),
                      {static_cast<long long>(bands.size()), current + 1});
    ConfirmBox(mWindow.data(), ImportReport(summary, parsed, limits));
}

void EqualizerManager::ExportFilterFile(FilterTextFormat format) {
    LogPrintA("%s\n", "EqualizerManager::ExportFilterFile");
    const QString path =
        ShowSaveFileDialog(mWindow.data(), FileFilter("${filter_file_type}", "*.txt"), "txt");
    if (path.isEmpty()) return;
    LogPrintA("GetSaveFileName %s ok\n", path.toUtf8().constData());
    const int current = mModel.live.currChannel;
    const ChannelState& ch = mModel.live.channels[current];
    const std::string title = std::string(MODEL_NAME) + " output " + std::to_string(current + 1);
    if (!WriteFileAtomically(path.toStdString(), WriteFilterText(ch, format, title))) {
        LogPrintA("filter export: %s cannot be written\n", path.toUtf8().constData());
        ConfirmBox(mWindow.data(), QStringLiteral("${filter_export_error}"));
        return;
    }
    const int count = static_cast<int>(ActiveBands(ch).size());
    LogPrintA("filter export: %d filters of output %d\n", count, current + 1);
    ConfirmBox(mWindow.data(), FormatNumbers(QStringLiteral("${filters_exported}"), {count}));
}

// ---------------------------------------------------------------- measurement

void EqualizerManager::LoadMeasurementFile() {
    LogPrintA("%s\n", "EqualizerManager::LoadMeasurementFile");
    const QString path = ShowOpenFileDialog(
        mWindow.data(), FileFilter("${measurement_file_type}", "*.txt *.frd *.csv"));
    if (path.isEmpty()) return;
    LogPrintA("GetOpenFileName %s ok\n", path.toUtf8().constData());
    std::string text;
    if (!ReadFileCapped(path.toStdString(), kMaxMeasurementBytes, text)) {
        ConfirmBox(mWindow.data(), QStringLiteral("${file_read_error}"));
        return;
    }
    MeasurementText parsed;
    if (!ParseMeasurementText(text, parsed)) {
        LogPrintA("measurement: no response in %s (%d data lines)\n", path.toUtf8().constData(),
                  parsed.dataLines);
        ConfirmBox(mWindow.data(), QStringLiteral("${measurement_error}"));
        return;
    }
    Measurement m;
    m.levels = ResampleMeasurement(parsed.points);
    m.autoOffset = AutoMeasurementOffset(m.levels);
    const int current = mModel.live.currChannel;
    LogPrintA("measurement: %d points for output %d, %d other lines, offset %.1f dB\n",
              static_cast<int>(parsed.points.size()), current + 1, parsed.otherLines,
              m.autoOffset);
    mMeasurements[static_cast<std::size_t>(current)] = m;
    UpdateEqualizer(-1);
}

void EqualizerManager::SetMeasurementOffset() {
    LogPrintA("%s\n", "EqualizerManager::SetMeasurementOffset");
    auto& m = mMeasurements[static_cast<std::size_t>(mModel.live.currChannel)];
    if (!m) {
        ConfirmBox(mWindow.data(), QStringLiteral("${measurement_none}"));
        return;
    }
    QString buffer = QString::number(m->Offset(), 'f', 1);
    if (ShowNameEntry(mWindow.data(), QStringLiteral("${tips}"),
                      QStringLiteral("${measurement_offset_tips}"), buffer) != 1)
        return;
    const std::string typed = buffer.trimmed().toStdString();
    if (typed.empty()) {
        m->userOffset.reset();
    } else {
        std::string_view rest;
        const std::optional<double> v = ReadDecimal(typed, &rest);
        if (!v || !rest.empty() || std::fabs(*v) > kMaxOffsetDb) {
            ConfirmBox(mWindow.data(), QStringLiteral("${measurement_offset_error}"));
            return;
        }
        m->userOffset = *v;
    }
    LogPrintA("measurement offset %.1f dB (%s)\n", m->Offset(), m->userOffset ? "user" : "auto");
    UpdateEqualizer(-1);
}

void EqualizerManager::ClearMeasurement() {
    LogPrintA("%s\n", "EqualizerManager::ClearMeasurement");
    mMeasurements[static_cast<std::size_t>(mModel.live.currChannel)].reset();
    UpdateEqualizer(-1);
}

const ResponseArray* EqualizerManager::ShownMeasurement(int channel) {
    const auto& m = mMeasurements[static_cast<std::size_t>(channel)];
    if (!m) return nullptr;
    mShownMeasurement = OffsetLevels(m->levels, m->Offset());
    return &mShownMeasurement;
}

}  // namespace kavelo
