#pragma once

#include <QString>

namespace norvale::app {

// The loaded language resource file (RES_German.rcc and the like): a binary
// Qt resource file registered under its own root ":/lang". Its string table
// is searched before the program's own (StringTable's language root) and its
// help page replaces the English one. At most one is loaded; it is released
// when the object goes or Unload is called. Use on the user-interface thread.
class LanguageModule {
  public:
    // Resource root of the loaded language file.
    static constexpr const char* kRoot = "/lang";

    LanguageModule() = default;
    LanguageModule(const LanguageModule&) = delete;
    LanguageModule& operator=(const LanguageModule&) = delete;
    ~LanguageModule();

    // Registers the resource file at path; on failure (missing or unreadable
    // file) nothing changes and false is returned. Replaces a loaded file.
    bool Load(const QString& path);
    // Unregisters the file and restores the program's own texts.
    void Unload();

    bool IsLoaded() const { return !path_.isEmpty(); }
    QString Path() const { return path_; }

    // The help page to show: the language file's when one is loaded and
    // carries a help page, else the program's own English page.
    QString HelpPage() const;

    // Where language files are looked for: the folder of the executable.
    static QString Directory();

  private:
    QString path_;
};

// The program's own help page.
inline constexpr const char* kOwnHelpPage = ":/help/help_en.html";
// The help page inside a language resource file.
inline constexpr const char* kLanguageHelpPage = ":/lang/help/help.html";

}  // namespace norvale::app
