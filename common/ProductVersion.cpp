#include "common/ProductVersion.h"

#include "Version.h"

namespace norvale::common {

ProductVersion ProductVersion::Current() {
    return ProductVersion{NORVALE_VERSION_MAJOR, NORVALE_VERSION_MINOR, NORVALE_VERSION_PATCH,
                          NORVALE_VERSION_BUILD};
}

QString FormatVersionLine(const QString& label, const ProductVersion& version) {
    // The label is passed as an argument, never as part of the format.
    return QString::asprintf("%s %d.%d (%04d.%03d)", label.toUtf8().constData(), version.major,
                             version.minor, version.patch, version.build);
}

}  // namespace norvale::common
