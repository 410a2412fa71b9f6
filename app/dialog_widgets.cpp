#include "app/dialog_widgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <vector>

#include "platforms/catalogue.h"
#include "util/text.h"

namespace app {

namespace {

const char* const kVoices[] = {
    "小燕,普通话,青年女声",     "燕平,普通话,青年女声", "宇峰,普通话,青年男声", "晓婧,普通话,青年女声",
    "唐老鸭,普通话,卡通",       "许小宝,普通话,童声",   "楠楠,普通话,童声",     "晓梦,普通话,青年女声",
    "晓琳,台湾普通话,青年女声", "晓倩,东北话,青年女声", "晓蓉,四川话,青年女声", "小坤,河南话,青年男声",
    "小强,湖南话,青年男声",     "晓美,粤语,青年女声",   "大龙,粤语,青年男声",   "小艾,普通话,青年女声",
};

}  // namespace

std::span<const char* const> voiceNames() {
    return kVoices;
}

std::span<const char* const> platformNames() {
    static const std::vector<const char*> names = [] {
        std::vector<const char*> list;
        for (const platforms::PlatformEntry* entry : platforms::catalogue()) {
            list.push_back(entry->listName);
        }
        return list;
    }();
    return names;
}

void interactionSwitches(QCheckBox*& follows, QCheckBox*& shares, QCheckBox*& likes) {
    follows = withId(new QCheckBox(QStringLiteral("关注")), 1022);
    shares = withId(new QCheckBox(QStringLiteral("分享")), 1023);
    likes = withId(new QCheckBox(QStringLiteral("点赞")), 1024);
    // Only some platforms report these; their names follow each switch.
    QStringList reporters;
    for (const platforms::PlatformEntry* entry : platforms::catalogue()) {
        if (entry->interactions) {
            reporters << QString::fromUtf8(entry->listName);
        }
    }
    const QString reporting = QStringLiteral(" (%1)").arg(reporters.join(QLatin1Char('/')));
    follows->setToolTip(QStringLiteral("感谢关注") + reporting);
    shares->setToolTip(QStringLiteral("感谢分享直播间") + reporting);
    likes->setToolTip(QStringLiteral("感谢点赞, 同一观众 60 秒内只读一次") + reporting);
}

QWidget* engineRow(QLineEdit*& command, QCheckBox*& rawText, QPushButton*& trial) {
    command = new QLineEdit;
    command->setObjectName(QStringLiteral("engineCommand"));
    command->setPlaceholderText(QStringLiteral("留空: 内置语音"));
    command->setToolTip(
        QStringLiteral("例如 espeak-ng -v cmn-latn-pinyin -w {wav} --stdin\n"
                       "可用 {wav} {voice} {speed} {volume}; 命令以你的权限运行\n"
                       "命令含 {volume} 时由引擎调音量, 播放不再调低"));
    rawText = new QCheckBox(QStringLiteral("原文"));
    rawText->setObjectName(QStringLiteral("engineRawText"));
    rawText->setToolTip(QStringLiteral("把弹幕原样交给引擎, 符号、数字和网址由引擎自己处理"));
    trial = new QPushButton(QStringLiteral("试听"));
    trial->setObjectName(QStringLiteral("trySpeech"));
    trial->setAutoDefault(false);
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(command, 1);
    layout->addWidget(rawText);
    layout->addWidget(trial);
    return row;
}

QString fromGbk(const std::string& gbk) {
    std::u16string wide = util::localToWide(gbk);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string toGbk(const QString& text) {
    return util::wideToLocal(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                 static_cast<std::size_t>(text.size())));
}

QLineEdit* numberEdit(int id, bool digitsOnly) {
    auto* edit = withId(new QLineEdit, id);
    if (digitsOnly) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    edit->setMaximumWidth(90);
    return edit;
}

QWidget* secondsField(QLineEdit*& edit, const char* objectName, const char16_t* toolTip) {
    edit = numberEdit(0, true);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setToolTip(QString::fromUtf16(toolTip));
    return secondsRow(edit);
}

QWidget* secondsRow(QLineEdit* edit) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    layout->addWidget(new QLabel(QStringLiteral("秒")));
    layout->addStretch();
    return row;
}

QSlider* trackbar(int id) {
    auto* slider = withId(new QSlider(Qt::Horizontal), id);
    slider->setRange(0, 100);
    slider->setMinimumWidth(160);
    return slider;
}

QWidget* withValue(QSlider* slider) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* value = new QLabel;
    value->setMinimumWidth(28);
    QObject::connect(slider, &QSlider::valueChanged, value, [value](int v) { value->setNum(v); });
    value->setNum(slider->value());
    layout->addWidget(slider, 1);
    layout->addWidget(value);
    return row;
}

}  // namespace app
