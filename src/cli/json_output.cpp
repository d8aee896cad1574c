#include "json_output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace vemtaro::cli {
namespace {

QString Str(const std::string& s) { return QString::fromStdString(s); }

QJsonValue ToJson(const InspectValue& value) {
  if (value.invalidOffset) {
    return QJsonObject{{"invalid", true}, {"offset", static_cast<qint64>(*value.invalidOffset)}};
  }
  struct Visitor {
    QJsonValue operator()(const std::string& s) const { return Str(s); }
    QJsonValue operator()(int n) const { return n; }
    QJsonValue operator()(bool b) const { return b; }
    QJsonValue operator()(const std::vector<bool>& items) const {
      QJsonArray a;
      for (const bool b : items) a.append(b);
      return a;
    }
  };
  return std::visit(Visitor{}, value.value);
}

QJsonArray Reactions(const std::vector<ReactionInspection>& list) {
  QJsonArray out;
  for (const auto& r : list) {
    QJsonObject o{
        {"name", Str(r.name)}, {"relays", ToJson(r.relays)}, {"phones", ToJson(r.phones)}, {"sms", ToJson(r.sms)}};
    if (r.max) o.insert("max", ToJson(*r.max));
    if (r.min) o.insert("min", ToJson(*r.min));
    out.append(o);
  }
  return out;
}

}  // namespace

QByteArray InspectionJson(const Inspection& ins) {
  QJsonObject settings;
  for (const auto& item : ins.settings) settings.insert(Str(item.name), ToJson(item.value));
  QJsonArray alarms;
  for (const auto& a : ins.alarms) {
    alarms.append(QJsonObject{
        {"name", Str(a.name)}, {"time", ToJson(a.time)}, {"on", ToJson(a.on)}, {"relays", ToJson(a.relays)}});
  }
  const QJsonObject root{
      {"firmware", ins.firmware},      {"checksum", QString::fromUtf8(ChecksumStateText(ins.checksum))},
      {"settings", settings},          {"alarms", alarms},
      {"tree1", Reactions(ins.tree1)}, {"tree2", Reactions(ins.tree2)}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace vemtaro::cli
