#pragma once

#include "Result.h"

#include <QString>
#include <QStringList>

class QImage;

// The photos the camera window takes, held as JPEG files in a hidden folder of the program
// folder until a save copies them into "照片". This run's files go when they are released and
// when the program ends; files that outlive their program are removed at the next start.
namespace CaptureFiles {

QString folder();
// Writes the photo as a new JPEG in folder(): the whole file, or none and the reason.
Result<QString> save(const QImage& photo);
// A file this run took and has not released yet.
bool isHeld(const QString& path);
// Removes this run's files except `kept`, the one the member window still holds.
void releaseAllBut(const QString& kept);
// Removes every file of folder(); only while no other copy of the program runs. Answers the
// files that could not be removed.
QStringList removeLeftovers();

} // namespace CaptureFiles
