#include "app/reading_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "util/text.h"

namespace {

constexpr int kViewerRole = Qt::UserRole;  // the line's viewer, GBK bytes
constexpr int kPollMs = 250;

QString fromGbk(const std::string& gbk) {
    return QString::fromStdString(util::localToUtf8(gbk));
}

QListWidget* lineList(const char* name, int rows) {
    auto* list = new QListWidget;
    list->setObjectName(QString::fromUtf8(name));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideRight);
    list->setUniformItemSizes(true);
    const int row = list->fontMetrics().height() + 4;
    list->setFixedHeight(row * rows + 2 * list->frameWidth() + 2);
    return list;
}

QPushButton* controlButton(const char* name, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    button->setObjectName(QString::fromUtf8(name));
    // Enter in an edit still saves: only "保存" is a default button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

ReadingPanel::ReadingPanel(SpeechService& speech, MuteRequest onMute, QWidget* parent, Clock clock)
    : QWidget(parent), speech_(speech), onMute_(std::move(onMute)), clock_(std::move(clock)) {
    setObjectName(QStringLiteral("readingPanel"));
    playing_ = lineList("playing", 1);
    waiting_ = lineList("waiting", 4);
    recent_ = lineList("recent", 7);
    waitingTitle_ = new QLabel;
    for (QListWidget* list : {playing_, waiting_, recent_}) {
        connect(list, &QListWidget::customContextMenuRequested, this,
                [this, list](const QPoint& position) { showContextMenu(list, position); });
    }

    skip_ = controlButton("skip", "跳过");
    clear_ = controlButton("clear", "清空");
    pause_ = controlButton("pause", "暂停");
    skip_->setToolTip(QStringLiteral("停下正在读的这句, 接着读下一句"));
    clear_->setToolTip(QStringLiteral("清空所有等待朗读的内容"));
    pause_->setToolTip(QStringLiteral("正在读的这句读完后停下, 再按继续"));
    connect(skip_, &QPushButton::clicked, this, [this] {
        speech_.skip();
        refresh();
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
        speech_.clear();
        refresh();
    });
    connect(pause_, &QPushButton::clicked, this, [this] {
        speech_.setPaused(!speech_.paused());
        refresh();
    });

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(skip_);
    buttons->addWidget(clear_);
    buttons->addWidget(pause_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("正在朗读:")));
    layout->addWidget(playing_);
    layout->addWidget(waitingTitle_);
    layout->addWidget(waiting_);
    layout->addWidget(new QLabel(QStringLiteral("最近朗读:")));
    layout->addWidget(recent_);
    layout->addLayout(buttons);
    buildMutedList(*layout);
    layout->addStretch();
    setMinimumWidth(300);

    poll_ = new QTimer(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            refresh();
        }
    });
    poll_->start();
    refresh();
}

