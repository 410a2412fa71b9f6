#include "app/wording_form.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/host_wording.h"
#include "platforms/catalogue.h"

namespace {

QLineEdit* templateEdit(const std::string& utf8, const char* objectName, const QString& placeholder) {
    auto* edit = new QLineEdit(QString::fromStdString(utf8));
    edit->setObjectName(QString::fromUtf8(objectName));
    // The built-in wording as a grey hint: an empty edit keeps it.
    edit->setPlaceholderText(placeholder);
    edit->setMinimumWidth(320);
    return edit;
}

QLabel* listLink(const QString& caption, const char* fileName, const std::function<void(const char*)>& open) {
    auto* link = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(caption));
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    QObject::connect(link, &QLabel::linkActivated, link, [open, fileName] { open(fileName); });
    return link;
}

}  // namespace

WordingForm::WordingForm(const app::Settings& shown, std::function<void(const char*)> openList,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("播报模板"));
    chat_ = templateEdit(shown.chatTemplate, "chatTemplate", QStringLiteral("{name}说:{text}"));
    gift_ =
        templateEdit(shown.giftTemplate, "giftTemplate", QStringLiteral("感谢{name}赠送的{count}个{gift}"));
    welcome_ = templateEdit(shown.welcomeTemplate, "welcomeTemplate",
                            QStringLiteral("滴!滴!欢迎{name}来到本直播间!"));
    follow_ = templateEdit(shown.followTemplate, "followTemplate", QStringLiteral("感谢{name}的关注"));
    paid_ =
        templateEdit(shown.paidTemplate, "paidTemplate", QStringLiteral("{name}的醒目留言{price}元:{text}"));
    minGiftValue_ = new QSpinBox;
    minGiftValue_->setObjectName(QStringLiteral("minGiftValue"));
    minGiftValue_->setRange(app::kMinGiftValueRange.low, app::kMinGiftValueRange.high);
    minGiftValue_->setValue(shown.minGiftValue);
    std::string units;
    for (const platforms::PlatformEntry* entry : platforms::catalogue()) {
        if (*entry->giftValueUnit) {
            units += std::string(entry->listName) + entry->giftValueUnit + "; ";
        }
    }
    minGiftValue_->setToolTip(QString::fromUtf8(units) +
                              QStringLiteral("0 = 每个礼物都感谢. 不报价值的平台不受影响."));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("弹幕模板:"), chat_);
    form->addRow(QStringLiteral("礼物模板:"), gift_);
    form->addRow(QStringLiteral("欢迎模板:"), welcome_);
    form->addRow(QStringLiteral("关注模板:"), follow_);
    form->addRow(QStringLiteral("醒目留言模板:"), paid_);
    form->addRow(QStringLiteral("礼物最低价值:"), minGiftValue_);

    auto* help =
        new QLabel(QStringLiteral("可用 {name} {text} {count} {gift} {price}; 留空 = 默认说法. "
                                  "关闭\"昵称\"时弹幕只读内容."));
    help->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(help);
    layout->addWidget(listLink(QStringLiteral("编辑昵称替换 (昵称=读法)"), app::kNicknameFileName, openList));
    layout->addWidget(listLink(QStringLiteral("编辑替换列表 (原词=读法)"), app::kWordFileName, openList));
    layout->addWidget(buttons);
}

void WordingForm::take(app::Settings& out) const {
    auto text = [](const QLineEdit* edit) {
        QString value = edit->text();
        value.remove(QLatin1Char('\r'));
        value.remove(QLatin1Char('\n'));
        return value.toStdString();
    };
    out.chatTemplate = text(chat_);
    out.giftTemplate = text(gift_);
    out.welcomeTemplate = text(welcome_);
    out.followTemplate = text(follow_);
    out.paidTemplate = text(paid_);
    out.minGiftValue = minGiftValue_->value();
}
