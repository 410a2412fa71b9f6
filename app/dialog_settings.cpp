// The dialog's side of the settings: showing them in the controls, reading
// the controls back with the range checks and their messages, saving them and
// putting them in force.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include "app/CSonaroDlg.h"
#include "app/dialog_widgets.h"
#include "app/host_wording.h"
#include "app/output_device_list.h"
#include "app/session_settings.h"
#include "app/user_prompts.h"
#include "platforms/catalogue.h"
#include "util/text.h"

using app::fromGbk;
using app::toGbk;
using app::withValue;

void CSonaroDlg::settingsToControls() {
    auto select = [](QComboBox* list, int index) {
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    };
    select(voiceList_, settings_.voice);
    select(platformList_, settings_.platform);
    roomEdit_->setText(fromGbk(settings_.roomNumber));
    alsoRooms_->setText(fromGbk(settings_.alsoRooms));
    volume_->setValue(settings_.volume);
    speed_->setValue(settings_.speed);
    cacheCount_->setText(QString::number(settings_.cacheCount));
    minLength_->setText(QString::number(settings_.minChatLength));
    maxLength_->setText(QString::number(settings_.maxChatLength));
    speakChat_->setChecked(settings_.speakChat);
    speakGifts_->setChecked(settings_.speakGifts);
    speechSeconds_->setText(QString::number(settings_.speechSeconds));
    speakWelcome_->setChecked(settings_.speakWelcome);
    speakNickname_->setChecked(settings_.speakNickname);
    engineCommand_->setText(QString::fromStdString(settings_.engineCommand));
    engineRawText_->setChecked(settings_.engineRawText);
    filterNames_->setChecked(settings_.filterNames);
    foldRepeats_->setChecked(settings_.foldRepeats);
    outputDevice_->setChoice(settings_.outputDevice);
    speakFollows_->setChecked(settings_.speakFollows);
    speakShares_->setChecked(settings_.speakShares);
    speakLikes_->setChecked(settings_.speakLikes);
    viewerCooldown_->setText(QString::number(settings_.viewerCooldown));
    maxWait_->setText(QString::number(settings_.maxWait));
}

QString CSonaroDlg::fieldName(QWidget* control) const {
    // A trackbar sits in a row with its value beside it: the row has the label.
    for (QWidget* field = control; field && field != this; field = field->parentWidget()) {
        if (auto* label = qobject_cast<QLabel*>(form_->labelForField(field))) {
            QString name = label->text();
            return name.endsWith(QLatin1Char(':')) ? name.chopped(1) : name;
        }
    }
    return {};
}

bool CSonaroDlg::checkRange(QWidget* control, int value, app::Range range) {
    if (range.holds(value)) {
        return true;
    }
    prompts_->inform(
        this, title(),
        fieldName(control) +
            QStringLiteral(": 请输入一个介于 %1 和 %2 之间的整数.").arg(range.low).arg(range.high));
    control->setFocus();
    return false;
}

bool CSonaroDlg::readNumber(QLineEdit* edit, app::Range range, std::int32_t& out) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok, 10);
    if (!ok) {
        prompts_->inform(this, title(), fieldName(edit) + QStringLiteral(": 请输入一个整数."));
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    if (!checkRange(edit, value, range)) {
        edit->selectAll();
        return false;
    }
    out = value;
    return true;
}

