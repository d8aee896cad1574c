// The serial ports the system reports, as the port menu lists them.
#pragma once

#include <QString>
#include <QStringList>

namespace vemtaro::port {

inline constexpr int kMaxPorts = 64;

// Ports present, in ascending order, at most 64: "COMn" (n up to 64) on
// Windows, the device path (such as /dev/ttyUSB0) elsewhere. Ports held by
// another program are listed too.
QStringList AvailablePorts();

// A port the system reports, with the system's description of its device
// (such as "USB-Serial CH340"; empty when it has none).
struct PortEntry {
  QString name;
  QString description;
  bool operator==(const PortEntry&) const = default;
};

// The same ports as AvailablePorts(), in the same order, with their
// descriptions. Asked anew at every call: an adapter plugged in meanwhile is
// there.
QList<PortEntry> AvailablePortEntries();

// Orders port names by their text with numbers compared as numbers
// (COM2 before COM10); keeps at most 64, and on Windows no COM number above 64.
QStringList OrderPorts(QStringList names);

}  // namespace vemtaro::port
