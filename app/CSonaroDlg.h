// The main dialog: the settings, the login button, the status line, and the
// owner of the session that runs everything (event loop, network thread,
// feeder, filter words, speech engine, announcement rules). Its handlers
// forward to the session; it shows what the session reports.
//
// Threads: the user-interface thread only, except where a member says
// otherwise.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/config_file.h"
#include "app/mute_list.h"
#include "app/user_prompts.h"
#include "core/feeder.h"
#include "core/session.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSystemTrayIcon;
class OutputDeviceList;
class ReadingPanel;

struct DialogOptions {
    std::string baseDir;                         // folder of the settings, filter list and "waves" (with
                                                 // its trailing '/'); empty: the program's folder
    std::optional<int> platform;                 // overrides the loaded platform for this run
    std::optional<std::string> room;             // overrides the loaded room (UTF-8) for this run
    std::optional<std::string> alsoRooms;        // overrides the rooms read besides for this run
    std::optional<std::string> unwritableWaves;  // the speech files' folder (native), when it
                                                 // cannot be written: the status line says so
    std::function<void(const std::string& gbkStatusLine)> onStatus;  // after the status line changed
    SpeechService::SpeakObserver onSpeak;                            // speech worker thread
    std::shared_ptr<UserPrompts> prompts;                            // null: message boxes
    std::string windowStateFile;  // where the window's position is kept (native); empty: not kept
    int muteListPollMs = 1000;    // how often the muted viewers' file is looked at for the host's edits
};

class CSonaroDlg : public QDialog {
  public:
    CSonaroDlg(const SpeechServiceFactory& speechFactory, FeederFactories feeders, DialogOptions options = {},
               QWidget* parent = nullptr);
    ~CSonaroDlg() override;

    // The login button: checks the room edit's text for the selected
    // platform (a bad one is refused on the status line before any
    // connection), creates the platform's feeder and starts it with the room;
    // the button stays disabled until "断开". With no platform (or no client
    // for it) nothing starts and the button stays enabled.
    void OnLogin();

    // The "断开" button: ends the room being read within the usual close time
    // and drops what of it still waits to be spoken (the host leaves a room to
    // read another; its backlog would be read to the wrong audience, and 暂停
    // is there for a pause). The login button is enabled again.
    void OnDisconnect();

    // The save button (and Enter): validates the controls, writes the file and
    // hands the settings to the engine. False when validation stopped it or
    // the file could not be written.
    bool OnSave();

    // The cancel path ("退出", the tray's 退出, a signal, and Escape or the
    // close box once the host agreed): keeps the window's position, ends the
    // network side, then closes the dialog.
    void reject() override;

    // The hint under the platform list for entry `index`: a living service,
    // or a historic protocol only the demo room can show.
    static QString platformHint(int index);

    // Any thread: where feeders send their events.
    MessageWindow& messageWindow() { return session_.messageWindow(); }

    const app::Settings& settings() const { return settings_; }
    const std::vector<std::string>& filterWords() const { return session_.filterWords(); }
    bool serving() const { return session_.serving(); }

    static QString title() { return QStringLiteral("Velamo在线版1.8(此语音弹幕免费)"); }

    // The engine, for the host's controls outside the dialog (media keys).
    SpeechService& speech() { return *speech_; }
    // Runs `listener` on this thread after the announcement playing now or
    // the paused state changed.
    void onReaderChange(std::function<void()> listener) { readerListeners_.push_back(std::move(listener)); }
    // Nothing more of this viewer (GBK) is read, what of theirs waits or
    // plays included; the name is added to the muted viewers' file.
    void muteViewer(const std::string& gbkName);

    // "取消屏蔽": the viewer (GBK) is read again and leaves the file.
    void unmuteViewer(const std::string& gbkName);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // While a room is read, Escape and the close box ask once before the
    // reading ends.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Minimised with a tray on the desktop: the window goes to the tray.
    void changeEvent(QEvent* event) override;

