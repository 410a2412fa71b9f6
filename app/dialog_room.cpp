// The dialog's side of reading a room: login, the "断开" button and the check
// of the room edit before any connection.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/CSonaroDlg.h"
#include "app/dialog_widgets.h"
#include "core/room_id.h"
#include "platforms/catalogue.h"
#include "util/text.h"

QPushButton* CSonaroDlg::roomSwitchButton() {
    auto* button = new QPushButton(QStringLiteral("断开"));
    button->setObjectName(QStringLiteral("disconnect"));
    button->setAutoDefault(false);
    button->setEnabled(false);
    // Reachable without a mouse or a media remote: Tab, or Alt+D.
    button->setShortcut(QKeySequence(Qt::ALT | Qt::Key_D));
    button->setToolTip(QStringLiteral("停止读这个直播间, 之后可以换房间或平台再登陆 (Alt+D)"));
    connect(button, &QPushButton::clicked, this, [this] { OnDisconnect(); });
    return button;
}

void CSonaroDlg::OnLogin() {
    if (session_.serving() || session_.closing()) {
        return;
    }
    const int platform = platformList_->currentIndex();
    const std::string room = app::toGbk(roomEdit_->text().trimmed());
    if (const platforms::PlatformEntry* entry = platforms::entryAt(platform)) {
        if (const char* problem = roomIdProblem(entry->rooms, room)) {
            reportStatus(util::utf8ToLocal(problem));
            roomEdit_->setFocus();
            return;
        }
    }
    const std::optional<std::vector<RoomChoice>> also = readAlsoRooms(true);
    if (!also) {
        return;
    }
    login_->setEnabled(false);
    if (!session_.login(platform, room, *also)) {
        // Nothing was started: the host may pick a platform and try again.
        login_->setEnabled(true);
        return;
    }
    disconnect_->setEnabled(true);
}

void CSonaroDlg::OnDisconnect() {
    if (!session_.serving() || session_.closing()) {
        return;
    }
    session_.disconnect();
    speech_->clear();
    disconnect_->setEnabled(false);
    login_->setEnabled(true);
    login_->setFocus();
    reportStatus(util::utf8ToLocal("已断开, 可以换直播间再登陆."));
}
