#pragma once

#include "Result.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

class Database;
class StagedPhoto;

// A note beside the store of a save in hand: the row it writes and the photo files it moves. It
// is written before the photo goes in place and removed once the row is committed or everything
// is back as it was, so a note that outlives its program names a save the program did not live
// to finish.
class SaveJournal
{
public:
    // `retired` are the row's former photo files, deleted once the row is committed.
    static Result<SaveJournal> write(const Database& db, qint64 rowId, const QVariantList& columns,
                                     const StagedPhoto& photo, const QStringList& retired);

    SaveJournal(SaveJournal&& other) noexcept;
    SaveJournal& operator=(SaveJournal&&) = delete;
    SaveJournal(const SaveJournal&) = delete;
    ~SaveJournal();

    // A note of a delete in hand: once its row is gone, the photo files no row names go too.
    static Result<SaveJournal> writeRemoval(const Database& db, qint64 rowId,
                                            const QStringList& photos);

    // What start-up found and did.
    struct Recovery
    {
        int finished = 0;  // saves whose row was committed: their old photo files went
        int undone = 0;    // saves whose row never arrived: their photo files went back
        int leftovers = 0; // temporary files of the program removed
        QStringList problems;
    };

    // Finishes or undoes every save noted beside the store, then removes the program's temporary
    // files from `folders`. Only while no other copy of the program runs: their saves in hand
    // look just like unfinished ones.
    static Recovery recover(const Database& db, const QStringList& folders);

private:
    explicit SaveJournal(QString file) : m_file(std::move(file)) {}
    QString m_file;
};
