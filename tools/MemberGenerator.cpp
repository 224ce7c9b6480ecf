#include "MemberGenerator.h"

#include "Database.h"
#include "EngineErrors.h"
#include "MemberTable.h"
#include "Schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace MemberGenerator {

namespace {

const QStringList kSurnames = {
    QStringLiteral("王"),   QStringLiteral("李"),   QStringLiteral("张"), QStringLiteral("刘"),
    QStringLiteral("陈"),   QStringLiteral("杨"),   QStringLiteral("赵"), QStringLiteral("黄"),
    QStringLiteral("周"),   QStringLiteral("吴"),   QStringLiteral("徐"), QStringLiteral("孙"),
    QStringLiteral("欧阳"), QStringLiteral("司马"), QStringLiteral("郭"), QStringLiteral("何")};
const QStringList kGivenNames = {
    QStringLiteral("伟"), QStringLiteral("芳"),   QStringLiteral("娜"),   QStringLiteral("敏"),
    QStringLiteral("静"), QStringLiteral("丽"),   QStringLiteral("强"),   QStringLiteral("磊"),
    QStringLiteral("军"), QStringLiteral("洋"),   QStringLiteral("勇"),   QStringLiteral("艳"),
    QStringLiteral("杰"), QStringLiteral("娟"),   QStringLiteral("涛"),   QStringLiteral("明"),
    QStringLiteral("超"), QStringLiteral("秀英"), QStringLiteral("晓东"), QStringLiteral("海燕")};
const QStringList kLatinNames = {
    QStringLiteral("Anna Berg"),  QStringLiteral("Lukas Meyer"), QStringLiteral("Mia Koski"),
    QStringLiteral("Tom O'Neil"), QStringLiteral("Eva Lind"),    QStringLiteral("Jon Park"),
    QStringLiteral("Sara Nyman"), QStringLiteral("Li Wei"),      QStringLiteral("Olli Virta")};
const QStringList kCities = {QStringLiteral("北京市"), QStringLiteral("上海市"),
                             QStringLiteral("广州市"), QStringLiteral("深圳市"),
                             QStringLiteral("杭州市"), QStringLiteral("成都市"),
                             QStringLiteral("武汉市"), QStringLiteral("南京市")};
const QStringList kDistricts = {QStringLiteral("朝阳区"),   QStringLiteral("海淀区"),
                                QStringLiteral("浦东新区"), QStringLiteral("天河区"),
                                QStringLiteral("南山区"),   QStringLiteral("西湖区")};
const QStringList kStreets = {QStringLiteral("人民路"),   QStringLiteral("解放路"),
                              QStringLiteral("建设大街"), QStringLiteral("中山北路"),
                              QStringLiteral("文化路"),   QStringLiteral("长江路")};
const QStringList kMailHosts = {QStringLiteral("qq.com"), QStringLiteral("163.com"),
                                QStringLiteral("126.com"), QStringLiteral("sina.com"),
                                QStringLiteral("example.com")};

// A cheap, well-mixed hash so neighbouring numbers give unrelated members.
quint64 mix(quint64 x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

const QString& pick(const QStringList& list, quint64 h)
{
    return list.at(qsizetype(h % quint64(list.size())));
}

} // namespace

static Status insertRows(const Database& db, qint64 count, const PhotoWriter& photoFor);

Member make(qint64 number)
{
    const quint64 h = mix(quint64(number));
    Member m;
    if (h % 10 == 0)
        m.xingming = pick(kLatinNames, h >> 8);
    else
        m.xingming = pick(kSurnames, h >> 8) + pick(kGivenNames, h >> 16) +
                     ((h >> 24) % 3 == 0 ? pick(kGivenNames, h >> 28) : QString());
    m.xingbie = (h >> 32) % 2 ? QStringLiteral("男") : QStringLiteral("女");
    m.nianling = QString::number(16 + (h >> 34) % 60);
    // 1 followed by ten digits that encode the number itself: unique for any count we make.
    // Unsigned, so that a number near the largest id wraps instead of overflowing.
    m.dianhua = QStringLiteral("1%1").arg(3000000000ULL + qulonglong(number), 10, 10, QChar(u'0'));
    m.qq = QString::number(10000 + (h >> 20) % 900000000);
    if ((h >> 40) % 7 != 0)
        m.youxiang = QStringLiteral("m%1@%2").arg(number).arg(pick(kMailHosts, h >> 44));
    m.dizhi = pick(kCities, h >> 12) + pick(kDistricts, h >> 18) + pick(kStreets, h >> 26) +
              QStringLiteral("%1号").arg(1 + (h >> 36) % 300);
    if ((h >> 48) % 4 == 0)
        m.dizhi += QStringLiteral("%1栋%2单元%3室")
                       .arg(1 + (h >> 50) % 30)
                       .arg(1 + (h >> 54) % 6)
                       .arg(101 + (h >> 56) % 1800);
    return m;
}

namespace {
// Above this many rows, building the indexes once at the end beats keeping them up row by row.
constexpr qint64 kBulkRows = 20000;
} // namespace

Status insert(const Database& db, qint64 count, const PhotoWriter& photoFor)
{
    const bool bulk = count >= kBulkRows;
    if (bulk) {
        // A larger cache only speeds the load up; without it the load is the same.
        (void)db.run(QStringLiteral("PRAGMA cache_size = -262144"));
        if (Status suspended = Schema::suspendMemberIndexes(db); !suspended)
            return suspended;
    }
    Status inserted = insertRows(db, count, photoFor);
    if (bulk) {
        Status restored = Schema::restoreMemberIndexes(db);
        (void)db.run(QStringLiteral("PRAGMA cache_size = -2000"));
        if (inserted && !restored)
            return restored;
    }
    return inserted;
}

static Status insertRows(const Database& db, qint64 count, const PhotoWriter& photoFor)
{
    if (Status begun = db.begin(); !begun)
        return begun;
    {
        QSqlQuery query(db.connection());
        if (!query.prepare(MemberTable::insertStatement())) {
            const QString why = EngineErrors::describe(query.lastError());
            query = QSqlQuery();
            db.rollback();
            return Failure{why};
        }
        for (qint64 i = 1; i <= count; ++i) {
            Member m = make(i);
            Result<QString> photo = photoFor(m);
            if (!photo) {
                query = QSqlQuery();
                db.rollback();
                return photo.failure();
            }
            m.zhaopian = photo.value();
            for (const QVariant& value : MemberTable::textValues(m))
                query.addBindValue(value);
            if (!query.exec()) {
                const QString why = EngineErrors::describe(query.lastError());
                query = QSqlQuery();
                db.rollback();
                return Failure{db.describe(why)};
            }
        }
    }
    return db.commit();
}

} // namespace MemberGenerator
