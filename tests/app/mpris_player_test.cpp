// What the media player reports, computed from reader snapshots; the bus
// itself is exercised end to end.
#include "app/mpris_player.h"

#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <QStringList>

#include "util/text.h"

namespace {

Announcement line(std::uint64_t id, const char* utf8, const char* viewer) {
    return Announcement{id, {util::utf8ToLocal(utf8), SpeechKind::Chat, util::utf8ToLocal(viewer)}, 0};
}

}  // namespace

TEST(MprisStatus, PausedWinsThenAnyWorkCountsAsPlaying) {
    // Paused, playing, waiting (1 or 0) in, the status out.
    const std::pair<const char*, const char*> cases[] = {
        {"000", "Stopped"}, {"010", "Playing"}, {"001", "Playing"}, {"111", "Paused"}, {"100", "Paused"}};
    for (const auto& [state, status] : cases) {
        ReaderSnapshot reader;
        reader.paused = state[0] == '1';
        reader.playing = state[1] == '1' ? std::optional{line(1, "a", "b")} : std::nullopt;
        reader.waiting.assign(state[2] == '1' ? 1 : 0, line(2, "c", "d"));
        EXPECT_EQ(MprisPlayer::playbackStatus(reader), QString::fromLatin1(status)) << state;
    }
}

TEST(MprisMetadata, TrackIdTitleInUtf8AndArtistOnlyWithAViewer) {
    const QVariantMap none = MprisPlayer::metadata(std::nullopt);
    EXPECT_EQ(none.keys(), QStringList{QStringLiteral("mpris:trackid")});
    EXPECT_EQ(none.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));

    const QVariantMap chat = MprisPlayer::metadata(line(42, "甲说:你好", "甲"));
    EXPECT_EQ(chat.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/sonaro/announcement/42"));
    EXPECT_EQ(chat.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("甲说:你好"));
    EXPECT_EQ(chat.value(QStringLiteral("xesam:artist")).toStringList(), QStringList{QStringLiteral("甲")});

    const QVariantMap anonymous = MprisPlayer::metadata(line(7, "滴!滴!", ""));
    EXPECT_FALSE(anonymous.contains(QStringLiteral("xesam:artist")));
    // Distinct announcements are distinct tracks, even with the same text.
    EXPECT_NE(MprisPlayer::metadata(line(8, "滴!滴!", "")), anonymous);
}
