#pragma once

#include <QString>

class QWidget;

namespace kavelo {

// The custom controls of the skin by layout element name: "Curve", "CurveAc",
// "CircleProgress", "SButton". nullptr for any other name.
QWidget* CreateGraphControl(const QString& className, QWidget* parent);

}  // namespace kavelo
