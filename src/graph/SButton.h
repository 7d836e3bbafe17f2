#pragma once

#include <QPixmap>
#include <QPushButton>
#include <optional>

namespace kavelo {

// A button with a selected look ("SButton"). The owner sets the selected flag; a
// click never changes it. Unselected it paints like any button; selected it uses the
// "selected..." attributes: background colour, images (or slices of one state image),
// a fore image, text colours and a font index.
class CSButtonUI : public QPushButton {
    Q_OBJECT
public:
    enum class Look { Normal, Hot, Pushed };

    explicit CSButtonUI(QWidget* parent = nullptr);

    QString GetClass() const { return QStringLiteral("SButtonUI"); }

    void SetSelected(bool selected);
    bool IsSelected() const { return mSelected; }
    // The state the selected look is drawn for: hot and pushed only while enabled.
    Look CurrentLook() const;

    bool SetAttribute(const QString& name, const QString& value);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap SelectedImage(Look look) const;

    bool mSelected = false;
    QPixmap mImage, mHotImage, mPushedImage, mForeImage, mStateImage;
    int mStateCount = 0;
    std::optional<QColor> mBkColor, mTextColor, mHotTextColor;
    int mFont = -1;
};

}  // namespace kavelo
