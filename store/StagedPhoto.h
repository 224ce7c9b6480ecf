#pragma once

#include "Result.h"

#include <QString>

// A photo on its way to a member's file name. The picture is checked and copied to a temporary
// file beside the target first; install() then puts it in place while keeping whatever stood
// there, so that a failed save can put everything back.
class StagedPhoto
{
public:
    // Copies `source` next to `target`. Fails, leaving no file behind, when the source is missing
    // or not a picture, or the target's folder cannot be written.
    static Result<StagedPhoto> stage(const QString& source, const QString& target);

    StagedPhoto(StagedPhoto&& other) noexcept;
    StagedPhoto& operator=(StagedPhoto&&) = delete;
    StagedPhoto(const StagedPhoto&) = delete;
    ~StagedPhoto();

    const QString& target() const { return m_target; }
    const QString& staged() const { return m_staged; }
    // Where install() moves a file standing at the target, and undo() takes it back from.
    const QString& backup() const { return m_backup; }

    // Moves an existing target aside and the staged copy into place.
    Status install();
    // Restores the state before stage(): the old target back, the copy gone.
    void undo();
    // Makes the installed photo final and forgets the old target.
    void keep();

private:
    StagedPhoto(QString target, QString staged, QString backup)
        : m_target(std::move(target)), m_staged(std::move(staged)), m_backup(std::move(backup))
    {}

    QString m_target;
    QString m_staged;
    QString m_backup;
    bool m_movedAside = false;
    bool m_installed = false;
    bool m_done = false;
};
