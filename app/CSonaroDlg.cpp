#include "app/CSonaroDlg.h"

#include <QContextMenuEvent>
#include <QLabel>

#include "app/CAboutDlg.h"
#include "app/data_folders.h"
#include "app/dialog_widgets.h"
#include "app/filter_list.h"

using app::fromGbk;

CSonaroDlg::~CSonaroDlg() {
    session_.shutdown();
}

Session::Hooks CSonaroDlg::sessionHooks() {
    Session::Hooks hooks;
    // From the network thread or the speech worker: run on ours, dropped once
    // we are gone.
    hooks.post = [this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    };
    hooks.status = [this](const std::string& line) { reportStatus(line); };
    return hooks;
}

void CSonaroDlg::openListFile(const char* name, const QString& what) {
    const std::string path = filePath(name);
    app::createIfMissing(path);
    const QString nativePath = QString::fromStdString(path);
    if (!prompts_->openFile(nativePath)) {
        prompts_->inform(this, QStringLiteral("提示"),
                         QStringLiteral("无法打开%1, 请用文本编辑器打开: %2").arg(what, nativePath));
    }
}

void CSonaroDlg::OnStatusEvent(std::unique_ptr<ChatEvent> status) {
    if (!status) {
        return;
    }
    reportStatus(statusLine(*status));
}

void CSonaroDlg::contextMenuEvent(QContextMenuEvent* event) {
    CAboutDlg::showMenu(this, event->globalPos());
}

void CSonaroDlg::showStatus(const QString& line) {
    // A later status must not hide that nothing can be heard.
    status_->setText(options_.unwritableWaves && !line.startsWith(QStringLiteral("语音:"))
                         ? line + QStringLiteral(" (无法写入语音文件)")
                         : line);
}

// Shows a status line (GBK) and hands it to the log.
void CSonaroDlg::reportStatus(const std::string& line) {
    showStatus(fromGbk(line));
    if (options_.onStatus) {
        options_.onStatus(line);
    }
}
