// The about box, reached from the main dialog's context menu.
//
// Threads: the user-interface thread.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