QString ReadingPanel::lineText(std::time_t at, const Announcement& announcement) {
    std::tm local{};
    localtime_r(&at, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
    QString line = QString::fromLatin1(clock) + QLatin1Char(' ');
    if (!announcement.item.room.empty()) {
        line += fromGbk(announcement.item.room) + QLatin1Char(' ');
    }
    return line + fromGbk(announcement.item.text);
}

void ReadingPanel::fill(QListWidget* list, const std::vector<Announcement>& lines, bool waiting) {
    // Rebuilt only when something changed, so a selection or an open
    // context menu survives the polling.
    QStringList texts;
    for (const Announcement& line : lines) {
        std::time_t at = static_cast<std::time_t>(line.startedAt);
        if (waiting) {
            at = arrivals_.emplace(line.id, clock_()).first->second;
        }
        texts << lineText(at, line);
    }
    bool same = list->count() == texts.size();
    for (int i = 0; same && i < texts.size(); ++i) {
        same = list->item(i)->text() == texts[i];
    }
    if (same) {
        return;
    }
    list->clear();
    for (int i = 0; i < texts.size(); ++i) {
        auto* item = new QListWidgetItem(texts[i], list);
        const std::string& viewer = lines[static_cast<std::size_t>(i)].item.viewer;
        item->setData(kViewerRole, QByteArray(viewer.data(), static_cast<qsizetype>(viewer.size())));
        item->setToolTip(texts[i]);
    }
}

void ReadingPanel::refresh() {
    const ReaderSnapshot reader = speech_.snapshot();
    std::vector<Announcement> playing;
    if (reader.playing) {
        playing.push_back(*reader.playing);
    }
    std::map<std::uint64_t, std::time_t> seen;
    for (const Announcement& line : reader.waiting) {
        auto it = arrivals_.find(line.id);
        seen.emplace(line.id, it != arrivals_.end() ? it->second : clock_());
    }
    arrivals_ = std::move(seen);
    fill(playing_, playing, false);
    fill(waiting_, reader.waiting, true);
    fill(recent_, reader.recent, false);
    waitingTitle_->setText(QStringLiteral("等待中 (%1):").arg(reader.waiting.size()));
    pause_->setText(reader.paused ? QStringLiteral("继续") : QStringLiteral("暂停"));
}

void ReadingPanel::showContextMenu(QListWidget* list, const QPoint& position) {
    QListWidgetItem* item = list->itemAt(position);
    if (!item) {
        return;
    }
    const QByteArray viewer = item->data(kViewerRole).toByteArray();
    QMenu menu(this);
    QAction* mute =
        menu.addAction(viewer.isEmpty() ? QStringLiteral("屏蔽此用户")
                                        : QStringLiteral("屏蔽用户 %1").arg(fromGbk(viewer.toStdString())));
    mute->setEnabled(!viewer.isEmpty());
    connect(mute, &QAction::triggered, this, [this, viewer] {
        if (onMute_) {
            onMute_(viewer.toStdString());
        }
    });
    menu.exec(list->viewport()->mapToGlobal(position));
}

void ReadingPanel::buildMutedList(QVBoxLayout& layout) {
    mutedTitle_ = new QLabel(QStringLiteral("已屏蔽的观众:"));
    muted_ = lineList("muted", 3);
    muted_->setContextMenuPolicy(Qt::NoContextMenu);
    unmute_ = controlButton("unmute", "取消屏蔽");
    unmute_->setToolTip(QStringLiteral("选中的观众的弹幕、礼物和欢迎又会读出, 并从屏蔽用户.txt 中删去"));
    unmute_->setEnabled(false);
    connect(muted_, &QListWidget::itemSelectionChanged, this,
            [this] { unmute_->setEnabled(!muted_->selectedItems().isEmpty()); });
    connect(unmute_, &QPushButton::clicked, this, [this] {
        const auto selected = muted_->selectedItems();
        if (!selected.isEmpty() && onUnmute_) {
            onUnmute_(selected.front()->data(kViewerRole).toByteArray().toStdString());
        }
    });
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(muted_, 1);
    row->addWidget(unmute_, 0, Qt::AlignTop);
    layout.addWidget(mutedTitle_);
    layout.addLayout(row);
}

void ReadingPanel::showMuted(const std::unordered_set<std::string>& gbkNames) {
    std::vector<const std::string*> names;
    names.reserve(gbkNames.size());
    for (const std::string& name : gbkNames) {
        names.push_back(&name);
    }
    const std::size_t shown = std::min(names.size(), kMutedShown);
    std::partial_sort(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(shown), names.end(),
                      [](const std::string* a, const std::string* b) { return *a < *b; });
    muted_->clear();
    for (std::size_t i = 0; i < shown; ++i) {
        auto* item = new QListWidgetItem(fromGbk(*names[i]), muted_);
        item->setData(kViewerRole, QByteArray::fromStdString(*names[i]));
    }
    mutedTitle_->setText(
        shown < names.size()
            ? QStringLiteral("已屏蔽的观众 (%1 个, 只列出前 %2 个):").arg(names.size()).arg(shown)
            : QStringLiteral("已屏蔽的观众:"));
    unmute_->setEnabled(false);
}
