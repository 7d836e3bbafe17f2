#pragma once

namespace kavelo {

// ChooseStartupDpi over the screens Qt reports (primary, virtual desktop, monitors).
int StartupDpiFromScreens();

}  // namespace kavelo
