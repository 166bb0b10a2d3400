#include "NetworkingDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace router {

NetworkingDlg::NetworkingDlg(QWidget* parent)
    : QDialog(parent),
      mEdit(new QLineEdit(this)),
      mOk(new QPushButton(QStringLiteral("OK"), this)),
      mCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Server Connection"));
    setModal(true);
    mEdit->setObjectName(QStringLiteral("edit%1").arg(kServerNameEditId));
    mOk->setDefault(true);

    auto* label = new QLabel(QStringLiteral("Computer Name or IP Address"), this);
    label->setBuddy(mEdit);
    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(mEdit, 1, 0, 1, 2);
    layout->addWidget(mOk, 2, 0);
    layout->addWidget(mCancel, 2, 1);
    setTabOrder(mOk, mCancel);
    setTabOrder(mCancel, mEdit);

    connect(mOk, &QPushButton::clicked, this, &NetworkingDlg::accept);
    connect(mCancel, &QPushButton::clicked, this, &NetworkingDlg::reject);
}

void NetworkingDlg::showEvent(QShowEvent* event) {
    mEdit->setText(QString::fromLatin1(mServerName));
    QDialog::showEvent(event);
    mEdit->setFocus(Qt::OtherFocusReason);
}

void NetworkingDlg::accept() {
    // No validation: an empty text, a name or a dotted address go on as typed.
    mServerName = mEdit->text().toLatin1().toStdString();
    QDialog::accept();
}

}  // namespace router
