#include "skin/StringTable.h"

#include <QDir>
#include <QFile>
#include <QResource>

namespace {

// Reads `"text"` starting at content[pos] == '"'; stops after the closing
// quote. Returns false when the closing quote is missing.
bool ReadQuoted(const QByteArray& line, qsizetype pos, QByteArray& text) {
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') return true;
        if (c == '\\' && pos + 1 < line.size()) {
            c = line[++pos];
            if (c == 'n')
                c = '\n';
            else if (c == 'r')
                c = '\r';
        }
        text.append(c);
    }
    return false;
}

void ReadFolder(const QString& folder, QHash<int, QString>& out) {
    const QDir dir(folder);
    if (!dir.exists()) return;
    for (const QString& name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly)) StringTable::Parse(file.readAll(), out);
    }
}

}  // namespace

StringTable& StringTable::Instance() {
    static StringTable table;
    return table;
}

int StringTable::Parse(const QByteArray& content, QHash<int, QString>& out) {
    int malformed = 0;
    for (const QByteArray& raw : content.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        const qsizetype blank = line.indexOf(' ');
        bool numeric = false;
        const int id = blank > 0 ? line.left(blank).toInt(&numeric) : 0;
        const qsizetype quote = line.indexOf('"', blank);
        QByteArray text;
        if (!numeric || quote < 0 || !line.mid(blank, quote - blank).trimmed().isEmpty() ||
            !ReadQuoted(line, quote, text)) {
            ++malformed;
            continue;
        }
        out.insert(id, QString::fromUtf8(text));
    }
    return malformed;
}

void StringTable::SetLanguageRoot(const QString& root) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (languageRoot_ == root) return;
    languageRoot_ = root;
    loaded_ = false;
}

bool StringTable::RegisterLanguageFile(const QString& rccPath, const QString& root) {
    if (!QResource::registerResource(rccPath, root)) return false;
    SetLanguageRoot(QStringLiteral(":") + root);
    return true;
}

void StringTable::Reload() {
    std::lock_guard<std::mutex> lock(mutex_);
    loaded_ = false;
}

void StringTable::LoadLocked() const {
    if (loaded_) return;
    language_.clear();
    program_.clear();
    if (!languageRoot_.isEmpty()) ReadFolder(languageRoot_ + QStringLiteral("/strings"), language_);
    ReadFolder(QStringLiteral(":/strings"), program_);
    loaded_ = true;
}

QString StringTable::Get(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    LoadLocked();
    auto found = language_.constFind(id);
    if (found != language_.constEnd()) return *found;
    return program_.value(id);
}

bool StringTable::Contains(int id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    LoadLocked();
    return language_.contains(id) || program_.contains(id);
}

QString LoadSkinString(int id) {
    return StringTable::Instance().Get(id);
}
