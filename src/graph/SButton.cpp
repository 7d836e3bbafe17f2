#include "graph/SButton.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

#include "graph/ControlAttributes.h"

namespace kavelo {

CSButtonUI::CSButtonUI(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover);
    setProperty("selectedState", false);
}

void CSButtonUI::SetSelected(bool selected) {
    mSelected = selected;
    // Mirrored for the style sheet ([selectedState="true"]).
    setProperty("selectedState", selected);
    style()->unpolish(this);
    style()->polish(this);
    update();
}

CSButtonUI::Look CSButtonUI::CurrentLook() const {
    if (!isEnabled()) return Look::Normal;
    if (isDown()) return Look::Pushed;
    if (underMouse()) return Look::Hot;
    return Look::Normal;
}

bool CSButtonUI::SetAttribute(const QString& name, const QString& value) {
    if (name == QLatin1String("selected")) {
        if (ParseSkinBool(value) != mSelected) SetSelected(ParseSkinBool(value));
    } else if (name == QLatin1String("selectedimage")) {
        mImage = LoadSkinImage(value);
    } else if (name == QLatin1String("selectedhotimage")) {
        mHotImage = LoadSkinImage(value);
    } else if (name == QLatin1String("selectedpushedimage")) {
        mPushedImage = LoadSkinImage(value);
    } else if (name == QLatin1String("selectedforeimage")) {
        mForeImage = LoadSkinImage(value);
    } else if (name == QLatin1String("selectedstateimage")) {
        mStateImage = LoadSkinImage(value);
    } else if (name == QLatin1String("selectedstatecount")) {
        mStateCount = std::max(0, value.trimmed().toInt());
    } else if (name == QLatin1String("selectedbkcolor")) {
        mBkColor = ParseSkinColor(value);
    } else if (name == QLatin1String("selectedtextcolor")) {
        mTextColor = ParseSkinColor(value);
    } else if (name == QLatin1String("selectedhottextcolor")) {
        mHotTextColor = ParseSkinColor(value);
    } else if (name == QLatin1String("selectedfont")) {
        mFont = value.trimmed().toInt();
    } else {
        return false;
    }
    update();
    return true;
}

QPixmap CSButtonUI::SelectedImage(Look look) const {
    if (!mStateImage.isNull() && mStateCount > 0) {
        // Equal horizontal slices: 0 selected, 1 hot (and pushed), 2 pushed.
        int slice = 0;
        if (look == Look::Hot) slice = 1;
        if (look == Look::Pushed) slice = mStateCount > 2 ? 2 : 1;
        slice = std::min(slice, mStateCount - 1);
        const int w = mStateImage.width() / mStateCount;
        return mStateImage.copy(slice * w, 0, w, mStateImage.height());
    }
    if (look == Look::Pushed && !mPushedImage.isNull()) return mPushedImage;
    if (look != Look::Normal && !mHotImage.isNull()) return mHotImage;
    return mImage;
}

bool CSButtonUI::event(QEvent* event) {
    ForwardAttribute(this, event, [this](const QString& n, const QString& v) {
        if (n != QLatin1String("selectedState")) SetAttribute(n, v);
    });
    return QPushButton::event(event);
}

void CSButtonUI::paintEvent(QPaintEvent* event) {
    if (!mSelected) return QPushButton::paintEvent(event);
    QPainter p(this);
    const QRect all = rect();
    if (mBkColor) p.fillRect(all, *mBkColor);
    const Look look = CurrentLook();
    const QPixmap image = SelectedImage(look);
    if (!image.isNull()) p.drawPixmap(all, image);
    if (!mForeImage.isNull()) p.drawPixmap(all, mForeImage);
    QColor color = palette().color(QPalette::ButtonText);
    if (mTextColor) color = *mTextColor;
    if (look != Look::Normal && mHotTextColor) color = *mHotTextColor;
    p.setPen(color);
    p.setFont(SkinFont(this, mFont));
    p.drawText(all, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

}  // namespace kavelo
