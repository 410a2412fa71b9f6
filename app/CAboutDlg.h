// The about box, reached from the main dialog's context menu.
//
// Threads: the user-interface thread.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // The context menu that carries the about entry; shows the box modally
    // over `parent` when the entry is chosen.
    static void showMenu(QWidget* parent, const QPoint& at);
};
