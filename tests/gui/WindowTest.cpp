// The dialogs, the main window and its menu, and the application start-up,
// driven with Qt's test module over a real router core.

#include "AboutDlg.h"
#include "CommandIds.h"
#include "CoreStatusSource.h"
#include "FrameProbe.h"
#include "MainView.h"
#include "MainWindow.h"
#include "ModalAnswer.h"
#include "ModalMessage.h"
#include "NetworkServerContainer.h"
#include "NetworkingDlg.h"
#include "PlotOpenGL.h"
#include "RouterApp.h"
#include "RouterCore.h"

#include "Plenvar/PlenvarClient.h"
#include "platform/Resolve.h"
#include "platform/Socket.h"
#include "platform/System.h"
#include "protocol/Framing.h"
#include "simulator/Simulator.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace gui_test {
namespace {

using namespace std::chrono_literals;

// A program the test starts; killed and reaped at the end.
class TapProcess {
public:
    explicit TapProcess(std::vector<std::string> arguments) {
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&mPid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            mPid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TapProcess() {
        if (mPid > 0) {
            ::kill(mPid, SIGTERM);
            int status = 0;
            ::waitpid(mPid, &status, 0);
        }
    }
    TapProcess(const TapProcess&) = delete;
    TapProcess& operator=(const TapProcess&) = delete;

    bool Started() const { return mPid > 0; }

private:
    pid_t mPid = -1;
};

platform::Socket ConnectLoopback(uint16_t port) {
    platform::Socket socket = platform::Socket::CreateTcp();
    if (!socket.Connect(platform::MakeAddress(0x7F000001, port), 2000)) {
        socket.Close();
    }
    return socket;
}

// ---------------------------------------------------------------- dialogs

class NetworkingDlgTest : public ::testing::Test {
protected:
    // Opens the dialog (modal, without blocking) and waits until it is active.
    void Open() {
        mDialog.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&mDialog));
    }

    router::NetworkingDlg mDialog;
};

TEST_F(NetworkingDlgTest, OpensWithTheNameAndTheFocusInTheEditBox) {
    mDialog.SetServerName("acq-server");
    Open();
    EXPECT_EQ(mDialog.windowTitle(), "Server Connection");
    EXPECT_EQ(mDialog.ServerNameEdit()->text(), "acq-server");
    EXPECT_EQ(QApplication::focusWidget(), mDialog.ServerNameEdit());
    EXPECT_TRUE(mDialog.OkButton()->isDefault());
    EXPECT_EQ(mDialog.OkButton()->text(), "OK");
    EXPECT_EQ(mDialog.CancelButton()->text(), "Cancel");
    const auto labels = mDialog.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), "Computer Name or IP Address");
    // Tab order: OK, Cancel, the edit box.
    mDialog.OkButton()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), mDialog.CancelButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), mDialog.ServerNameEdit());
    mDialog.reject();
}

