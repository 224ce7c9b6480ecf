#pragma once

#include "LegacyImport.h"

class QWidget;

// Runs the import of an older register's folder on a worker thread behind a progress dialog
// whose "取消" stops it; the owner stays drawn meanwhile and comes back when the import ends.
namespace ImportWithProgress {

Result<LegacyImport::Report> run(QWidget* owner, const QString& source, const QString& target);

} // namespace ImportWithProgress
