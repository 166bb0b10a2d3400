#include "AboutDlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "Resources.h"

namespace router {

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent) {
    InitRouterResources();
    setWindowTitle(QStringLiteral("About Router"));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QString::fromLatin1(kIconPath)).pixmap(32, 32));
    auto* version = new QLabel(QStringLiteral("Router Version 1.2.0"), this);
    auto* notice = new QLabel(QStringLiteral("Relays live recording data to many clients"), this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &AboutDlg::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1);
    layout->addWidget(version, 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(ok, 1, 2);
}

}  // namespace router
