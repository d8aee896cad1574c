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

// A port the system reports, with what the system tells of its device: its
// description (such as "USB-Serial CH340"), its manufacturer and its serial
// number, each empty when the system gives none. Three adapters of one kind
// differ in their serial numbers.
struct PortEntry {
  QString name;
  QString description;
  QString manufacturer;
  QString serialNumber;
  bool operator==(const PortEntry&) const = default;
};

// What is known of a port's device in one line, as the port menu shows it
// after the name: "USB-Serial CH340, QinHeng Electronics, S/N 5A3B021";
// a manufacturer the description already names is not repeated. Empty when
// the system tells nothing. Control characters become blanks.
QString PortDetails(const PortEntry& entry);
// The port menu's item: "/dev/ttyUSB0 — USB-Serial CH340, QinHeng
// Electronics, S/N 5A3B021", or the name alone.
QString PortCaption(const PortEntry& entry);

// The same ports as AvailablePorts(), in the same order, with their
// descriptions. Asked anew at every call: an adapter plugged in meanwhile is
// there.
QList<PortEntry> AvailablePortEntries();

// Orders port names by their text with numbers compared as numbers
// (COM2 before COM10); keeps at most 64, and on Windows no COM number above 64.
QStringList OrderPorts(QStringList names);

}  // namespace vemtaro::port
