// The dialog's side of the host's wording: the "模板..." button.
#include <QPushButton>

#include "app/CSonaroDlg.h"
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
        settings_, [this](const char* name) { openListFile(name, QStringLiteral("文件")); }, this);
    if (form.exec() != QDialog::Accepted) {
        return;
    }
    // In force and kept like every other setting: with the next save, which
    // happens now.
    form.take(settings_);
    OnSave();
}
