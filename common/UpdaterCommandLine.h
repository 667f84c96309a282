#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "common/ProductVersion.h"

namespace norvale::common {

// The one line the main program gives the updater, written and read here:
//     VER:<version> DIR:<install folder>
// The version is written "VER:%d.%d0.%04d.%03d" (VER:1.610.0932.001 for
// 1.61.932.1; the updater's ReleaseVersion::FromVersionToken reads it back).
// The version token runs from "VER:" (kept) up to the blank before "DIR:";
// the install folder runs from just after "DIR:" to the end of the line,
// blanks included, without quoting.
struct UpdaterCommandLine {
    // "VER:1.20.2026.341" as received; empty when the line holds no "VER:"
    // (the check is then made without a version).
    QString versionToken;
    // The text after "DIR:"; empty when there is none (no update then).
    std::optional<QString> installFolder;
};

// The line for `version` and the installation root `installFolder`.
QString UpdaterCommandLineText(const ProductVersion& version, const QString& installFolder);

// Reads a command line as one text. "DIR:" counts only after "VER:".
UpdaterCommandLine ParseUpdaterCommandLine(const QString& line);

// The program's arguments (without the program name) as one command line:
// joined by single blanks, so both one argument "VER:... DIR:/a b" and the
// same text split by a shell read alike.
QString JoinArguments(const QStringList& arguments);

}  // namespace norvale::common
