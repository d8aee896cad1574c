// An inspection of a settings file as one JSON document.
#pragma once

#include <QByteArray>

#include "listing/inspect.h"

namespace vemtaro::cli {

// {"firmware": int, "checksum": string, "settings": {control name: value},
//  "alarms": [{name, time, on, relays}], "tree1": [{name, relays, phones, sms}],
//  "tree2": [{name, relays, phones, sms, and max or min}]}. Texts are strings,
// numbers ints, on/off states bools, check groups arrays of bools; a value that
// did not decode is {"invalid": true, "offset": N}. UTF-8, indented.
QByteArray InspectionJson(const Inspection& inspection);

}  // namespace vemtaro::cli
