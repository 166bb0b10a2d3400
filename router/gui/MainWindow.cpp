#include "MainWindow.h"

#include "AboutDlg.h"
#include "CommandIds.h"
#include "MainView.h"
#include "NetworkServerContainer.h"
#include "RouterCore.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>

namespace router {

MainWindow::MainWindow(RouterCore& core, PlotOpenGL& plot, QWidget* parent)
    : QMainWindow(parent), mCore(core), mPlot(plot), mStatus(core), mMessages(this), mConnectionDialog(this) {
    setWindowTitle(QString::fromLatin1(kTitle));
    BuildMenu();
}

MainWindow::~MainWindow() { ShutDown(); }

bool MainWindow::Create() {
    mView = new MainView(mPlot, mStatus, [this] { OnLinkWatch(); }, this);
    mView->setObjectName(QStringLiteral("view%1").arg(kViewWindowId));
    setCentralWidget(mView);
    if (centralWidget() != mView) {
        QMessageBox::critical(this, QString::fromLatin1(kTitle), QStringLiteral("Failed to create view window"));
        return false;
    }

    mCore.SetErrorNotifier(mMessages.Notifier());
    mCore.Start();
    if (NetworkServerContainer* servers = mCore.ServerList()) {
        servers->SetMessageNotifier(mMessages.Notifier());
    }
    mConnectionDialog.SetServerName(mCore.ServerName());
    return true;
}

void MainWindow::BuildMenu() {
    auto add = [this](QMenu* menu, const QString& text, int commandId, void (MainWindow::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setData(commandId);
        connect(action, &QAction::triggered, this, handler);
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    exit->setData(kCommandAppExit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* network = menuBar()->addMenu(QStringLiteral("Network"));
    add(network, QStringLiteral("Connect To Server"), kCommandConnectToServer, &MainWindow::OnConnectToServer);
    add(network, QStringLiteral("Disconnect From Server"), kCommandDisconnectFromServer,
        &MainWindow::OnDisconnectFromServer);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    add(help, QStringLiteral("&About Router..."), kCommandAppAbout, &MainWindow::OnAppAbout);
}

QAction* MainWindow::ActionFor(int commandId) const {
    for (QAction* menu : menuBar()->actions()) {
        if (menu->menu() == nullptr) {
            continue;
        }
        for (QAction* action : menu->menu()->actions()) {
            if (action->data().toInt() == commandId) {
                return action;
            }
        }
    }
    return nullptr;
}

void MainWindow::OnConnectToServer() {
    if (mConnectionDialog.exec() != QDialog::Accepted) {
        return;
    }
    // A failure is shown through the core's error notifier.
    mCore.OnConnectToServer(mConnectionDialog.GetServerName());
}

void MainWindow::ConnectTo(const std::string& serverName) {
    mConnectionDialog.SetServerName(serverName);
    mCore.OnConnectToServer(serverName);
}

void MainWindow::OnDisconnectFromServer() { mCore.OnDisconnectFromServer(); }

void MainWindow::OnAppAbout() {
    AboutDlg about(this);
    about.exec();
}

void MainWindow::OnLinkWatch() { mCore.OnLinkWatchTick(); }

void MainWindow::closeEvent(QCloseEvent* event) {
    ShutDown();
    QMainWindow::closeEvent(event);
}

void MainWindow::ShutDown() {
    if (mShutDown) {
        return;
    }
    mShutDown = true;
    if (mView != nullptr) {
        mView->StopTimer();
    }
    // Threads waiting on a message box are let go before the servers they
    // run in are shut down.
    mMessages.Close();
    mCore.Shutdown();
    mCore.SetErrorNotifier(nullptr);
}

}  // namespace router
