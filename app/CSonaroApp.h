// The application: reads the options, prepares Qt, runs the main dialog
// modally and ends the program when the dialog ends.
//
// Threads: the main thread only.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
#include "core/feeder.h"
#include "core/platform_hosts.h"
#include "core/speech_service.h"

class CSonaroApp {
  public:
    CSonaroApp(int argc, char** argv);

    const app::CommandLine& options() const { return options_; }

    // Runs the dialog until its cancel path, with the platform clients
    // connecting to `hosts` (the demo points its platform's at its own room);
    // returns the process's exit code (0 after a normal end or SIGINT,
    // SIGTERM, SIGHUP, SIGQUIT; 2 for unknown options). A null
    // `speechFactory` means the real engine.
    int run(const SpeechServiceFactory& speechFactory, PlatformHosts hosts);

  private:
    int argc_;
    char** argv_;
    app::CommandLine options_;
    std::string error_;
};

// What main does: the real speech engine and platform clients.
int runSonaro(int argc, char** argv);

class QTranslator;
// Loads Qt's own Chinese texts into `translator` (which must outlive its
// use) and installs it. False when the translations are not installed.
bool installQtTranslations(QTranslator& translator);
