// The dialog as a desktop window: its remembered position, the tray icon it
// minimises to, the question before the reading ends, the way out, and the
// hint under the platform list.
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/CSonaroDlg.h"
#include "platforms/catalogue.h"

QString CSonaroDlg::platformHint(int index) {
    const platforms::PlatformEntry* entry = platforms::entryAt(index);
    if (!entry) {
        return {};
    }
    // The historic entries keep the protocols of their last year; their services are gone.
    return entry->historic
               ? QStringLiteral("2016 年的旧协议, 平台已关闭, 只能用演示房间 (sonaro --demo) 试听")
               : QStringLiteral("正在运营的直播平台");
}

void CSonaroDlg::showPlatformHint(int index) {
    platformHint_->setText(platformHint(index));
}

void CSonaroDlg::restorePosition() {
    if (options_.windowStateFile.empty()) {
        return;
    }
    QSettings stored(QString::fromStdString(options_.windowStateFile), QSettings::IniFormat);
    const QPoint at = stored.value(QStringLiteral("window/position")).toPoint();
    // A screen unplugged since must not leave the window out of sight.
    if (stored.contains(QStringLiteral("window/position")) && QGuiApplication::screenAt(at)) {
        move(at);
    }
}

void CSonaroDlg::savePosition() {
    if (options_.windowStateFile.empty() || !isVisible()) {
        return;
    }
    QSettings stored(QString::fromStdString(options_.windowStateFile), QSettings::IniFormat);
    stored.setValue(QStringLiteral("window/position"), pos());
}

void CSonaroDlg::buildTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;  // minimising stays what the desktop makes of it
    }
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(title());
    auto* menu = new QMenu(this);
    QAction* pause = menu->addAction(QStringLiteral("暂停"));
    connect(pause, &QAction::triggered, this, [this] { speech_->setPaused(!speech_->paused()); });
    connect(menu, &QMenu::aboutToShow, this, [this, pause] {
        pause->setText(speech_->paused() ? QStringLiteral("继续") : QStringLiteral("暂停"));
    });
    connect(menu->addAction(QStringLiteral("跳过")), &QAction::triggered, this, [this] { speech_->skip(); });
    connect(menu->addAction(QStringLiteral("清空")), &QAction::triggered, this, [this] { speech_->clear(); });
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("退出")), &QAction::triggered, this, [this] { reject(); });
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
            showNormal();
            raise();
            activateWindow();
        }
    });
    tray_->show();
}

void CSonaroDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && tray_ && isMinimized()) {
        savePosition();  // a 退出 from the tray finds the window hidden
        // Out of the task bar: the tray icon brings it back. Hidden once the
        // minimise has finished, not inside it.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) {
                hide();
            }
        });
    }
}

bool CSonaroDlg::confirmEnd() {
    if (!session_.serving()) {
        return true;
    }
    return prompts_->ask(this, QStringLiteral("提示"), QStringLiteral("正在读直播间的弹幕, 确定要退出吗?"));
}

void CSonaroDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (confirmEnd()) {
            reject();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSonaroDlg::closeEvent(QCloseEvent* event) {
    if (!confirmEnd()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CSonaroDlg::reject() {
    savePosition();
    session_.shutdown();
    QDialog::reject();
}
