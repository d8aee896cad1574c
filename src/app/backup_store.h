// The desktop program keeps its backups in the folder store it shares with
// vemtaro-cli (shell/backup_folder_store.h), under the names it has always used.
#pragma once

#include "shell/backup_folder_store.h"

namespace vemtaro::app {

using shell::BackupFolderStore;
using shell::KeptCopy;
namespace backup_store_texts = shell::backup_store_texts;

}  // namespace vemtaro::app