TEST_F(NetworkingDlgTest, OkKeepsTheEntryAndCancelDiscardsTheEdit) {
    mDialog.SetServerName("first");
    Open();
    mDialog.ServerNameEdit()->selectAll();
    QTest::keyClicks(mDialog.ServerNameEdit(), "192.168.7.20");
    QTest::keyClick(mDialog.ServerNameEdit(), Qt::Key_Return);
    EXPECT_EQ(mDialog.result(), QDialog::Accepted);
    EXPECT_FALSE(mDialog.isVisible());
    EXPECT_EQ(mDialog.GetServerName(), "192.168.7.20");

    Open();
    EXPECT_EQ(mDialog.ServerNameEdit()->text(), "192.168.7.20");
    QTest::keyClicks(mDialog.ServerNameEdit(), "-typo");
    QTest::keyClick(&mDialog, Qt::Key_Escape);
    EXPECT_EQ(mDialog.result(), QDialog::Rejected);
    EXPECT_EQ(mDialog.GetServerName(), "192.168.7.20");

    Open();
    EXPECT_EQ(mDialog.ServerNameEdit()->text(), "192.168.7.20");
    QTest::keyClicks(mDialog.ServerNameEdit(), "-again");
    QTest::mouseClick(mDialog.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(mDialog.result(), QDialog::Rejected);
    EXPECT_EQ(mDialog.GetServerName(), "192.168.7.20");
}

TEST_F(NetworkingDlgTest, AnEmptyEntryIsAcceptedAsItIs) {
    mDialog.SetServerName("acq-server");
    Open();
    mDialog.ServerNameEdit()->clear();
    QTest::mouseClick(mDialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(mDialog.result(), QDialog::Accepted);
    EXPECT_EQ(mDialog.GetServerName(), "");
}

TEST(AboutDlgTest, ShowsTitleVersionAndClosesWithEscape) {
    router::AboutDlg about;
    about.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    EXPECT_EQ(about.windowTitle(), "About Router");
    QStringList texts;
    bool hasIcon = false;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        texts << label->text();
        hasIcon = hasIcon || !label->pixmap().isNull();
    }
    EXPECT_TRUE(texts.contains("Router Version 1.2.0"));
    EXPECT_TRUE(hasIcon);
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
}

// ---------------------------------------------------------- message boxes

TEST(ModalMessageTest, AnotherThreadWaitsUntilTheBoxIsClosed) {
    std::vector<std::string> shown;
    router::ModalMessage messages(nullptr, [&shown](const std::string& text) { shown.push_back(text); });
    std::atomic<bool> returned{false};
    std::thread reporter([&] {
        messages.Show("Error from a server thread");
        returned = true;
    });
    QTest::qWait(300);
    // Presented on this thread once events are processed.
    EXPECT_EQ(shown, std::vector<std::string>{"Error from a server thread"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 2000));
    reporter.join();
}

TEST(ModalMessageTest, CloseReleasesAWaitingThreadWithoutShowingAnything) {
    int shown = 0;
    router::ModalMessage messages(nullptr, [&shown](const std::string&) { ++shown; });
    std::atomic<bool> returned{false};
    std::thread reporter([&] {
        messages.Show("too late");
        returned = true;
    });
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(returned);
    const auto start = std::chrono::steady_clock::now();
    messages.Close();
    reporter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    QTest::qWait(50);
    EXPECT_EQ(shown, 0);
}

// ------------------------------------------------------------ main window

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        mDirectory = std::filesystem::temp_directory_path() /
                     ("router-window-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(mDirectory);
        mCore = std::make_unique<router::RouterCore>(mDirectory.string());
        mWindow = std::make_unique<router::MainWindow>(*mCore, mPlot);
        ASSERT_TRUE(mWindow->Create());
        mWindow->resize(500, 400);
        mWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mWindow.get()));
    }
    void TearDown() override {
        mWindow.reset();
        mCore.reset();
        std::filesystem::remove_all(mDirectory);
    }

    // Triggers "Connect To Server", answers the dialog with `name` (OK) and
    // returns the text of the message box that follows, if one does.
    std::string ConnectTo(const std::string& name) {
        std::string message = "(none)";
        WhenModal<QMessageBox> box([&](QMessageBox* shown) {
            message = shown->text().toStdString();
            shown->accept();
        });
        WhenModal<router::NetworkingDlg> dialog([&](router::NetworkingDlg* shown) {
            shown->ServerNameEdit()->setText(QString::fromStdString(name));
            QTest::mouseClick(shown->OkButton(), Qt::LeftButton);
        });
        mWindow->ActionFor(router::kCommandConnectToServer)->trigger();
        EXPECT_TRUE(dialog.Answered());
        // A message box from the connect is answered inside the trigger.
        QTest::qWait(100);
        return message;
    }

    std::filesystem::path mDirectory;
    router::PlotOpenGL mPlot{[](const std::string&) {}};
    std::unique_ptr<router::RouterCore> mCore;
    std::unique_ptr<router::MainWindow> mWindow;
};

TEST_F(MainWindowTest, TitleMenuAndCommandIds) {
    EXPECT_EQ(mWindow->windowTitle(), "Router v1.2.0");
    struct Item {
        const char* menu;
        const char* text;
        int commandId;
    };
    const Item items[] = {
        {"&File", "E&xit", 57665},
        {"Network", "Connect To Server", 32772},
        {"Network", "Disconnect From Server", 32773},
        {"&Help", "&About Router...", 57664},
    };
    QStringList menus;
    for (QAction* menu : mWindow->menuBar()->actions()) {
        menus << menu->text();
    }
    EXPECT_EQ(menus, (QStringList{"&File", "Network", "&Help"}));
    for (const Item& item : items) {
        SCOPED_TRACE(item.text);
        QAction* action = mWindow->ActionFor(item.commandId);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), item.text);
        EXPECT_TRUE(action->isEnabled());
        const auto widgets = action->associatedObjects();
        ASSERT_FALSE(widgets.isEmpty());
        auto* menu = qobject_cast<QMenu*>(widgets.first());
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->title(), item.menu);
    }
    EXPECT_EQ(mWindow->centralWidget(), mWindow->View());
}

TEST_F(MainWindowTest, CreationStartsTheServersAndOffersThisComputersName) {
    std::string computer;
    ASSERT_TRUE(platform::ComputerName(computer));
    EXPECT_EQ(mWindow->ConnectionDialog().GetServerName(), computer);
    ASSERT_NE(mCore->ServerList(), nullptr);
    EXPECT_TRUE(ConnectLoopback(26200).IsValid());
    EXPECT_TRUE(mWindow->View()->IsTimerActive());
}

