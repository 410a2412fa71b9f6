// The reading panel: what plays now, what waits (in order) and the last
// announcements read, each with its time, beside the host's controls (skip,
// clear, pause and resume). A line's context menu mutes its viewer; the
// muted viewers are listed below, each with "取消屏蔽".
//
// Threads: the user-interface thread only. The engine's own change reports
// arrive from its playback thread; the owner relays them here with
// `refresh` (queued), and the panel also polls while shown, because a
// newly waiting line is not such a report.
#pragma once

#include <QWidget>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <unordered_set>

#include "core/speech_service.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;
class QVBoxLayout;

class ReadingPanel : public QWidget {
  public:
    // Asked to mute a viewer (GBK name) from a line's context menu.
    using MuteRequest = std::function<void(const std::string& gbkName)>;
    // The wall clock for times shown beside waiting lines.
    using Clock = std::function<std::time_t()>;

    ReadingPanel(
        SpeechService& speech, MuteRequest onMute, QWidget* parent = nullptr,
        Clock clock = [] { return std::time(nullptr); });

    // Asked to unmute a viewer (GBK name) with "取消屏蔽".
    using UnmuteRequest = std::function<void(const std::string& gbkName)>;
    void setUnmuteRequest(UnmuteRequest onUnmute) { onUnmute_ = std::move(onUnmute); }

    // Lists the muted viewers (GBK) in byte order; of a huge list only the
    // first kMutedShown, so a list of a million names costs no more.
    void showMuted(const std::unordered_set<std::string>& gbkNames);
    static constexpr std::size_t kMutedShown = 500;

    // Reads the engine's state again and shows it.
    void refresh();

    // The line as the panel shows it: "HH:MM:SS text", local time, UTF-8;
    // while several rooms are read, "HH:MM:SS 哔哩哔哩[6] text".
    static QString lineText(std::time_t at, const Announcement& announcement);

  private:
    void buildMutedList(QVBoxLayout& layout);
    void showContextMenu(QListWidget* list, const QPoint& position);
    void fill(QListWidget* list, const std::vector<Announcement>& lines, bool waiting);

    SpeechService& speech_;
    MuteRequest onMute_;
    UnmuteRequest onUnmute_;
    Clock clock_;
    // When each waiting announcement was first seen (the engine keeps no
    // arrival time), by id.
    std::map<std::uint64_t, std::time_t> arrivals_;

    QListWidget* playing_ = nullptr;
    QListWidget* waiting_ = nullptr;
    QListWidget* recent_ = nullptr;
    QLabel* waitingTitle_ = nullptr;
    QPushButton* skip_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* pause_ = nullptr;
    QLabel* mutedTitle_ = nullptr;
    QListWidget* muted_ = nullptr;
    QPushButton* unmute_ = nullptr;
    QTimer* poll_ = nullptr;
};
