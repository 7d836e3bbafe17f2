#pragma once

class QApplication;

namespace kavelo {

// Applies the skin's style sheet and its fonts (a CJK-capable face first in the
// fallback list) to the application. Returns false when the style sheet is missing.
bool ApplySkinStyle(QApplication& app);

}  // namespace kavelo
