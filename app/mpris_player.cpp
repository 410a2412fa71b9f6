#include "app/mpris_player.h"

#include <unistd.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFileInfo>
#include <QStringList>

#include "util/text.h"

namespace {

const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

const char kIntrospection[] = R"(  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition"><arg name="TrackId" type="o" direction="in"/><arg name="Position" type="x" direction="in"/></method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="read"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="read"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
)";

}  // namespace

// Answers the bus by hand: no generated adaptor, and the properties come
// straight from the engine's snapshot on every call.
class MprisPlayer::BusObject : public QDBusVirtualObject {
  public:
    explicit BusObject(MprisPlayer& player) : player_(player) {}

    QString introspect(const QString&) const override { return QString::fromLatin1(kIntrospection); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString interface = message.interface();
        if (interface == kPropertiesInterface) {
            return properties(message, connection);
        }
        if (interface == kPlayerInterface || (interface.isEmpty() && isPlayerMethod(message.member()))) {
            return playerMethod(message, connection);
        }
        if (interface == kRootInterface) {
            // Neither raising nor quitting is offered (CanRaise, CanQuit).
            connection.send(message.createReply());
            return true;
        }
        return false;
    }

  private:
    static bool isPlayerMethod(const QString& member) {
        static const QStringList methods{
            QStringLiteral("Next"),      QStringLiteral("Previous"),    QStringLiteral("Pause"),
            QStringLiteral("PlayPause"), QStringLiteral("Stop"),        QStringLiteral("Play"),
            QStringLiteral("Seek"),      QStringLiteral("SetPosition"), QStringLiteral("OpenUri")};
        return methods.contains(member);
    }

    bool playerMethod(const QDBusMessage& message, const QDBusConnection& connection) {
        const QString member = message.member();
        SpeechService& speech = player_.speech_;
        if (member == QLatin1String("Next")) {
            speech.skip();
        } else if (member == QLatin1String("Stop")) {
            speech.clear();
        } else if (member == QLatin1String("Pause")) {
            speech.setPaused(true);
        } else if (member == QLatin1String("Play")) {
            speech.setPaused(false);
        } else if (member == QLatin1String("PlayPause")) {
            speech.setPaused(!speech.paused());
        } else if (!isPlayerMethod(member)) {
            return false;
        }
        // Previous, Seek, SetPosition and OpenUri do nothing, as CanGoPrevious
        // and CanSeek say.
        connection.send(message.createReply());
        player_.refresh();
        return true;
    }

    bool properties(const QDBusMessage& message, const QDBusConnection& connection) {
        const QList<QVariant> args = message.arguments();
        const QString interface = args.value(0).toString();
        QVariantMap all;
        if (interface == kRootInterface) {
            all = player_.rootProperties();
        } else if (interface == kPlayerInterface) {
            all = player_.playerProperties();
        } else {
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                                         QStringLiteral("No such interface: ") + interface));
            return true;
        }
        const QString member = message.member();
        if (member == QLatin1String("GetAll")) {
            connection.send(message.createReply(all));
        } else if (member == QLatin1String("Get")) {
            const QString name = args.value(1).toString();
            if (!all.contains(name)) {
                connection.send(
                    message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
                                             QStringLiteral("No such property: ") + name));
            } else {
                connection.send(message.createReply(QVariant::fromValue(QDBusVariant(all.value(name)))));
            }
        } else if (member == QLatin1String("Set")) {
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"),
                                         QStringLiteral("The reader's properties are read-only")));
        } else {
            return false;
        }
        return true;
    }

    MprisPlayer& player_;
};

MprisPlayer::MprisPlayer(SpeechService& speech) : speech_(speech) {}

MprisPlayer::~MprisPlayer() {
    if (object_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        bus.unregisterService(busName_);
    }
}

