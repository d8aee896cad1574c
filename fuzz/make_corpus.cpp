// Writes the seed corpora of the fuzz targets into a directory (fuzz/corpus):
// settings files of a few versions as the main window saves them, tree texts
// with the line ends and levels the reader must handle, and the messages of
// the single-instance channel.
#include <fstream>
#include <iostream>
#include <string>

#include "files/tree_text.h"
#include "model/image.h"
#include "model/layout.h"
#include "pages/pages.h"
#include "window/handover.h"
#include "window/main_model.h"

namespace {

using NoDialogs = vemtaro::SilentDialogs;

// A tree with one leaf in each group ("Реле", "Телефоны", "SMS", a threshold):
// the shape of every source, event, channel and state is kept, and the file
// is a few times smaller, so that a fuzzer runs many more of them.
void Prune(vemtaro::TreeNode& node, int level) {
  if (level == 2) {
    while (node.childCount() > 1) node.RemoveLastChild();
  }
  for (const auto& child : node.children()) Prune(*child, level + 1);
}

// The model's settings file with pruned trees.
std::string PrunedFile(vemtaro::MainModel& m) {
  for (vemtaro::Tree* tree : {&m.Tree1, &m.Tree2}) {
    for (const auto& top : tree->root().children()) Prune(*top, 0);
  }
  return *m.SettingsFileBytes();
}

bool Write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::cerr << "cannot write " << path << "\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vemtaro_make_corpus <fuzz/corpus directory>\n";
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;
  NoDialogs dialogs;

  // Settings files, their trees pruned: the defaults of versions 10 and 12, and
  // an edited version 15 with the Touch Memory shape of the guard entry.
  for (int v : {10, 12}) {
    vemtaro::MainModel m(dialogs);
    m.Startup();
    m.ApplyProfile(v);
    ok &= Write(dir + "/settings_file/default_v" + std::to_string(v) + ".dat", PrunedFile(m));
  }
  {
    vemtaro::MainModel m(dialogs);
    m.Startup();
    m.pages.SetOhrIndex(1);
    m.pages.SetSpinValue({vemtaro::SpinRow::Rele, 1}, 200);
    m.pages.PasswordEdit.text = "4321";
    m.pages.PasswordEditExit();
    m.Tree1.top(0)->text = "Дверь";
    m.ws.working.SetRaw(0, "ZRN");
    m.ws.working.SetRaw(vemtaro::layout::kAlarm1Time, "06:45");
    m.ws.working.SetByte(vemtaro::layout::kAlarmFlags, '2');
    ok &= Write(dir + "/settings_file/edited_v15.dat", PrunedFile(m));
  }
  // A small file: short trees and a 5121-byte image of a version without a profile.
  {
    vemtaro::MainModel m(dialogs);
    m.Startup();
    m.ApplyProfile(12);
    const std::string image = m.ws.working.Raw(0, m.ws.working.size());
    ok &= Write(dir + "/settings_file/small_v9.dat", "V9*00010A\r\n\tB\r\n\t\tC00004D\r\n\t5121 " + image);
  }

  // Tree texts.
  {
    vemtaro::MainModel m(dialogs);
    m.Startup();
    m.ApplyProfile(12);
    ok &= Write(dir + "/tree_text/tree1.txt", vemtaro::WriteTreeText(m.Tree1));
    ok &= Write(dir + "/tree_text/tree2_v12.txt", vemtaro::WriteTreeText(m.Tree2));
  }
  ok &= Write(dir + "/tree_text/line_ends.txt",
              std::string("\xC2\xF5\xEE\xE4 1\r\n\t\xD0\xE5\xEB\xE5\r\t\t1 - N\n \t2\r\n  3\n\r\tX\r\nK\xE0\xF1\r\n"));
  static const char kDeeper[] = "A\r\n\tB\r\n\t\t\tC\r\nD\0E\r\n";
  ok &= Write(dir + "/tree_text/deeper_fails.txt", std::string(kDeeper, sizeof kDeeper - 1));

