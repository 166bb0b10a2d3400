#pragma once
// The server connection dialog. It lives as long as the main window, so the
// name entered last is offered again at the next showing.

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace router {

class NetworkingDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kServerNameEditId = 1001;

    explicit NetworkingDlg(QWidget* parent = nullptr);

    void SetServerName(const std::string& name) { mServerName = name; }
    const std::string& GetServerName() const { return mServerName; }

    QLineEdit* ServerNameEdit() const { return mEdit; }
    QPushButton* OkButton() const { return mOk; }
    QPushButton* CancelButton() const { return mCancel; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string mServerName;
    QLineEdit* mEdit;
    QPushButton* mOk;
    QPushButton* mCancel;
};

}  // namespace router
