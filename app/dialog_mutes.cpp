// The dialog's muted viewers: muting from the panel, and the host's own
// edits of the muted viewers' file, read while the program runs.
#include <QLabel>
#include <QTimer>
#include <chrono>

#include "app/CSonaroDlg.h"
#include "app/mute_list.h"
#include "app/reading_panel.h"

namespace {

constexpr std::size_t kDropEach = 1000;

}  // namespace

void CSonaroDlg::muteViewer(const std::string& gbkName) {
    if (gbkName.empty() || session_.rules().isMuted(gbkName)) {
        return;
    }
    session_.rules().mute(gbkName);
    speech_->dropViewer(gbkName);
    panel_->showMuted(session_.rules().mutedNames());
    if (!app::appendMutedName(filePath(app::kMuteFileName), gbkName)) {
        // Muted for this run all the same; the host learns it will not last.
        unsavedMutes_.insert(gbkName);
        status_->setText(QStringLiteral("屏蔽用户未能写入 %1").arg(QString::fromUtf8(app::kMuteFileName)));
    }
}

void CSonaroDlg::unmuteViewer(const std::string& gbkName) {
    session_.rules().unmute(gbkName);
    unsavedMutes_.erase(gbkName);
    panel_->showMuted(session_.rules().mutedNames());
    if (!app::removeMutedName(filePath(app::kMuteFileName), gbkName)) {
        // Heard again for this run; the next start (or the next read of the
        // file) mutes the viewer again, and the host is told.
        status_->setText(QStringLiteral("取消屏蔽未能写入 %1").arg(QString::fromUtf8(app::kMuteFileName)));
    }
}

void CSonaroDlg::watchMuteList() {
    const std::string path = filePath(app::kMuteFileName);
    // Stamped before the read: an edit made during it is read again.
    muteChange_ = app::SettledChange(app::fileStamp(path));
    session_.rules().setMutedNames(app::loadMutedNames(path));
    panel_->setUnmuteRequest([this](const std::string& name) { unmuteViewer(name); });
    panel_->showMuted(session_.rules().mutedNames());
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] {
        if (muteLoad_.valid()) {
            if (muteLoad_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                return;
            }
            applyMuteList(muteLoad_.get());
        }
        const std::string path = filePath(app::kMuteFileName);
        if (muteChange_.poll(app::fileStamp(path))) {
            muteLoad_ = std::async(std::launch::async, [path] { return app::loadMutedNames(path); });
        }
    });
    poll->start(options_.muteListPollMs);
}

void CSonaroDlg::applyMuteList(std::unordered_set<std::string> names) {
    names.insert(unsavedMutes_.begin(), unsavedMutes_.end());
    // A hand edit adds a few names: each is dropped whole, gifts not yet
    // thanked included. A pasted list of a million must not mean a million
    // calls: then only viewers with something waiting or playing are.
    std::unordered_set<std::string> drop;
    for (const std::string& name : names) {
        if (!session_.rules().isMuted(name) && drop.size() <= kDropEach) {
            drop.insert(name);
        }
    }
    if (drop.size() > kDropEach) {
        drop.clear();
    }
    const ReaderSnapshot reader = speech_->snapshot();
    auto consider = [&](const Announcement& a) {
        if (!a.item.viewer.empty() && names.count(a.item.viewer) &&
            !session_.rules().isMuted(a.item.viewer)) {
            drop.insert(a.item.viewer);
        }
    };
    if (reader.playing) {
        consider(*reader.playing);
    }
    for (const Announcement& a : reader.waiting) {
        consider(a);
    }
    session_.rules().setMutedNames(std::move(names));
    for (const std::string& viewer : drop) {
        speech_->dropViewer(viewer);
    }
    panel_->showMuted(session_.rules().mutedNames());
}
