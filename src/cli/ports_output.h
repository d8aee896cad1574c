// The serial ports as "vemtaro-cli ports" prints them.
#pragma once

#include <QByteArray>
#include <QList>

#include <string>

#include "port/port_list.h"

namespace vemtaro::cli {

// One line per port, as the port menu of the desktop program shows it:
// "/dev/ttyUSB0 — FT232R USB UART, FTDI, S/N A50285BI", or the name alone
// when the system tells nothing of the device.
std::string PortsText(const QList<port::PortEntry>& ports);

// [{"name", "description", "manufacturer", "serialNumber", "caption"}], a
// field the system does not give as "" (UTF-8, indented).
QByteArray PortsJson(const QList<port::PortEntry>& ports);

}  // namespace vemtaro::cli
