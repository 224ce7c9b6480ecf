#pragma once

#include "Result.h"

#include <QString>

// The folder everything lives in: the one --data-dir names, else the executable's folder when it
// holds a store (a portable folder), else the user's data folder. Every path of the program is
// this folder joined with a fixed name.
namespace ProgramFolder {

void setRoot(const QString& folder);
QString root();

// The folder to use when none is named.
QString defaultRoot(const QString& executableFolder, const QString& userFolder);
// Sets the root to `named`, which must be a folder, or when it is empty to the default folder,
// made when it is the user's data folder and missing. The failure says why.
Status useFolder(const QString& named);

QString join(const QString& name);
QString databaseFile();
QString photoFolder();
QString templateFolder();
QString defaultPhoto();

extern const QString kDatabaseName;
extern const QString kPhotoFolderName;
extern const QString kTemplateFolderName;
extern const QString kDefaultPhotoName;

} // namespace ProgramFolder
