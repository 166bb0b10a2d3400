#pragma once
// The about box: the program icon, its version and one line about it.

#include <QDialog>

namespace router {

class AboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit AboutDlg(QWidget* parent = nullptr);
};

}  // namespace router