bool MprisPlayer::start() {
    if (object_) {
        return true;
    }
    // Without an address or the user bus's socket the bus library would try
    // to launch a bus of its own; a headless server has none, and then the
    // player is simply absent.
    const QString userBus = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") || !QFileInfo::exists(userBus))) {
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    auto object = std::make_unique<BusObject>(*this);
    if (!bus.registerVirtualObject(QString::fromLatin1(kObjectPath), object.get())) {
        return false;
    }
    const QString plain = QString::fromLatin1(kBusName);
    for (const QString& name : {plain, plain + QStringLiteral(".instance") + QString::number(::getpid())}) {
        if (bus.interface()
                ->registerService(name, QDBusConnectionInterface::DontQueueService,
                                  QDBusConnectionInterface::DontAllowReplacement)
                .value() == QDBusConnectionInterface::ServiceRegistered) {
            busName_ = name;
            break;
        }
    }
    if (busName_.isEmpty()) {
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    object_ = std::move(object);
    const ReaderSnapshot reader = speech_.snapshot();
    status_ = playbackStatus(reader);
    metadata_ = metadata(reader.playing);
    return true;
}

void MprisPlayer::refresh() {
    if (!object_) {
        return;
    }
    const ReaderSnapshot reader = speech_.snapshot();
    QVariantMap changed;
    QString status = playbackStatus(reader);
    if (status != status_) {
        status_ = status;
        changed.insert(QStringLiteral("PlaybackStatus"), status);
    }
    QVariantMap track = metadata(reader.playing);
    if (track != metadata_) {
        metadata_ = track;
        changed.insert(QStringLiteral("Metadata"), track);
    }
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kObjectPath), kPropertiesInterface,
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

QString MprisPlayer::playbackStatus(const ReaderSnapshot& reader) {
    if (reader.paused) {
        return QStringLiteral("Paused");
    }
    // Between two announcements the reader is still at work: no flicker.
    return reader.playing || !reader.waiting.empty() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisPlayer::metadata(const std::optional<Announcement>& playing) {
    QVariantMap map;
    if (!playing) {
        map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QStringLiteral(
                                                        "/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
        return map;
    }
    map.insert(
        QStringLiteral("mpris:trackid"),
        QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/sonaro/announcement/%1").arg(playing->id))));
    map.insert(QStringLiteral("xesam:title"), QString::fromStdString(util::localToUtf8(playing->item.text)));
    if (!playing->item.viewer.empty()) {
        map.insert(QStringLiteral("xesam:artist"),
                   QStringList{QString::fromStdString(util::localToUtf8(playing->item.viewer))});
    }
    return map;
}

QVariantMap MprisPlayer::rootProperties() const {
    return {
        {QStringLiteral("CanQuit"), false},
        {QStringLiteral("CanRaise"), false},
        {QStringLiteral("HasTrackList"), false},
        {QStringLiteral("Identity"), QStringLiteral("Sonaro")},
        {QStringLiteral("DesktopEntry"), QStringLiteral("sonaro")},
        {QStringLiteral("SupportedUriSchemes"), QStringList()},
        {QStringLiteral("SupportedMimeTypes"), QStringList()},
    };
}

QVariantMap MprisPlayer::playerProperties() const {
    const ReaderSnapshot reader = speech_.snapshot();
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus(reader)},
        {QStringLiteral("Rate"), 1.0},
        {QStringLiteral("Metadata"), metadata(reader.playing)},
        {QStringLiteral("Volume"), 1.0},
        {QStringLiteral("Position"), qlonglong{0}},
        {QStringLiteral("MinimumRate"), 1.0},
        {QStringLiteral("MaximumRate"), 1.0},
        {QStringLiteral("CanGoNext"), true},
        {QStringLiteral("CanGoPrevious"), false},
        {QStringLiteral("CanPlay"), true},
        {QStringLiteral("CanPause"), true},
        {QStringLiteral("CanSeek"), false},
        {QStringLiteral("CanControl"), true},
    };
}
