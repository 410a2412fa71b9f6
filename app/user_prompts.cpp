#include "app/user_prompts.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace {

class MessageBoxPrompts : public UserPrompts {
  public:
    void inform(QWidget* parent, const QString& caption, const QString& text) override {
        QMessageBox::information(parent, caption, text, QMessageBox::Ok);
    }
};

}  // namespace

bool UserPrompts::ask(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool UserPrompts::openFile(const QString& nativePath) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(nativePath));
}

std::shared_ptr<UserPrompts> messageBoxPrompts() {
    return std::make_shared<MessageBoxPrompts>();
}
