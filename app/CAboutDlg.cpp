#include "app/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 Sonaro在线版"));
    auto* icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/sonaro/icon.png")).pixmap(48, 48));
    auto* lines = new QVBoxLayout;
    lines->addWidget(new QLabel(QStringLiteral("Sonaro在线版 1.8")));
    lines->addWidget(new QLabel(QStringLiteral("把直播间的弹幕、礼物和进场读给主播听.")));
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(lines);
    auto* ok = new QPushButton(QStringLiteral("确定"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(ok, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDlg::showMenu(QWidget* parent, const QPoint& at) {
    QMenu menu(parent);
    menu.addSeparator();
    menu.addAction(QStringLiteral("关于 Sonaro(&A)..."), parent, [parent] {
        CAboutDlg about(parent);
        about.exec();
    });
    menu.exec(at);
}
