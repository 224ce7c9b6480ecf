// The floor of the member window's memory: SQLite alone reading the count and the first page.
//   member_window_memory_floor FOLDER
#include "RawSqlite.h"
#include "ResidentSet.h"

#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc < 2)
        return 2;
    RawSqlite::Connection db(std::string(argv[1]) + "/hd.db");
    RawSqlite::Statement total(db, "SELECT n FROM user_total LIMIT 1");
    total.next();
    RawSqlite::Statement page(db, std::string("SELECT ") + RawSqlite::kColumns +
                                      " FROM user ORDER BY id DESC LIMIT 10 OFFSET 0");
    std::vector<RawSqlite::Row> rows;
    while (page.next())
        rows.push_back(RawSqlite::readRow(page));
    const ResidentSet rss = ResidentSet::read();
    rss.print(rss.peakKb);
    return rows.empty() && total.integer(0) > 0 ? 1 : 0;
}
