#include "port_list.h"

#include <QCollator>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace vemtaro::port {

QStringList OrderPorts(QStringList names) {
  static const QRegularExpression com("^COM(\\d+)$", QRegularExpression::CaseInsensitiveOption);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const QString& n) {
                               const auto m = com.match(n);
                               return m.hasMatch() && (m.captured(1).toInt() < 1 || m.captured(1).toInt() > kMaxPorts);
                             }),
              names.end());
  QCollator collator;
  collator.setNumericMode(true);
  std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
  names.removeDuplicates();
  while (names.size() > kMaxPorts) names.removeLast();
  return names;
}

namespace {
// The name a port goes by: "COMn" on Windows, the device path elsewhere.
QString NameOf(const QSerialPortInfo& info) {
#ifdef Q_OS_WIN
  return info.portName();
#else
  return info.systemLocation();
#endif
}
}  // namespace

QStringList AvailablePorts() {
  QStringList names;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) names << NameOf(info);
  return OrderPorts(names);
}

QList<PortEntry> AvailablePortEntries() {
  const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
  QStringList names;
  for (const QSerialPortInfo& info : infos) names << NameOf(info);
  QList<PortEntry> entries;
  for (const QString& name : OrderPorts(names)) {
    PortEntry entry{name, {}, {}, {}};
    for (const QSerialPortInfo& info : infos) {
      if (NameOf(info) != name) continue;
      entry.description = info.description().trimmed();
      entry.manufacturer = info.manufacturer().trimmed();
      entry.serialNumber = info.serialNumber().trimmed();
    }
    entries << entry;
  }
  return entries;
}

namespace {
// A text of the system's as one line of the menu.
QString OneLine(QString text) {
  for (QChar& c : text) {
    if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
      c = QLatin1Char(' ');
    }
  }
  return text.simplified();
}
}  // namespace

QString PortDetails(const PortEntry& entry) {
  QStringList parts;
  const QString description = OneLine(entry.description);
  const QString manufacturer = OneLine(entry.manufacturer);
  const QString serial = OneLine(entry.serialNumber);
  if (!description.isEmpty()) parts << description;
  if (!manufacturer.isEmpty() && !description.contains(manufacturer, Qt::CaseInsensitive)) parts << manufacturer;
  if (!serial.isEmpty()) parts << QStringLiteral("S/N ") + serial;
  return parts.join(QStringLiteral(", "));
}

QString PortCaption(const PortEntry& entry) {
  const QString details = PortDetails(entry);
  return details.isEmpty() ? entry.name : entry.name + QString::fromUtf8(" — ") + details;
}

}  // namespace vemtaro::port
