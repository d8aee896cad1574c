#include "ports_output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vemtaro::cli {

std::string PortsText(const QList<port::PortEntry>& ports) {
  std::string text;
  for (const port::PortEntry& entry : ports) text += port::PortCaption(entry).toStdString() + "\n";
  return text;
}

QByteArray PortsJson(const QList<port::PortEntry>& ports) {
  QJsonArray list;
  for (const port::PortEntry& entry : ports) {
    list.append(QJsonObject{{"name", entry.name},
                            {"description", entry.description},
                            {"manufacturer", entry.manufacturer},
                            {"serialNumber", entry.serialNumber},
                            {"caption", port::PortCaption(entry)}});
  }
  return QJsonDocument(list).toJson(QJsonDocument::Indented);
}

}  // namespace vemtaro::cli