  private:
    void buildControls();
    // Reads the muted viewers' file and watches it for the host's edits.
    void watchMuteList();
    // `names` read from the file (and those of this run that it could not
    // take) are the muted ones from now on; what waits of a newly muted
    // viewer goes.
    void applyMuteList(std::unordered_set<std::string> names);
    QPushButton* roomSwitchButton();
    QPushButton* wordingButton();
    // The templates form; OK saves like "保存".
    void editWording();
    // A list file (`name`: the filter list, a replacement list) in the host's
    // editor, created empty first; `what` names it when no editor opens it.
    void openListFile(const char* name, const QString& what);
    void buildTray();
    void showPlatformHint(int index);
    void restorePosition();
    void savePosition();
    // True when nothing is read or the host agrees to end the reading.
    bool confirmEnd();
    void OnInitDialog();
    Session::Hooks sessionHooks();
    void OnStatusEvent(std::unique_ptr<ChatEvent> status);
    void reportStatus(const std::string& gbkLine);
    // Speaks a fixed sentence with what the controls show now.
    void OnTrySpeech();
    void settingsToControls();
    // Reads every control into `out`; on a bad value shows the range message,
    // focuses the control and returns false.
    bool controlsToSettings(app::Settings& out);
    bool readNumber(QLineEdit* edit, app::Range range, std::int32_t& out);
    // The rooms read besides, from their edit; on a bad entry tells why and
    // focuses the edit (a message box on save, the status line at login).
    std::optional<std::vector<RoomChoice>> readAlsoRooms(bool atLogin);
    bool checkRange(QWidget* control, int value, app::Range range);
    // Puts `settings_` in force in the session.
    void applySettings();
    // The label of the settings row that holds `control`, without its colon.
    QString fieldName(QWidget* control) const;
    // Reopens the speech output when the chosen device changed.
    void applyOutputDevice();
    std::string filePath(const char* name) const { return exeDir_ + name; }
    void showStatus(const QString& line);

    DialogOptions options_;
    std::shared_ptr<UserPrompts> prompts_;
    std::string exeDir_;
    app::SettledChange muteChange_;
    std::unordered_set<std::string> unsavedMutes_;  // GBK; muted this run, not in the file
    // The file read again off this thread: a list of a million names takes
    // a second to read.
    std::future<std::unordered_set<std::string>> muteLoad_;
    Session session_;
    SpeechService* speech_;   // the session's engine
    app::Settings settings_;  // the values in force since start-up or the last save
    // The host changed the platform list or the room edit himself: a save
    // then stores what they show, not just the run-only overrides.
    bool platformChosen_ = false;
    bool roomEdited_ = false;
    bool alsoRoomsEdited_ = false;
    std::vector<std::function<void()>> readerListeners_;

    QComboBox* voiceList_ = nullptr;      // 1000
    QLineEdit* roomEdit_ = nullptr;       // 1001
    QLineEdit* alsoRooms_ = nullptr;      // "alsoRooms"
    QSlider* volume_ = nullptr;           // 1002
    QSlider* speed_ = nullptr;            // 1003
    QPushButton* login_ = nullptr;        // 1004
    QPushButton* disconnect_ = nullptr;   // "disconnect"
    QLineEdit* cacheCount_ = nullptr;     // 1005
    QLineEdit* minLength_ = nullptr;      // 1006
    QLineEdit* maxLength_ = nullptr;      // 1007
    QLabel* banner_ = nullptr;            // 1009
    QCheckBox* speakChat_ = nullptr;      // 1012
    QCheckBox* speakGifts_ = nullptr;     // 1013
    QLineEdit* speechSeconds_ = nullptr;  // 1014
    QComboBox* platformList_ = nullptr;   // 1015
    QLabel* status_ = nullptr;            // 1016
    QCheckBox* speakWelcome_ = nullptr;   // 1017
    QCheckBox* speakNickname_ = nullptr;  // 1018
    QPushButton* save_ = nullptr;         // 1
    QPushButton* exit_ = nullptr;         // 2
    QLineEdit* engineCommand_ = nullptr;  // "engineCommand"
    QCheckBox* engineRawText_ = nullptr;  // "engineRawText"
    QPushButton* trySpeech_ = nullptr;    // "trySpeech"
    QCheckBox* filterNames_ = nullptr;    // 1019
    QCheckBox* foldRepeats_ = nullptr;    // 1020
    ReadingPanel* panel_ = nullptr;
    QLabel* platformHint_ = nullptr;   // "platformHint"
    QSystemTrayIcon* tray_ = nullptr;  // null: no tray on this desktop
    QFormLayout* form_ = nullptr;
    OutputDeviceList* outputDevice_ = nullptr;  // 1021
    QCheckBox* speakFollows_ = nullptr;         // 1022
    QCheckBox* speakShares_ = nullptr;          // 1023
    QCheckBox* speakLikes_ = nullptr;           // 1024
    QLineEdit* viewerCooldown_ = nullptr;       // "viewerCooldown"
    QLineEdit* maxWait_ = nullptr;              // "maxWait"
    std::string deviceInUse_;                   // UTF-8; empty: the default
};
