#pragma once
// Command ids of the main window's menu, kept as data on its actions.

namespace router {

constexpr int kCommandAppExit = 57665;
constexpr int kCommandConnectToServer = 32772;
constexpr int kCommandDisconnectFromServer = 32773;
constexpr int kCommandAppAbout = 57664;

// The view's child window id (the framework's first pane).
constexpr int kViewWindowId = 59648;

}  // namespace router
