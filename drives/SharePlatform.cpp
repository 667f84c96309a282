#include "drives/SharePlatform.h"

namespace drives {

void SharePlatform::ReadDrives(DriveStates* states) {
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        const QString drive = QString(QChar(letter)) + QLatin1Char(':');
        DriveState& state = (*states)[letter - u'A'];
        state.type = GetDriveType(drive);
        state.connection = GetConnection(drive, &state.remote);
    }
}

void SharePlatform::PrepareConnections(const QStringList&, int) {}

int SharePlatform::ProbeDrive(const QString&) {
    return kNoError;
}

}  // namespace drives
