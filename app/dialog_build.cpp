// Building the dialog: its controls, their first values from the files, and
// the session it owns.
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>

#include "app/CSonaroDlg.h"
#include "app/data_folders.h"
#include "app/dialog_widgets.h"
#include "app/filter_list.h"
#include "app/output_device_list.h"
#include "app/reading_panel.h"
#include "app/session_settings.h"
#include "platforms/catalogue.h"
#include "sys/sys.h"
#include "util/text.h"

using app::numberEdit;
using app::trackbar;
using app::withId;
using app::withValue;

// The icon and banner are linked in from a static library, whose resource
// registration nothing would otherwise pull in.
static void registerArtwork() {
    Q_INIT_RESOURCE(sonaro);
}

CSonaroDlg::CSonaroDlg(const SpeechServiceFactory& speechFactory, FeederFactories feeders,
                       DialogOptions options, QWidget* parent)
    : QDialog(parent),
      options_(std::move(options)),
      prompts_(options_.prompts ? options_.prompts : messageBoxPrompts()),
      session_(speechFactory, std::move(feeders), sessionHooks(),
               [](const std::vector<std::string>& words, const std::string& text) {
                   return app::isFiltered(words, text);
               }),
      speech_(&session_.speech()) {
    if (options_.onSpeak) {
        speech_->setSpeakObserver(options_.onSpeak);
    }
    // Runs on the engine's playback thread: the listeners run on ours.
    speech_->setReaderObserver([this](const ReaderState&) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                for (const auto& listener : readerListeners_) {
                    listener();
                }
            },
            Qt::QueuedConnection);
    });
    registerArtwork();
    buildControls();
    OnInitDialog();
}

