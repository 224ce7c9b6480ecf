#pragma once

#include <QString>

// Every running copy of the program holds this lock on the program folder, shared. Tidying up
// after a crash takes it alone first, so it never touches the files of a save that another copy
// has in hand.
class ProgramLock
{
public:
    // Takes the lock alone if no other copy holds it, otherwise shared, waiting for a copy that
    // is tidying up. Holds nothing when the folder cannot be written.
    explicit ProgramLock(const QString& folder);
    ProgramLock(const ProgramLock&) = delete;
    ProgramLock& operator=(const ProgramLock&) = delete;
    ~ProgramLock();

    bool isAlone() const { return m_alone; }
    // Lets other copies start once the tidying is done.
    void share();

private:
    int m_fd = -1;
    bool m_alone = false;
};
