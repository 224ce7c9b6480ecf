#pragma once

#include "RawSqlite.h"

#include <memory>
#include <string>

// The least an add, edit or delete can do and still be safe: the program's statements through
// SQLite's C interface on one kept connection, and the photo written to a temporary file, flushed
// to disk and renamed into place with plain system calls. After each change the count and the
// first page are read again, as the window shows them.
class RecordFloor
{
public:
    RecordFloor(); // over the store in the program folder
    ~RecordFloor();

    // values: name, gender, age, telephone, QQ, e-mail, address, photo (ignored: made here).
    void add(const RawSqlite::Row& member);
    void edit(const RawSqlite::Row& member); // member.values[7] is the current photo
    void remove(std::int64_t id);

    RawSqlite::Row newest();

private:
    std::string photoPath(const RawSqlite::Row& member) const;
    std::string stagePhoto(const std::string& source, const std::string& target) const;
    void bindColumns(RawSqlite::Statement& statement, const RawSqlite::Row& member,
                     const std::string& photo) const;
    void reload();

    std::string m_photoFolder;
    std::string m_defaultPhoto;
    std::unique_ptr<RawSqlite::Connection> m_db;
    struct Statements;
    std::unique_ptr<Statements> m_statements;
};
