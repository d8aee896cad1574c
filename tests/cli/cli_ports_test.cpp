// "vemtaro-cli ports": each port on a line as the desktop program's port menu
// shows it, and as JSON, on ports the test makes up (three adapters of one
// kind among them) and on the ports of this computer.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>

#include "port/port_list.h"
#include "ports_output.h"
#include "program_testing.h"

namespace vemtaro {
namespace {

using namespace program_testing;
using port::PortEntry;

TEST(CliPorts, EachPortAsThePortMenuShowsIt) {
  const QList<PortEntry> ports = {
      {"/dev/ttyS0", "", "", ""},
      {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI"},
      {"/dev/ttyUSB1", "FT232R USB UART", "FTDI", "A50285BJ"},
      {"/dev/ttyUSB2", "FT232R USB UART", "FTDI", "A7XQ1RZK"},
      // A manufacturer the description names is not repeated; a serial number
      // alone is shown; the system's line breaks do not break the line.
      {"/dev/ttyACM0", "QinHeng CH340", "QinHeng", ""},
      {"COM7", "", "", "0001"},
      {"/dev/ttyUSB3", "USB\nSerial", "Prolific\tInc.", ""},
  };
  EXPECT_EQ(cli::PortsText(ports),
            "/dev/ttyS0\n"
            "/dev/ttyUSB0 — FT232R USB UART, FTDI, S/N A50285BI\n"
            "/dev/ttyUSB1 — FT232R USB UART, FTDI, S/N A50285BJ\n"
            "/dev/ttyUSB2 — FT232R USB UART, FTDI, S/N A7XQ1RZK\n"
            "/dev/ttyACM0 — QinHeng CH340\n"
            "COM7 — S/N 0001\n"
            "/dev/ttyUSB3 — USB Serial, Prolific Inc.\n");
  EXPECT_EQ(cli::PortsText({}), "");

  const QJsonDocument json = QJsonDocument::fromJson(cli::PortsJson(ports));
  ASSERT_TRUE(json.isArray());
  const QJsonArray list = json.array();
  ASSERT_EQ(list.size(), ports.size());
  EXPECT_EQ(list[1].toObject(), (QJsonObject{{"name", "/dev/ttyUSB0"},
                                             {"description", "FT232R USB UART"},
                                             {"manufacturer", "FTDI"},
                                             {"serialNumber", "A50285BI"},
                                             {"caption", "/dev/ttyUSB0 — FT232R USB UART, FTDI, S/N A50285BI"}}));
  EXPECT_EQ(list[0].toObject(), (QJsonObject{{"name", "/dev/ttyS0"},
                                             {"description", ""},
                                             {"manufacturer", ""},
                                             {"serialNumber", ""},
                                             {"caption", "/dev/ttyS0"}}));
  EXPECT_EQ(cli::PortsJson({}).trimmed(), "[\n]");
}

// The program lists this computer's ports the same way, in both forms.
class CliPortsProgram : public CliFolder {};

TEST_F(CliPortsProgram, ListsThisComputersPortsInBothForms) {
  const Result text = Run({"ports"});
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_EQ(text.out, cli::PortsText(port::AvailablePortEntries()));
  const Result json = Run({"ports", "--json"});
  ASSERT_EQ(json.code, 0) << json.err;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out));
  ASSERT_TRUE(doc.isArray()) << json.out;
  std::string captions;
  for (const auto& item : doc.array()) captions += item.toObject()["caption"].toString().toStdString() + "\n";
  EXPECT_EQ(captions, text.out);
  EXPECT_EQ(json.err, "");
}

}  // namespace
}  // namespace vemtaro
