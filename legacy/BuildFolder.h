#pragma once

#include "Result.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The store and the photo folders of an import, built in a hidden folder inside the target and
// moved into place at the end, so that the target shows all of them or none. A build folder
// left by an import that was killed is removed by the next import into that target.
class BuildFolder
{
public:
    // Fails, changing nothing, when the target holds a store, a photo folder that is not an
    // empty folder, or another import in progress. Makes the target when it is missing.
    static Result<std::unique_ptr<BuildFolder>> create(const QString& target);
    // Removes whatever was not moved into place, and the target when this made it for nothing.
    ~BuildFolder();
    BuildFolder(const BuildFolder&) = delete;
    BuildFolder& operator=(const BuildFolder&) = delete;

    // A path inside the build folder.
    QString path(const QString& name) const;
    // Moves the photo folders, then the store, into the target; undoes the moves it made when a
    // later one fails.
    Status moveIntoPlace();

private:
    explicit BuildFolder(QString target) : m_target(std::move(target)) {}
    Status prepare();

    QString m_target;
    QStringList m_madeFolders;  // the target and any missing folders above it, deepest first
    QStringList m_emptyFolders; // photo folders the target already had, empty
    std::unique_ptr<QTemporaryDir> m_build;
    int m_lock = -1;
    bool m_moved = false;
};