TEST_F(MainWindowTest, CancelLeavesEverythingAsItWas) {
    const std::string before = mWindow->ConnectionDialog().GetServerName();
    WhenModal<QMessageBox> box([](QMessageBox* shown) { shown->accept(); });
    WhenModal<router::NetworkingDlg> dialog([&](router::NetworkingDlg* shown) {
        EXPECT_EQ(shown->ServerNameEdit()->text().toStdString(), before);
        QTest::keyClicks(shown->ServerNameEdit(), "x");
        QTest::mouseClick(shown->CancelButton(), Qt::LeftButton);
    });
    mWindow->ActionFor(router::kCommandConnectToServer)->trigger();
    EXPECT_TRUE(dialog.Answered());
    QTest::qWait(300);
    EXPECT_FALSE(box.Answered());
    EXPECT_EQ(mWindow->ConnectionDialog().GetServerName(), before);
    EXPECT_FALSE(mCore->IsUpstreamConnected());
}

// Nothing listens on the acquisition server's port here, so both attempts
// fail; the entered names are kept, the empty one passed on as it is.
TEST_F(MainWindowTest, FailedConnectShowsTheErrorAndKeepsTheName) {
    EXPECT_EQ(ConnectTo("127.0.0.1"), "Error Connecting to Zorlent");
    EXPECT_FALSE(mCore->IsUpstreamConnected());
    EXPECT_EQ(mWindow->ConnectionDialog().GetServerName(), "127.0.0.1");
    EXPECT_EQ(mCore->ServerName(), "127.0.0.1");

    std::string offered;
    WhenModal<router::NetworkingDlg> dialog([&](router::NetworkingDlg* shown) {
        offered = shown->ServerNameEdit()->text().toStdString();
        shown->reject();
    });
    mWindow->ActionFor(router::kCommandConnectToServer)->trigger();
    EXPECT_EQ(offered, "127.0.0.1");

    EXPECT_EQ(ConnectTo(""), "Error Connecting to Zorlent");
    EXPECT_EQ(mCore->ServerName(), "");
}

TEST_F(MainWindowTest, ConnectDisconnectAndLossOfTheUpstreamLink) {
    sim::SimulatorOptions options;
    options.bindAddress = "127.0.0.1";
    options.log = [](const std::string&) {};
    sim::Simulator server(options);
    ASSERT_TRUE(server.Start()) << server.LastError();

    EXPECT_EQ(ConnectTo("127.0.0.1"), "(none)");
    EXPECT_TRUE(mCore->IsUpstreamConnected());
    mWindow->ActionFor(router::kCommandDisconnectFromServer)->trigger();
    EXPECT_FALSE(mCore->IsUpstreamConnected());

    EXPECT_EQ(ConnectTo("127.0.0.1"), "(none)");
    ASSERT_TRUE(mCore->IsUpstreamConnected());
    server.KillConnections();
    // The view's one-second timer finds the loss, silently.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !mCore->IsUpstreamConnected(); }, 3500));
}

TEST_F(MainWindowTest, AboutOpensTheAboutBox) {
    QString title;
    WhenModal<router::AboutDlg> about([&](router::AboutDlg* shown) {
        title = shown->windowTitle();
        QTest::keyClick(shown, Qt::Key_Return);
    });
    mWindow->ActionFor(router::kCommandAppAbout)->trigger();
    EXPECT_EQ(title, "About Router");
}

TEST_F(MainWindowTest, ExitShutsTheCoreDownInOrder) {
    mWindow->ActionFor(router::kCommandAppExit)->trigger();
    QTest::qWait(50);
    EXPECT_FALSE(mWindow->isVisible());
    EXPECT_FALSE(mWindow->View()->IsTimerActive());
    EXPECT_EQ(mCore->ServerList(), nullptr);
    EXPECT_FALSE(ConnectLoopback(26200).IsValid());
}

// A client that sends a bad pre-header: the message thread's text appears in
// a modal box on the window thread.
TEST_F(MainWindowTest, RefusedPreHeaderIsShownInAMessageBox) {
    std::string message;
    WhenModal<QMessageBox> box([&](QMessageBox* shown) {
        message = shown->text().toStdString();
        shown->accept();
    });
    platform::Socket client = ConnectLoopback(26200);
    ASSERT_TRUE(client.IsValid());
    // Version 1, a wrong validation code, a body size of 4.
    const unsigned char badPreHeader[12] = {1, 0, 0, 0, 0x12, 0x34, 0x56, 0x78, 4, 0, 0, 0};
    ASSERT_EQ(client.Send(badPreHeader, sizeof badPreHeader), 12);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !message.empty(); }, 5000));
    EXPECT_NE(message.find("invalid validation code"), std::string::npos) << message;
}

