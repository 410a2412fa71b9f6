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

#include "app/CSonaroDlg.h"
#include "app/config_file.h"
#include "app/demo_room.h"
#include "app/headless_log.h"
#include "app/mpris_player.h"
#include "app/speech_factory.h"
#include "platforms/registry.h"
#include "sys/sys.h"

namespace {

// SIGINT and SIGTERM only write a byte here; the dialog reads it on its own
// thread and takes the cancel path.
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
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

// Without one, Qt's desktop platforms abort at start-up.
bool hasDesktop() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

CSonaroApp::CSonaroApp(int argc, char** argv) : argc_(argc), argv_(argv) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    app::ParsedCommandLine parsed = app::parseCommandLine(arguments);
    options_ = parsed.options;
    error_ = parsed.error;
}

int CSonaroApp::run(const SpeechServiceFactory& speechFactory, const FeederFactories& feeders) {
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

    // Qt would take --platform for its own option: it sees the program name only.
    int qtArgc = argc_ > 0 ? 1 : 0;
    QApplication application(qtArgc, argv_);
    QCoreApplication::setOrganizationName(QStringLiteral("Velamo!"));
    QCoreApplication::setApplicationName(QStringLiteral("Sonaro"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SONARO_VERSION));
    QTranslator qtTranslations;
    installQtTranslations(qtTranslations);

    DialogOptions dialogOptions;
    dialogOptions.platform = options_.platform;
    dialogOptions.room = options_.room;

    // The demo room must be listening, and its hosts set, before the login.
    app::DemoRoom demo;
    if (options_.demo) {
        int platform =
            options_.platform.value_or(app::loadConfig(sys::exeDir() + app::kConfigFileName).platform);
        demo = app::startDemoRoom(platform);
        if (!demo.room) {
            std::fprintf(stderr, "sonaro: no simulated room for platform %d\n", platform);
            return 1;
        }
        dialogOptions.platform = demo.platform;
        dialogOptions.room = demo.roomNumber;
        options_.login = true;
    }
    // The demo prints its log in a window too, so a new user sees what happens.
    if (options_.headless || options_.demo) {
        dialogOptions.onStatus = [](const std::string& line) {
            app::writeHeadlessLine(stdout, "status", line);
        };
        dialogOptions.onSpeak = [](const std::string& text) {
            app::writeHeadlessLine(stdout, "speak", text);
        };
    }
    CSonaroDlg dialog(speechFactory, feeders, std::move(dialogOptions));
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
    dialog.exec();
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
    return application.run(app::defaultSpeechFactory(), platforms::feederFactories());
}
