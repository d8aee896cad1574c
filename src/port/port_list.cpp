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
                               return m.hasMatch() && (m.captured(1).toInt() < 1 ||
                                                       m.captured(1).toInt() > kMaxPorts);
                             }),
              names.end());
  QCollator collator;
  collator.setNumericMode(true);
  std::sort(names.begin(), names.end(),
            [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
  names.removeDuplicates();
  while (names.size() > kMaxPorts) names.removeLast();
  return names;
}

QStringList AvailablePorts() {
  QStringList names;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
    names << info.portName();
#else
    names << info.systemLocation();
#endif
  }
  return OrderPorts(names);
}

}  // namespace vemtaro::port