bool CSonaroDlg::controlsToSettings(app::Settings& out) {
    out.voice = voiceList_->currentIndex();
    // Overrides for this run stay out of the file unless the host chose anew.
    if (!options_.room || roomEdited_) {
        out.roomNumber = toGbk(roomEdit_->text());
    }
    out.volume = volume_->value();
    if (!checkRange(volume_, out.volume, app::kVolumeRange)) {
        return false;
    }
    out.speed = speed_->value();
    if (!checkRange(speed_, out.speed, app::kSpeedRange)) {
        return false;
    }
    if (!readNumber(cacheCount_, app::kCacheCountRange, out.cacheCount) ||
        !readNumber(minLength_, app::kMinChatLengthRange, out.minChatLength) ||
        !readNumber(maxLength_, app::kMaxChatLengthRange, out.maxChatLength)) {
        return false;
    }
    out.speakChat = speakChat_->isChecked();
    out.speakGifts = speakGifts_->isChecked();
    if (!readNumber(speechSeconds_, app::kSpeechSecondsRange, out.speechSeconds)) {
        return false;
    }
    if (!options_.platform || platformChosen_) {
        out.platform = platformList_->currentIndex();
    }
    out.speakWelcome = speakWelcome_->isChecked();
    out.speakNickname = speakNickname_->isChecked();
    out.engineCommand = engineCommand_->text().trimmed().toStdString();
    out.engineRawText = engineRawText_->isChecked();
    out.filterNames = filterNames_->isChecked();
    out.foldRepeats = foldRepeats_->isChecked();
    out.outputDevice = outputDevice_->choice();
    out.speakFollows = speakFollows_->isChecked();
    out.speakShares = speakShares_->isChecked();
    out.speakLikes = speakLikes_->isChecked();
    if (!readNumber(viewerCooldown_, app::kViewerCooldownRange, out.viewerCooldown) ||
        !readNumber(maxWait_, app::kMaxWaitRange, out.maxWait)) {
        return false;
    }
    const std::optional<std::vector<RoomChoice>> also = readAlsoRooms(false);
    if (!also) {
        return false;
    }
    if (!options_.alsoRooms || alsoRoomsEdited_) {
        out.alsoRooms = roomListText(*also);
    }
    return true;
}

std::optional<std::vector<RoomChoice>> CSonaroDlg::readAlsoRooms(bool atLogin) {
    RoomList list = parseRoomList(toGbk(alsoRooms_->text()), platforms::roomKinds());
    if (list.problem.empty()) {
        return std::move(list.rooms);
    }
    const QString line = fieldName(alsoRooms_) + QStringLiteral(": ") + QString::fromStdString(list.problem);
    if (atLogin) {
        reportStatus(toGbk(line));
    } else {
        prompts_->inform(this, title(), line);
    }
    alsoRooms_->setFocus();
    alsoRooms_->selectAll();
    return std::nullopt;
}

bool CSonaroDlg::OnSave() {
    app::Settings taken = settings_;
    if (!controlsToSettings(taken)) {
        return false;
    }
    const bool written = app::saveConfig(filePath(app::kConfigFileName), taken);
    // A failed write still puts the values in force for this run; the host
    // learns that they will not survive a restart. They are in force before
    // the box opens: events keep arriving while it is shown.
    settings_ = taken;
    applySettings();
    prompts_->inform(this, QStringLiteral("提示"),
                     written ? QStringLiteral("保存配置成功!") : QStringLiteral("保存配置失败!"));
    return written;
}

void CSonaroDlg::applySettings() {
    session_.apply(app::sessionSettings(settings_, voiceList_->currentIndex()));
    session_.rules().setTexts(
        app::hostWording(settings_, filePath(app::kNicknameFileName), filePath(app::kWordFileName)));
    applyOutputDevice();
}

void CSonaroDlg::applyOutputDevice() {
    // The engine starts on the default device: only a change reopens it, so
    // a save does not cut the announcement playing now.
    if (settings_.outputDevice == deviceInUse_) {
        return;
    }
    deviceInUse_ = settings_.outputDevice;
    const OutputDeviceResult result = speech_->selectOutputDevice(deviceInUse_);
    if (result == OutputDeviceResult::FellBackToDefault) {
        reportStatus(util::utf8ToLocal("语音:输出设备 \"" + deviceInUse_ + "\" 不可用, 改用系统默认设备."));
    } else if (result == OutputDeviceResult::Failed) {
        reportStatus(util::utf8ToLocal("语音:无法打开输出设备."));
    }
}
