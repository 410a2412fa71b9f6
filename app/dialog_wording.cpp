// The dialog's side of the host's wording: the "模板..." button and opening
// the replacement lists.
#include <QPushButton>

#include "app/CSonaroDlg.h"
#include "app/data_folders.h"
#include "app/user_prompts.h"
#include "app/wording_form.h"

QPushButton* CSonaroDlg::wordingButton() {
    auto* button = new QPushButton(QStringLiteral("模板..."));
    button->setObjectName(QStringLiteral("wording"));
    button->setAutoDefault(false);
    button->setToolTip(QStringLiteral("播报的说法、昵称和词语的读法、礼物最低价值"));
    connect(button, &QPushButton::clicked, this, [this] { editWording(); });
    return button;
}

void CSonaroDlg::editWording() {
    WordingForm form(
        settings_, [this](const char* name) { openListFile(name); }, this);
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    // In force and kept like every other setting: with the next save, which
    // happens now.
    form.take(settings_);
    OnSave();
}

void CSonaroDlg::openListFile(const char* name) {
    const std::string path = filePath(name);
    app::createIfMissing(path);
    const QString nativePath = QString::fromStdString(path);
    if (!prompts_->openFile(nativePath)) {
        prompts_->inform(this, QStringLiteral("提示"),
                         QStringLiteral("无法打开文件, 请用文本编辑器打开: %1").arg(nativePath));
    }
}
