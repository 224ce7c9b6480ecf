#pragma once

#include "Result.h"

#include <QString>

#include <functional>

class QObject;

// How a photo the camera window took reaches the member window without either knowing the
// other: the member window takes photos while it is loaded.
namespace PhotoHandover {

using Receiver = std::function<Status(const QString& photoFile)>;

// `owner` takes photos until it is destroyed or another owner takes over.
void setReceiver(QObject* owner, Receiver receiver);
bool hasReceiver();
// Gives the file to the receiver; fails when there is none or it refuses the file.
Status handOver(const QString& photoFile);

} // namespace PhotoHandover
