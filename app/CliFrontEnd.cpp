#include "app/CliFrontEnd.h"

#include <algorithm>

namespace norvale::app {
namespace {

QString JsonString(const QString& text) {
    if (text.isNull()) return QStringLiteral("null");
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '"':
                out += QStringLiteral("\\\"");
                break;
            case '\\':
                out += QStringLiteral("\\\\");
                break;
            case '\n':
                out += QStringLiteral("\\n");
                break;
            case '\r':
                out += QStringLiteral("\\r");
                break;
            case '\t':
                out += QStringLiteral("\\t");
                break;
            default:
                if (c.unicode() < 0x20) {
                    out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
                } else {
                    out += c;
                }
        }
    }
    return out + QLatin1Char('"');
}

QString JsonBool(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString Pad(const QString& text, qsizetype width) {
    return text + QString(std::max<qsizetype>(width - text.size(), 0) + 2, QLatin1Char(' '));
}

}  // namespace

CliFrontEnd::CliFrontEnd(QTextStream& out, bool watch, bool all)
    : out_(out), watch_(watch), all_(all) {
    connect(&table_, &DeviceTable::rowRemoved, this, [this](int, const DeviceRow& row) {
        if (announced_.erase({row.name, row.address}) > 0) PrintEvent("removed", row);
        if (onTableChanged) onTableChanged();
    });
    connect(&table_, &DeviceTable::rowChanged, this, [this](int) {
        if (onTableChanged) onTableChanged();
    });
}

void CliFrontEnd::RedrawRow(int index) {
    const DeviceRow& row = table_.Row(index);
    const bool on = !row.led.isEmpty();
    auto [entry, added] = announced_.try_emplace({row.name, row.address}, Printed{on, row.mapName});
    if (added) {
        PrintEvent("added", row);
        return;
    }
    if (entry->second.led != on) {
        entry->second.led = on;
        PrintEvent("led", row);
    }
    if (entry->second.mapName != row.mapName) {
        entry->second.mapName = row.mapName;
        PrintEvent("mapName", row);
    }
}

void CliFrontEnd::LedStatusAnswered(const QString& name, const QString& address, int resultCode,
                                    bool on) {
    if (onLedAnswer) onLedAnswer(name, address, resultCode, on);
}

void CliFrontEnd::UnsupportedDeviceAdded(const DeviceRow& device) {
    if (!all_) return;
    unsupported_.push_back(device);
    PrintEvent("added", device);
}

void CliFrontEnd::UnsupportedDeviceRemoved(const DeviceRow& device) {
    if (!all_) return;
    auto same = [&](const DeviceRow& row) {
        return row.name == device.name && row.address == device.address &&
               row.facts.udn == device.facts.udn;
    };
    auto found = std::find_if(unsupported_.begin(), unsupported_.end(), same);
    if (found == unsupported_.end()) return;
    unsupported_.erase(found);
    PrintEvent("removed", device);
}

std::vector<DeviceRow> CliFrontEnd::Rows() const {
    std::vector<DeviceRow> rows;
    for (int i = 0; i < table_.Count(); ++i) rows.push_back(table_.Row(i));
    rows.insert(rows.end(), unsupported_.begin(), unsupported_.end());
    std::stable_sort(rows.begin(), rows.end(), [](const DeviceRow& a, const DeviceRow& b) {
        return QString::compare(a.name, b.name, Qt::CaseSensitive) < 0;
    });
    return rows;
}

void CliFrontEnd::PrintEvent(const char* event, const DeviceRow& row) {
    if (!watch_) return;
    out_ << RowJson(row, event) << '\n';
    out_.flush();
}

QString RowJson(const DeviceRow& row, const char* event) {
    const DeviceFacts& f = row.facts;
    QString json = QStringLiteral("{");
    if (event != nullptr)
        json += QStringLiteral("\"event\":%1,").arg(JsonString(QString::fromLatin1(event)));
    json += QStringLiteral("\"name\":%1,\"mapName\":%2,\"ip\":%3,\"led\":%4,")
                .arg(JsonString(row.name), JsonString(row.mapName), JsonString(row.address),
                     JsonBool(!row.led.isEmpty()));
    json += QStringLiteral("\"model\":%1,\"modelClass\":%2,\"udn\":%3,\"deviceType\":%4,")
                .arg(JsonString(f.model), QString::number(f.modelClass), JsonString(f.udn),
                     JsonString(f.deviceType.isNull() ? QStringLiteral("") : f.deviceType));
    json += QStringLiteral("\"presentationURL\":%1,\"location\":%2,")
                .arg(JsonString(f.presentationUrl),
                     JsonString(f.location.isNull() ? QStringLiteral("") : f.location));
    json += QStringLiteral("\"configure\":%1,\"identifyLed\":%2,\"supported\":%3}")
                .arg(JsonBool(f.configure), JsonBool(f.identifyLed), JsonBool(f.supported));
    return json;
}

QString RowsJson(const std::vector<DeviceRow>& rows) {
    QString json = QStringLiteral("[");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        json += (i == 0 ? QStringLiteral("\n  ") : QStringLiteral(",\n  ")) + RowJson(rows[i]);
    }
    return json + (rows.empty() ? QStringLiteral("]") : QStringLiteral("\n]"));
}

QString FormatTable(const std::vector<DeviceRow>& rows) {
    const QStringList headings{QStringLiteral("NAME"), QStringLiteral("MAP NAME"),
                               QStringLiteral("IP"), QStringLiteral("LED"),
                               QStringLiteral("MODEL")};
    std::vector<QStringList> cells{headings};
    for (const DeviceRow& row : rows) {
        cells.push_back(
            {TerminalText(row.name), TerminalText(row.mapName), TerminalText(row.address),
             row.led.isEmpty() ? QStringLiteral("off") : QStringLiteral("on"),
             row.facts.model.isNull() ? QStringLiteral("-") : TerminalText(row.facts.model)});
    }
    std::vector<qsizetype> widths(headings.size(), 0);
    for (const QStringList& line : cells) {
        for (qsizetype c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], line[c].size());
    }
    QString text;
    for (const QStringList& line : cells) {
        QString out;
        for (qsizetype c = 0; c + 1 < line.size(); ++c) out += Pad(line[c], widths[c]);
        text += out + line.back() + QLatin1Char('\n');
    }
    return text;
}

}  // namespace norvale::app
