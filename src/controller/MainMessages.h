#pragma once

// Private messages the controller, its workers and the pop-ups post to the main
// window, and the main window's timers. The numbers are exchanged between
// threads and windows and never change.
namespace kavelo {

enum MainWindowMessage : int {
    WM_DEVICE_REBOOT = 1240,
    WM_CONNECT_FAIL = 1242,
    WM_CONNECTED = 1243,
    WM_DISCONNECTED = 1245,
    WM_FORCE_UPDATE = 1248,
    WM_SHOW_LOADING = 1274,
    WM_CLOSE_LOADING = 1275,
    WM_LOADING_PROGRESS = 1276,  // wParam: commands done; lParam: commands to do
};

enum MainWindowTimer : int {
    GET_MAIN_VOLUME_TIMER = 4114,  // 1000 ms, asks for the main volume a few times
    STATUS_TIMER = 7698,           // 100 ms, runs while connected; no action of its own
};

}  // namespace kavelo
