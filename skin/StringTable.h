#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <mutex>

// The program's user-visible texts, looked up by numeric id.
//
// Tables are text files in the Qt resources, one entry a line:
//     55 "No Network Devices were discovered - ..."
// the id, a blank, the text in double quotes; inside the quotes a backslash
// escapes the next character (\n line feed, \r carriage return, \" and \\);
// empty lines and lines starting with '#' are skipped.
//
// The program's own tables are every file under ":/strings/". A language
// resource file (for example RES_German.rcc, registered with
// QResource::registerResource under its own root such as "/lang") brings
// tables under "<root>/strings/"; once SetLanguageRoot names that root, its
// entries are found before the program's own.
class StringTable {
  public:
    // The one table of the process. Lookups are safe from any thread.
    static StringTable& Instance();

    StringTable() = default;
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    // ":/lang" style resource root of the language tables; empty for none.
    void SetLanguageRoot(const QString& root);
    // Registers the binary resource file rccPath (RES_German.rcc) under
    // root (e.g. "/lang") and searches its tables first from now on.
    // Returns false, changing nothing, when the file cannot be registered.
    bool RegisterLanguageFile(const QString& rccPath, const QString& root);
    // The text of id: the language table's entry, else the program's, else
    // an empty string.
    QString Get(int id) const;
    bool Contains(int id) const;
    // Forgets what was read so that the next lookup reads the tables again
    // (after registering or unregistering resources).
    void Reload();

    // Adds the entries of one table file to out (later entries win).
    // Returns the number of malformed lines, which are skipped.
    static int Parse(const QByteArray& content, QHash<int, QString>& out);

  private:
    void LoadLocked() const;

    mutable std::mutex mutex_;
    QString languageRoot_;
    mutable bool loaded_ = false;
    mutable QHash<int, QString> language_;
    mutable QHash<int, QString> program_;
};

// Shorthand for StringTable::Instance().Get(id).
QString LoadSkinString(int id);