void CSonaroDlg::buildControls() {
    setWindowTitle(title());
    setWindowIcon(QIcon(QStringLiteral(":/sonaro/icon.png")));
    setContextMenuPolicy(Qt::DefaultContextMenu);

    banner_ = withId(new QLabel, 1009);
    banner_->setFixedSize(240, 65);
    auto* guideLink = withId(new QLabel, 1010);
    auto* folderLink = withId(new QLabel, 1011);
    for (QLabel* link : {guideLink, folderLink}) {
        link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    }
    connect(guideLink, &QLabel::linkActivated, this,
            [this] { openListFile(app::kFilterFileName, QStringLiteral("过滤列表")); });
    connect(folderLink, &QLabel::linkActivated, this,
            [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
    auto* intro = new QLabel(QStringLiteral("弹幕、礼物和进场欢迎, 一句一句读出来."));
    auto* hint = new QLabel(QStringLiteral("改完设置请按\"保存\", 右键可看关于."));
    auto* side = new QVBoxLayout;
    side->addWidget(intro);
    side->addWidget(hint);
    side->addWidget(guideLink);
    side->addWidget(folderLink);
    side->addWidget(wordingButton(), 0, Qt::AlignLeft);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(banner_, 0, Qt::AlignTop);
    top->addLayout(side, 1);

    voiceList_ = withId(new QComboBox, 1000);
    for (const char* voice : app::voiceNames()) {
        voiceList_->addItem(QString::fromUtf8(voice));
    }
    platformList_ = withId(new QComboBox, 1015);
    for (const char* platform : app::platformNames()) {
        platformList_->addItem(QString::fromUtf8(platform));
    }
    roomEdit_ = withId(new QLineEdit, 1001);
    alsoRooms_ = new QLineEdit;
    alsoRooms_->setObjectName(QStringLiteral("alsoRooms"));
    alsoRooms_->setPlaceholderText(QStringLiteral("平台:直播间号, 如 5:9999,6:660000 (可留空)"));
    alsoRooms_->setToolTip(
        QStringLiteral("登陆时同时读这些直播间, 弹幕进同一个队列; 平台号是上面列表中的序号 (从 0 起)"));
    volume_ = trackbar(1002);
    speed_ = trackbar(1003);
    cacheCount_ = numberEdit(1005, true);
    minLength_ = numberEdit(1006, true);
    maxLength_ = numberEdit(1007, true);
    speechSeconds_ = numberEdit(1014, false);
    QWidget* seconds = app::secondsRow(speechSeconds_);

    speakChat_ = withId(new QCheckBox(QStringLiteral("弹幕")), 1012);
    speakGifts_ = withId(new QCheckBox(QStringLiteral("礼物")), 1013);
    speakWelcome_ = withId(new QCheckBox(QStringLiteral("欢迎")), 1017);
    speakNickname_ = withId(new QCheckBox(QStringLiteral("昵称")), 1018);
    filterNames_ = withId(new QCheckBox(QStringLiteral("过滤昵称")), 1019);
    foldRepeats_ = withId(new QCheckBox(QStringLiteral("合并重复弹幕")), 1020);
    filterNames_->setToolTip(QStringLiteral("昵称含过滤词的观众, 弹幕、礼物和欢迎都不读"));
    foldRepeats_->setToolTip(QStringLiteral("10 秒内相同的弹幕只读一次"));
    auto* extras = new QWidget;
    auto* extraRow = new QHBoxLayout(extras);
    extraRow->setContentsMargins(0, 0, 0, 0);
    extraRow->addWidget(filterNames_);
    extraRow->addWidget(foldRepeats_);
    extraRow->addStretch();
    auto* switches = new QWidget;
    auto* switchRow = new QHBoxLayout(switches);
    switchRow->setContentsMargins(0, 0, 0, 0);
    app::interactionSwitches(speakFollows_, speakShares_, speakLikes_);
    for (QCheckBox* box :
         {speakChat_, speakGifts_, speakWelcome_, speakFollows_, speakShares_, speakLikes_, speakNickname_}) {
        switchRow->addWidget(box);
    }
    switchRow->addStretch();

    auto* group = new QGroupBox(QStringLiteral("配置"));
    auto* form = form_ = new QFormLayout(group);
    form->addRow(QStringLiteral("选择一个语音模板:"), voiceList_);
    form->addRow(QStringLiteral("语音引擎命令:"), app::engineRow(engineCommand_, engineRawText_, trySpeech_));
    connect(trySpeech_, &QPushButton::clicked, this, [this] { OnTrySpeech(); });
    form->addRow(QStringLiteral("直播平台:"), platformList_);
    platformHint_ = new QLabel;
    platformHint_->setObjectName(QStringLiteral("platformHint"));
    form->addRow(QString(), platformHint_);
    connect(platformList_, &QComboBox::currentIndexChanged, this,
            [this](int index) { showPlatformHint(index); });
    form->addRow(QStringLiteral("直播间号:"), roomEdit_);
    form->addRow(QStringLiteral("同时房间:"), alsoRooms_);
    form->addRow(QStringLiteral("语音输出音量:"), withValue(volume_));
    form->addRow(QStringLiteral("语音输出速度:"), withValue(speed_));
    outputDevice_ = withId(new OutputDeviceList, 1021);
    form->addRow(QStringLiteral("输出设备:"), outputDevice_);
    form->addRow(QStringLiteral("弹幕缓存数量:"), cacheCount_);
    form->addRow(QStringLiteral("弹幕最小值:"), minLength_);
    form->addRow(QStringLiteral("弹幕最大值:"), maxLength_);
    form->addRow(QStringLiteral("语音限制时长:"), seconds);
    form->addRow(QStringLiteral("播报:"), switches);
    form->addRow(QStringLiteral("过滤:"), extras);
    form->addRow(QStringLiteral("同一观众间隔:"),
                 app::secondsField(viewerCooldown_, "viewerCooldown", app::kCooldownTip));
    form->addRow(QStringLiteral("弹幕最长等待:"), app::secondsField(maxWait_, "maxWait", app::kMaxWaitTip));

    panel_ = new ReadingPanel(*speech_, [this](const std::string& name) { muteViewer(name); });
    readerListeners_.push_back([this] { panel_->refresh(); });
    auto* reading = new QGroupBox(QStringLiteral("朗读"));
    (new QVBoxLayout(reading))->addWidget(panel_);
    auto* middle = new QHBoxLayout;
    middle->addWidget(group);
    middle->addWidget(reading, 1);

    status_ = withId(new QLabel(QStringLiteral("准备登陆.")), 1016);
    status_->setTextFormat(Qt::PlainText);
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setMinimumWidth(200);
    // A long status must not widen the fixed-size dialog.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    login_ = withId(new QPushButton(QStringLiteral("弹幕登陆")), 1004);
    disconnect_ = roomSwitchButton();
    save_ = withId(new QPushButton(QStringLiteral("保存")), 1);
    exit_ = withId(new QPushButton(QStringLiteral("退出")), 2);
    login_->setAutoDefault(false);
    exit_->setAutoDefault(false);
    save_->setDefault(true);
    connect(login_, &QPushButton::clicked, this, [this] { OnLogin(); });
    connect(save_, &QPushButton::clicked, this, [this] { OnSave(); });
    connect(exit_, &QPushButton::clicked, this, [this] { reject(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(login_);
    buttons->addWidget(disconnect_);
    buttons->addWidget(save_);
    buttons->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CSonaroDlg::OnInitDialog() {
    QPixmap banner(QStringLiteral(":/sonaro/banner.png"));
    banner_->setPixmap(banner.scaled(240, 65));

    exeDir_ = app::withTrailingSlash(options_.baseDir.empty() ? sys::exeDir() : options_.baseDir);
    auto linkTo = [](QLabel* label, const std::string& nativePath, const QString& caption) {
        const QString url = QUrl::fromLocalFile(QString::fromStdString(nativePath)).toString();
        label->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), caption));
    };
    linkTo(findChild<QLabel*>(QStringLiteral("1010")), filePath(app::kFilterFileName),
           QStringLiteral("编辑过滤列表"));
    linkTo(findChild<QLabel*>(QStringLiteral("1011")), exeDir_, QStringLiteral("打开程序文件夹"));

    settings_ = app::loadConfig(filePath(app::kConfigFileName), platforms::roomKinds());
    session_.setFilterWords(app::loadFilterList(filePath(app::kFilterFileName)));
    watchMuteList();
    outputDevice_->setDevices(speech_->outputDevices());
    settingsToControls();
    // Overrides for this run change what the controls show, not the file.
    if (options_.platform) {
        platformList_->setCurrentIndex(*options_.platform);
    }
    if (options_.room) {
        roomEdit_->setText(QString::fromStdString(*options_.room));
    }
    if (options_.alsoRooms) {
        alsoRooms_->setText(QString::fromStdString(*options_.alsoRooms));
    }
    connect(platformList_, &QComboBox::activated, this, [this] { platformChosen_ = true; });
    connect(roomEdit_, &QLineEdit::textEdited, this, [this] { roomEdited_ = true; });
    connect(alsoRooms_, &QLineEdit::textEdited, this, [this] { alsoRoomsEdited_ = true; });
    showPlatformHint(platformList_->currentIndex());
    restorePosition();
    buildTray();
    applySettings();
    // A failed login only means silence; nothing to tell the host.
    speech_->loginSdk();
    if (options_.unwritableWaves) {
        // Silence without a word would look like a quiet room.
        OnStatusEvent(std::make_unique<ChatEvent>(
            util::utf8ToLocal("语音"), util::utf8ToLocal("无法写入语音文件: " + *options_.unwritableWaves)));
    }
}

void CSonaroDlg::OnTrySpeech() {
    app::Settings trial = settings_;
    if (!controlsToSettings(trial)) {
        return;
    }
    // The trial speaks with the controls' values, saved or not; the next save
    // or start-up puts the file's values back in force.
    session_.apply(app::sessionSettings(trial, voiceList_->currentIndex()));
    speech_->pushText(util::utf8ToLocal("这是试听, 弹幕将用这个声音读出来."), true);
}
