#pragma once

#include "Result.h"

#include <QImage>
#include <QSize>
#include <QString>

// Files of the program folder: the two photo folders, photo copies and picture reading.
namespace PhotoFiles {

// Creates "模版照片" and then "照片" where no file or folder of that name exists.
Status prepareFolders();
bool exists(const QString& path);
bool defaultPhotoExists();

// The photo file of a member: "照片" + name + "-" + telephone + ".jpg". Characters that are not
// allowed in file names or that would leave the folder are replaced with '_'.
QString memberPhotoPath(const QString& name, const QString& telephone);
QString safeFileName(const QString& name);

// Copies byte for byte through a temporary file in the target's folder, then renames it over the
// target, so the target is either the old file or the whole new one.
Status copyAtomically(const QString& from, const QString& to);

// Every temporary file the program makes beside a photo starts with this; a file of that name
// that outlives its program is left over from a crash.
extern const QString kTemporaryPrefix;
// Creates an empty file "<prefix><tag>-XXXXXX" in the folder of `target`; returns its path.
Result<QString> temporaryBeside(const QString& target, const QString& tag);
// Renames over an existing file in one step.
bool renameOver(const QString& from, const QString& to);

// Reads a picture with its EXIF rotation applied and Qt's allocation limit in force. With a
// valid `fitInto`, a larger picture is decoded at the size that fits it, proportions kept, so a
// camera's 50-megapixel photo shows without holding every pixel.
Result<QImage> readPicture(const QString& path, QSize fitInto = {});

// A file directly inside "照片".
bool isInPhotoFolder(const QString& path);
// A file inside "照片" that exists but is not a readable picture.
bool isUnreadablePhoto(const QString& path);
// The folder where unreadable photos are kept instead of being deleted.
QString setAsideFolder();
// Moves a photo into setAsideFolder() under a name no other file there has; returns its path.
Result<QString> setAside(const QString& path);
// Undoes setAside().
bool moveBack(const QString& setAsidePath, const QString& originalPath);

} // namespace PhotoFiles