  // Controller replies as they come, for the readers.
  const std::string ids = std::string(48, '0') + "28FF4C1A03000016" + std::string(16, '0') + std::string(176, 'A');
  const std::string status =
      "10000001\r\n12\r\n0\r\n1023\r\n5\r\n6\r\n7\r\n8\r\n9\r\n"
      "+21.5\r\n-3.0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0100000A2B3C4D01\r\n";
  ok &= Write(dir + "/reply_readers/version.txt", "GSM-ALARM 15");
  ok &= Write(dir + "/reply_readers/clock.txt", "09:05:07*08-12-26*");
  ok &= Write(dir + "/reply_readers/ids.txt", ids);
  ok &= Write(dir + "/reply_readers/status.txt", status);
  ok &= Write(dir + "/reply_readers/reading.txt", " -21,5 ");

  // A controller script for the link: records of an operation byte and a
  // length byte (operation 0 sends that many bytes, 1 lets that many ticks
  // pass, 2 reads, 3 writes, 4 sets the clock, 5 asks for identifiers, 6 for
  // the status or, with a length of 3 mod 4, switches "Автоопрос" over, 7
  // switches a relay).
  {
    std::string script;
    auto send = [&](const std::string& bytes) {
      for (std::size_t i = 0; i < bytes.size(); i += 255) {
        const std::string part = bytes.substr(i, 255);
        script += '\0';
        script += static_cast<char>(part.size());
        script += part;
      }
    };
    auto op = [&](int code, int arg) {
      script += static_cast<char>(code);
      script += static_cast<char>(arg);
    };
    send("ATI\r");
    op(1, 3);
    send("Ver.GSM-ALARM 15\r\n");
    op(1, 20);
    ok &= Write(dir + "/controller_replies/connect.bin", script);
    const std::string connected = script;
    op(5, 0);
    send(ids + "\r\n");
    op(6, 0);
    send("STATUS\r\n" + status + "ENDSTATUS\r\n");
    op(4, 0);
    send("TIME_OK\r\n");
    send("09:05:07*08-12-26*\r\n");
    op(7, 9);
    ok &= Write(dir + "/controller_replies/services.bin", script);
    // "Автоопрос" on: a reply, 3.3 s, the next reply; then off.
    script = connected;
    op(6, 3);
    send("STATUS\r\n" + status + "ENDSTATUS\r\n");
    op(1, 60);
    send("STATUS\r\n" + status + "ENDSTATUS\r\n");
    op(6, 3);
    ok &= Write(dir + "/controller_replies/autopoll.bin", script);
    script = connected;
    vemtaro::MainModel m(dialogs);
    m.Startup();
    std::string image = m.ws.working.Raw(0, m.ws.working.size());
    image.back() = static_cast<char>(vemtaro::ImageChecksum(m.ws.working));
    op(2, 0);
    send("LOAD_OK\r\n" + image + "LOAD_OK\r\n");
    ok &= Write(dir + "/controller_replies/load.bin", script);
  }
  // The single-instance channel: a piece size, then what a later start sends,
  // and a message the running copy refuses.
  {
    namespace H = vemtaro::handover;
    const std::string piece(1, '\0');
    ok &= Write(dir + "/handover/raise_open.bin", piece + H::RaiseMessage() + *H::OpenMessage("/home/user/site.dat"));
    ok &= Write(dir + "/handover/windows_path.bin", "\x03" + *H::OpenMessage("C:/Users/u/Объект.dat"));
    ok &= Write(dir + "/handover/unknown.bin", "\x10" + H::RaiseMessage() + "QUIT\n");
    ok &= Write(dir + "/handover/ports.bin", "\x07" + H::RaiseMessage() + *H::OpenMessage("/home/user/site.dat") +
                                                 *H::PortMessage("/dev/ttyUSB0") + *H::PortMessage("COM3") +
                                                 *H::PortMessage("/dev/serial/by-id/usb-FTDI_\xCF-if00"));
  }
  return ok ? 0 : 1;
}