// ------------------------------------------------------------ application

TEST(RouterAppTest, StartUpPlacesTheWindowAtTheTopLeftWith500By400) {
    const auto directory = std::filesystem::temp_directory_path() / ("router-app-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    {
        router::RouterCore core(directory.string());
        int argc = 1;
        char name[] = "Router";
        char* argv[] = {name, nullptr};
        router::RouterApp app(argc, argv);
        ASSERT_TRUE(app.InitInstance(core));
        router::MainWindow* window = app.GetMainWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->frameGeometry(), QRect(0, 0, 500, 400));
        EXPECT_EQ(window->windowTitle(), "Router v1.2.0");
        EXPECT_FALSE(window->windowIcon().isNull());
        window->close();
        EXPECT_EQ(core.ServerList(), nullptr);
    }
    std::filesystem::remove_all(directory);
}

TEST(RouterAppTest, StopSignalClosesTheWindowAndEndsTheLoopInOrder) {
    const auto directory = std::filesystem::temp_directory_path() / ("router-stop-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    {
        router::RouterCore core(directory.string());
        int argc = 1;
        char name[] = "Router";
        char* argv[] = {name, nullptr};
        router::RouterApp app(argc, argv);
        ASSERT_TRUE(app.InitInstance(core));
        QTimer::singleShot(300, [] { ::raise(SIGTERM); });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(app.Run(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_FALSE(app.GetMainWindow()->isVisible());
        EXPECT_EQ(core.ServerList(), nullptr);
    }
    std::filesystem::remove_all(directory);
}

// The whole chain: an acquisition server, the router window connected to it,
// and one downstream client with objects open, shown in the status view.
// With PLENVAR_SCREENSHOT set, the window is saved there as a PNG.
TEST(RouterAppTest, WindowShowsAConnectedClient) {
    sim::SimulatorOptions options;
    options.bindAddress = "127.0.0.1";
    options.log = [](const std::string&) {};
    sim::Simulator server(options);
    ASSERT_TRUE(server.Start()) << server.LastError();

    const auto directory = std::filesystem::temp_directory_path() / ("router-shot-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    {
        router::RouterCore core(directory.string());
        int argc = 1;
        char name[] = "Router";
        char* argv[] = {name, nullptr};
        router::RouterApp app(argc, argv);
        ASSERT_TRUE(app.InitInstance(core));
        router::MainWindow* window = app.GetMainWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        ASSERT_TRUE(core.OnConnectToServer("127.0.0.1"));

        // The client is another program (in this process it would share the
        // client library's process-wide lock with the router's upstream client).
        TapProcess tap({PLENVAR_TAP_PATH, "--router", "--open", "TT1,CSC1", "--rate", "--seconds", "30", "127.0.0.1"});
        ASSERT_TRUE(tap.Started());
        WhenModal<QMessageBox> box([](QMessageBox* shown) {
            ADD_FAILURE() << "message box: " << shown->text().toStdString();
            shown->accept();
        });
        router::CoreStatusSource status(core);
        EXPECT_TRUE(QTest::qWaitFor(
            [&status] { return status.GetNumberOfClients() == 1 && status.GetDataObjectList(0) == "TT1 CSC1 "; },
            15000));
        QTest::qWait(1200);

        ASSERT_EQ(status.GetNumberOfClients(), 1);
        EXPECT_EQ(status.GetDataStreamCount(0), 6);
        EXPECT_EQ(status.GetDataObjectList(0), "TT1 CSC1 ");
        // The client keeps the reply from its first blank on, blank included.
        EXPECT_EQ(status.GetServerApplicationName(), L" zorlent-sim");

        router::MainView* view = window->View();
        const FrameProbe frame(view->grabFramebuffer());
        const int h = view->GetViewHeight();
        EXPECT_EQ(frame.WhiteRowsNear(view->GetViewWidth() - 5, h - 126 - 65, 2), 1);
        EXPECT_EQ(frame.WhiteRowsNear(view->GetViewWidth() - 5, h - 126 - 78, 2), 3);
        EXPECT_GT(frame.WhiteIn(10, h - 126 - 52 - 3, 250, h - 126 - 52 + 11), 40);

        if (const char* path = std::getenv("PLENVAR_SCREENSHOT")) {
            // What the X server shows, as a person would see it.
            const QRect outer = window->frameGeometry();
            const QPixmap shot = window->screen()->grabWindow(0, outer.x(), outer.y(), outer.width(), outer.height());
            EXPECT_TRUE(shot.save(QString::fromLocal8Bit(path)));
        }
        window->close();
    }
    std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace gui_test
