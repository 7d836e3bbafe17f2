#include "graph/GraphControls.h"

#include "graph/CircleProgress.h"
#include "graph/SButton.h"
#include "graph/UIEqualizer.h"
#include "graph/UIEqualizerAc.h"

namespace kavelo {

QWidget* CreateGraphControl(const QString& className, QWidget* parent) {
    if (className == QLatin1String("Curve")) return new UIEqualizer(parent);
    if (className == QLatin1String("CurveAc")) return new UIEqualizerAc(parent);
    if (className == QLatin1String("CircleProgress")) return new CCircleProgressUI(parent);
    if (className == QLatin1String("SButton")) return new CSButtonUI(parent);
    return nullptr;
}

}  // namespace kavelo
