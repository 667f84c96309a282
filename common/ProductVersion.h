#pragma once

#include <QString>

namespace norvale::common {

// The program's four version numbers, set once in the build (the project
// version) and read wherever the program shows or sends its version.
struct ProductVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
    int build = 0;

    // The version this program was built as.
    static ProductVersion Current();
};

// The About panel's version line "<label> major.minor (patch.build)" with the
// patch as four and the build as three digits, e.g. "Version 1.61 (0932.001)".
QString FormatVersionLine(const QString& label, const ProductVersion& version);

}  // namespace norvale::common
