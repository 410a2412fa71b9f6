// The reader as an MPRIS media player on the session bus, so desktop media
// keys, playerctl and phone remotes steer it: Next skips the announcement
// playing now, Stop clears what waits, Pause, Play and PlayPause pause and
// resume reading. PlaybackStatus and Metadata follow the reader, with
// PropertiesChanged signals.
//
// Without a session bus the player is simply absent: start() returns false
// and says nothing.
//
// Threads: the user-interface thread only (the bus calls arrive there too).
#pragma once

#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "core/speech_service.h"

class MprisPlayer {
  public:
    static constexpr char kBusName[] = "org.mpris.MediaPlayer2.sonaro";
    static constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";

    explicit MprisPlayer(SpeechService& speech);
    ~MprisPlayer();

    MprisPlayer(const MprisPlayer&) = delete;
    MprisPlayer& operator=(const MprisPlayer&) = delete;

    // Registers the object and a bus name: the plain name, or with an
    // ".instance<pid>" suffix when another reader holds it. False when there
    // is no session bus or no name could be had.
    bool start();
    // The name taken; empty before start() succeeded.
    const QString& busName() const { return busName_; }

    // Reads the engine again and signals the properties that changed.
    void refresh();

    // "Paused" from the moment reading is paused, "Playing" while an
    // announcement plays or waits, otherwise "Stopped".
    static QString playbackStatus(const ReaderSnapshot& reader);
    // mpris:trackid (an object path), xesam:title (the text as spoken) and,
    // when a viewer is behind it, xesam:artist; only the "no track" id
    // between announcements.
    static QVariantMap metadata(const std::optional<Announcement>& playing);

  private:
    class BusObject;
    friend class BusObject;

    QVariantMap rootProperties() const;
    QVariantMap playerProperties() const;

    SpeechService& speech_;
    std::unique_ptr<BusObject> object_;
    QString busName_;
    QString status_;        // as last signalled
    QVariantMap metadata_;  // as last signalled
};
