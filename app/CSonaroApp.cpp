#include "app/CSonaroApp.h"

#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/CSonaroDlg.h"
#include "app/activity_log.h"
#include "app/config_file.h"
#include "app/data_folders.h"
#include "app/demo_room.h"
#include "app/headless_log.h"
#include "app/host_environment.h"
#include "app/mpris_player.h"
#include "app/speech_factory.h"
#include "platforms/catalogue.h"
#include "sys/sys.h"

namespace {

// SIGINT, SIGTERM, SIGHUP (the terminal went away) and SIGQUIT (Ctrl+Backslash)
// close the program as the exit button does. They only write a byte here;
// the dialog reads it on its own thread and takes the cancel path.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(signalPipe[1], &byte, 1);
}

bool catchTerminationSignals() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A reader that went away (sonaro --headless | head) must not end the
    // program: the log line is lost, the run goes on.
    std::signal(SIGPIPE, SIG_IGN);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

// Without one, Qt's desktop platforms abort at start-up.
bool hasDesktop() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Standard output becomes the log's alone: whatever else writes there
// (libraries, Qt, diagnostics) goes to standard error from now on. Returns
// the descriptor the log writes to, or -1.
int takeStandardOutput() {
    std::fflush(stdout);
    const int log = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (log >= 0) {
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
    }
    return log;
}

void sayWhereTheFilesAre(const app::DataFolders& folders) {
    if (!folders.portable) {
        std::fprintf(stderr, "sonaro: the program folder is read-only; settings in %s, speech files in %s\n",
                     folders.files.c_str(), folders.waves.c_str());
    }
    if (!folders.wavesWritable) {
        std::fprintf(stderr, "sonaro: speech files cannot be written to %s: nothing will be heard\n",
                     folders.waves.c_str());
    }
}

}  // namespace

CSonaroApp::CSonaroApp(int argc, char** argv) : argc_(argc), argv_(argv) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    app::ParsedCommandLine parsed = app::parseCommandLine(arguments);
    options_ = parsed.options;
    error_ = parsed.error;
}

