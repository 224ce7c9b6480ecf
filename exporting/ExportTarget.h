#pragma once

#include "Result.h"

#include <QString>

// The file an export writes: a temporary file beside the target that takes the target's name only
// when it is complete, so an export that fails or is cancelled leaves no half-written file under
// that name and whatever stood there before stays as it was.
class ExportTarget
{
public:
    explicit ExportTarget(QString target);
    ~ExportTarget(); // removes the temporary file unless it was committed
    ExportTarget(const ExportTarget&) = delete;
    ExportTarget& operator=(const ExportTarget&) = delete;

    // Creates the empty temporary file in the target's folder.
    Status open();
    const QString& partPath() const { return m_part; }
    // Puts the complete file on disk and under the target's name, replacing what was there.
    Status commit();

private:
    Failure failure(const QString& what) const;

    QString m_target;
    QString m_part;
    bool m_committed = false;
};
