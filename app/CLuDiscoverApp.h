#pragma once

#include <QLocale>
#include <QString>

#include "app/CommandLine.h"
#include "app/LanguageModule.h"

namespace norvale::app {

// The application object of the window mode: chooses the language file,
// makes sure only one copy runs, closes a running updater, runs the main
// window until it ends and releases the language file.
class CLuDiscoverApp {
  public:
    CLuDiscoverApp() = default;
    CLuDiscoverApp(const CLuDiscoverApp&) = delete;
    CLuDiscoverApp& operator=(const CLuDiscoverApp&) = delete;

    // The whole start-up and the window's run; a QApplication must exist.
    // Returns the exit status: 0, also for a second copy that handed over to
    // the first; 1 when the demo network could not be started.
    int InitInstance(const CommandLine& line);

    // Loads the language file the locale (the user's language) calls for
    // from `folder`; false (English) when none applies or it cannot be loaded.
    bool LoadLanguage(const QString& folder, const QLocale& locale = QLocale::system());
    const LanguageModule& Language() const { return language_; }

  private:
    LanguageModule language_;
};

}  // namespace norvale::app