int CSonaroApp::run(const SpeechServiceFactory& speechFactory, PlatformHosts hosts) {
    if (!error_.empty()) {
        std::fprintf(stderr, "sonaro: %s\n\n%s", error_.c_str(), app::usageText().c_str());
        return 2;
    }
    if (options_.help) {
        std::fputs(app::usageText().c_str(), stdout);
        return 0;
    }
    if (options_.version) {
        std::fputs(app::versionText().c_str(), stdout);
        return 0;
    }
    if (!options_.headless && !hasDesktop()) {
        std::fputs("sonaro: no display found, running headless\n", stderr);
        options_.headless = true;
    }
    if (options_.headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const bool signalsCaught = catchTerminationSignals();
    // The demo prints its log in a window too, so a new user sees what happens.
    std::unique_ptr<app::LogWriter> log;
    if (options_.headless || options_.demo) {
        const int fd = takeStandardOutput();
        if (fd >= 0) {
            log = std::make_unique<app::LogWriter>(fd);
        }
    }
    const app::DataFolders folders = app::chooseDataFolders(sys::exeDir(), app::processEnvironment());
    sayWhereTheFilesAre(folders);

    // Qt would take --platform for its own option: it sees the program name only.
    int qtArgc = argc_ > 0 ? 1 : 0;
    QApplication application(qtArgc, argv_);
    QCoreApplication::setOrganizationName(QStringLiteral("Velamo!"));
    QCoreApplication::setApplicationName(QStringLiteral("Sonaro"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SONARO_VERSION));
    QTranslator qtTranslations;
    installQtTranslations(qtTranslations);

    DialogOptions dialogOptions;
    dialogOptions.baseDir = (folders.files / "").string();
    if (!folders.wavesWritable) {
        dialogOptions.unwritableWaves = folders.waves.string();
    }
    dialogOptions.platform = options_.platform;
    dialogOptions.room = options_.room;
    if (!options_.also.empty()) {
        dialogOptions.alsoRooms = roomListText(options_.also);
    }

    // The demo room must be listening, and its hosts known, before the login.
    app::DemoRoom demo;
    std::vector<app::DemoRoom> extraDemos;
    if (options_.demo) {
        int platform = options_.platform.value_or(
            app::loadConfig((folders.files / app::kConfigFileName).string(), platforms::roomKinds())
                .platform);
        demo = app::startDemoRoom(platform, hosts);
        if (!demo.room) {
            std::fprintf(stderr, "sonaro: no simulated room for platform %d\n", platform);
            return 1;
        }
        dialogOptions.platform = demo.platform;
        dialogOptions.room = demo.roomNumber;
        options_.login = true;
        // Each room read besides gets a simulated room of its own. One
        // platform's hosts point at one room, so a platform named twice
        // reads that room once.
        std::vector<RoomChoice> also;
        for (const RoomChoice& choice : options_.also) {
            app::DemoRoom& room = extraDemos.emplace_back(
                app::startDemoRoom(choice.platform, hosts, static_cast<int>(extraDemos.size()) + 1));
            if (!room.room) {
                std::fprintf(stderr, "sonaro: no simulated room for platform %d\n", choice.platform);
                return 1;
            }
            also.push_back(RoomChoice{room.platform, room.roomNumber});
        }
        if (!also.empty()) {
            dialogOptions.alsoRooms = roomListText(also);
        }
    }
    // On the desktop, what was said and shown stays in a file the host can
    // read after the stream; a headless run has its log on standard output.
    std::unique_ptr<app::ActivityLog> activity;
    if (!options_.headless) {
        activity = std::make_unique<app::ActivityLog>(
            app::activityLogPath(std::getenv("HOME"), std::getenv("XDG_STATE_HOME")));
        const std::filesystem::path config = app::userConfigDir(app::processEnvironment());
        if (!config.empty()) {
            dialogOptions.windowStateFile = (config / "window.ini").string();
        }
    }
    if (log || activity) {
        dialogOptions.onStatus = [&log, &activity](const std::string& line) {
            if (log) {
                log->write("status", line);
            }
            if (activity) {
                activity->write("status", line);
            }
        };
        dialogOptions.onSpeak = [&log, &activity](const std::string& text) {
            if (log) {
                log->write("speak", text);
            }
            if (activity) {
                activity->write("speak", text);
            }
        };
    }
    if (hosts.browserAgent.empty()) {
        hosts.browserAgent =
            app::loadConfig((folders.files / app::kConfigFileName).string(), platforms::roomKinds())
                .browserAgent;
    }
    if (hosts.dataFolder.empty()) {
        hosts.dataFolder = folders.files.string();
    }
    CSonaroDlg dialog(speechFactory ? speechFactory : app::defaultSpeechFactory(folders.waves),
                      platforms::feederFactories(hosts), std::move(dialogOptions));
    // Media keys and remotes, where a session bus exists.
    MprisPlayer mediaPlayer(dialog.speech());
    if (mediaPlayer.start()) {
        dialog.onReaderChange([&mediaPlayer] { mediaPlayer.refresh(); });
    }

    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (signalsCaught) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &dialog, [&dialog] {
            char buffer[16];
            while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
            }
            dialog.reject();
        });
    }
    if (options_.demoSeconds) {
        QTimer::singleShot(static_cast<int>(std::min(*options_.demoSeconds * 1000, 2e9)), &dialog,
                           [&dialog] { dialog.reject(); });
    }
    if (options_.login) {
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.OnLogin(); });
    }
    // Not modal: a dialog minimised to the tray is hidden, which would end a
    // modal run; the run ends when the dialog does.
    application.setQuitOnLastWindowClosed(false);
    QObject::connect(&dialog, &QDialog::finished, &application, &QCoreApplication::quit);
    dialog.show();
    application.exec();
    return 0;
}

bool installQtTranslations(QTranslator& translator) {
    // The dialog speaks Chinese, so Qt's own buttons and menus do too
    // ("确定", not "OK"), whatever the desktop's language.
    if (!translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}

int runSonaro(int argc, char** argv) {
    CSonaroApp application(argc, argv);
    // The real engine, made once the program knows where its speech files go.
    return application.run(nullptr, app::hostsFromEnvironment());
}
