#pragma once

#include <QColor>
#include <QProgressBar>
#include <optional>

namespace kavelo {

// A progress bar drawn as a ring ("CircleProgress"): a full circle in the background
// colour, a pie in the foreground colour from the bottom, clockwise, and a white disc
// inset by 10 px that leaves the ring. Colours come from "bkcolor" and "forecolor".
class CCircleProgressUI : public QProgressBar {
    Q_OBJECT
public:
    explicit CCircleProgressUI(QWidget* parent = nullptr);

    QString GetClass() const { return QStringLiteral("CircleProgress"); }

    QColor GetBkColor() const;
    QColor GetForeColor() const;
    void SetBkColor(const QColor& color);
    void SetForeColor(const QColor& color);
    bool SetAttribute(const QString& name, const QString& value);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QColor> mBkColor;
    std::optional<QColor> mForeColor;
};

}  // namespace kavelo
