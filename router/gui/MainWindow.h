#pragma once
// The router's top-level window: a thin front over the router core. It owns
// the status view and the connection dialog, starts the core's servers when
// created and shuts the core down, in order, when closed.

#include "CoreStatusSource.h"
#include "ModalMessage.h"
#include "NetworkingDlg.h"

#include <QMainWindow>

#include <string>

namespace router {

class MainView;
class PlotOpenGL;
class RouterCore;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Router v1.2.0";

    // core and plot must outlive the window.
    MainWindow(RouterCore& core, PlotOpenGL& plot, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The creation steps: view, core start (server list, callbacks, logs),
    // connection dialog seeded with this computer's name. False when the
    // view cannot be made.
    bool Create();

    void OnConnectToServer();
    // What "Connect To Server" does once `serverName` is confirmed, without
    // the dialog (the command line's --connect); the name is kept in the dialog.
    void ConnectTo(const std::string& serverName);
    void OnDisconnectFromServer();
    void OnAppAbout();

    MainView* View() const { return mView; }
    NetworkingDlg& ConnectionDialog() { return mConnectionDialog; }
    // The menu action carrying `commandId`, or null.
    QAction* ActionFor(int commandId) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    void OnLinkWatch();
    void ShutDown();

    RouterCore& mCore;
    PlotOpenGL& mPlot;
    CoreStatusSource mStatus;
    ModalMessage mMessages;
    MainView* mView = nullptr;
    NetworkingDlg mConnectionDialog;
    bool mShutDown = false;
};

}  // namespace router
