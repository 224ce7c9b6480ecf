#pragma once

#include <QString>

// The folder everything lives in: the executable's folder unless --data-dir names another.
// Every path of the program is this folder joined with a fixed name.
namespace ProgramFolder {

void setRoot(const QString& folder);
QString root();

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
