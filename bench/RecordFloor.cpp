#include "RecordFloor.h"

#include "ProgramFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
[[noreturn]] void fail(const std::string& what)
{
    std::perror(what.c_str());
    std::exit(1);
}

std::string readWhole(const std::string& path)
{
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(path);
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, size_t(n));
    ::close(fd);
    return bytes;
}
} // namespace

struct RecordFloor::Statements
{
    explicit Statements(const RawSqlite::Connection& db)
        : phoneCount(db, "SELECT count(*) FROM user WHERE dianhua = ?"),
          phoneHolders(db, "SELECT id FROM user WHERE dianhua = ? LIMIT 2"),
          insert(db, "INSERT INTO user (xingming, xingbie, nianling, dianhua, qq, youxiang, dizhi, "
                     "zhaopian) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
          update(db,
                 "UPDATE user SET xingming = ?, xingbie = ?, nianling = ?, dianhua = ?, qq = ?, "
                 "youxiang = ?, dizhi = ?, zhaopian = ? WHERE id = ?"),
          storedPhoto(db, "SELECT zhaopian FROM user WHERE id = ?"),
          remove(db, "DELETE FROM user WHERE id = ?"),
          total(db, "SELECT n FROM user_total LIMIT 1"),
          firstPage(db, std::string("SELECT ") + RawSqlite::kColumns +
                            " FROM user ORDER BY id DESC LIMIT 10 OFFSET 0"),
          begin(db, "BEGIN IMMEDIATE"), commit(db, "COMMIT")
    {}
    RawSqlite::Statement phoneCount, phoneHolders, insert, update, storedPhoto, remove, total,
        firstPage, begin, commit;
};

RecordFloor::RecordFloor()
    : m_photoFolder(ProgramFolder::photoFolder().toStdString()),
      m_defaultPhoto(ProgramFolder::defaultPhoto().toStdString()),
      m_db(std::make_unique<RawSqlite::Connection>(ProgramFolder::databaseFile().toStdString())),
      m_statements(std::make_unique<Statements>(*m_db))
{}

RecordFloor::~RecordFloor()
{
    m_statements.reset(); // statements go before their connection
    m_db.reset();
}

std::string RecordFloor::photoPath(const RawSqlite::Row& m) const
{
    return m_photoFolder + "/" + m.values[0] + "-" + m.values[3] + ".jpg";
}

// Written beside the target and flushed, so that the rename leaves a whole file or none.
std::string RecordFloor::stagePhoto(const std::string& source, const std::string& target) const
{
    const std::string bytes = readWhole(source);
    std::string staged = target + ".XXXXXX";
    const int fd = ::mkstemp(staged.data());
    if (fd < 0)
        fail(staged);
    if (::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()) || ::fdatasync(fd) != 0)
        fail(staged);
    ::close(fd);
    return staged;
}

void RecordFloor::bindColumns(RawSqlite::Statement& statement, const RawSqlite::Row& m,
                              const std::string& photo) const
{
    for (int i = 0; i < 7; ++i)
        statement.bind(i + 1, m.values[i]);
    statement.bind(8, photo);
}

void RecordFloor::reload()
{
    Statements& s = *m_statements;
    s.total.reset().next();
    std::int64_t count = s.total.integer(0);
    s.firstPage.reset();
    std::vector<RawSqlite::Row> rows;
    while (s.firstPage.next())
        rows.push_back(RawSqlite::readRow(s.firstPage));
    if (count < std::int64_t(rows.size()))
        fail("count");
}

void RecordFloor::add(const RawSqlite::Row& m)
{
    Statements& s = *m_statements;
    s.phoneCount.reset().bind(1, m.values[3]).next();
    if (s.phoneCount.integer(0) != 0)
        fail("telephone taken");
    const std::string photo = photoPath(m);
    const std::string staged = stagePhoto(m_defaultPhoto, photo);
    s.begin.reset().run();
    bindColumns(s.insert.reset(), m, photo);
    s.insert.run();
    if (::rename(staged.c_str(), photo.c_str()) != 0)
        fail(photo);
    s.commit.reset().run();
    reload();
}

void RecordFloor::edit(const RawSqlite::Row& m)
{
    Statements& s = *m_statements;
    s.phoneHolders.reset().bind(1, m.values[3]);
    while (s.phoneHolders.next())
        if (s.phoneHolders.integer(0) != m.id)
            fail("telephone taken");
    const std::string oldPhoto = m.values[7];
    const std::string photo = photoPath(m);
    const std::string staged = stagePhoto(oldPhoto, photo);
    s.begin.reset().run();
    bindColumns(s.update.reset(), m, photo);
    s.update.bind(9, m.id).run();
    if (::rename(staged.c_str(), photo.c_str()) != 0)
        fail(photo);
    s.commit.reset().run();
    if (oldPhoto != photo)
        ::unlink(oldPhoto.c_str());
    reload();
}

void RecordFloor::remove(std::int64_t id)
{
    Statements& s = *m_statements;
    s.storedPhoto.reset().bind(1, id);
    const std::string photo =
        s.storedPhoto.next() ? std::string(s.storedPhoto.text(0)) : std::string();
    s.remove.reset().bind(1, id).run();
    if (!photo.empty())
        ::unlink(photo.c_str());
    reload();
}

RawSqlite::Row RecordFloor::newest()
{
    Statements& s = *m_statements;
    s.firstPage.reset();
    if (!s.firstPage.next())
        fail("empty store");
    RawSqlite::Row row = RawSqlite::readRow(s.firstPage);
    s.firstPage.reset();
    return row;
}
