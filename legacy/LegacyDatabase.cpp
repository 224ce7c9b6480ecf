#include "LegacyDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mdbtools.h>

#include <algorithm>

struct LegacyHandle
{
    MdbHandle* mdb;
    explicit LegacyHandle(MdbHandle* handle) : mdb(handle) {}
    ~LegacyHandle() { mdb_close(mdb); }
    LegacyHandle(const LegacyHandle&) = delete;
    LegacyHandle& operator=(const LegacyHandle&) = delete;
};

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Every Jet file starts so; Access 2007 and later files say "Standard ACE DB" instead.
const QByteArray kJetSignature = QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20);

// The header holds the database password masked with the whole days of the creation date; an
// empty password leaves the mask alone. libmdb has already decoded the header into pg_buf.
bool hasPassword(MdbHandle* mdb)
{
    if (mdb->f->jet_version != MDB_VER_JET4)
        return false;
    constexpr int kPassword = 0x42, kPasswordBytes = 40, kCreated = 0x72;
    const auto mask =
        static_cast<quint32>(static_cast<qint64>(mdb_get_double(mdb->pg_buf, kCreated)));
    for (int i = 0; i < kPasswordBytes; ++i)
        if ((mdb->pg_buf[kPassword + i] ^ (mask >> (8 * (i % 4)))) & 0xff)
            return true;
    return false;
}

// libmdb stops quietly at a page it cannot read, so a cut-off catalog looks like a short one:
// count its rows against what the catalog table says it holds. It always lies on page 2.
bool catalogIsWhole(MdbHandle* mdb)
{
    if (!mdb_read_catalog(mdb, MDB_ANY))
        return false;
    MdbCatalogEntry catalog{};
    catalog.mdb = mdb;
    qstrcpy(catalog.object_name, "MSysObjects");
    catalog.object_type = MDB_TABLE;
    catalog.table_pg = 2;
    MdbTableDef* table = mdb_read_table(&catalog);
    if (!table)
        return false;
    const bool whole = table->num_rows == mdb->num_catalog;
    mdb_free_tabledef(table);
    return whole;
}

} // namespace

namespace LegacyMessages {
QString damaged(const QString& file)
{
    return QStringLiteral("文件 %1 不完整或已损坏（可能被截断）").arg(shown(file));
}
} // namespace LegacyMessages

Result<std::unique_ptr<LegacyDatabase>> LegacyDatabase::open(const QString& file)
{
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly))
        return Failure{QStringLiteral("无法读取文件 %1：%2").arg(shown(file), raw.errorString())};
    if (raw.read(kJetSignature.size()) != kJetSignature)
        return Failure{QStringLiteral("文件 %1 不是 Access（Jet）数据库").arg(shown(file))};
    const qint64 size = raw.size();
    raw.close();

    MdbHandle* mdb = mdb_open(QFile::encodeName(file).constData(), MDB_NOFLAGS);
    if (!mdb)
        return Failure{LegacyMessages::damaged(file)};
    std::unique_ptr<LegacyDatabase> db(
        new LegacyDatabase(std::unique_ptr<LegacyHandle>(new LegacyHandle(mdb)), file));
    if (hasPassword(mdb))
        return Failure{QStringLiteral("文件 %1 设有数据库密码，请先在 Access 中撤销密码再导入")
                           .arg(shown(file))};
    if (size < mdb->fmt->pg_size || size % mdb->fmt->pg_size != 0 || !catalogIsWhole(mdb))
        return Failure{LegacyMessages::damaged(file)};
    return db;
}

LegacyDatabase::LegacyDatabase(std::unique_ptr<LegacyHandle> mdb, QString file)
    : m_mdb(std::move(mdb)), m_file(std::move(file))
{}

LegacyDatabase::~LegacyDatabase() = default;

Result<std::unique_ptr<LegacyTable>> LegacyDatabase::table(const QString& name,
                                                           const QStringList& columns) const
{
    MdbCatalogEntry* entry = nullptr;
    for (guint i = 0; i < m_mdb->mdb->catalog->len && !entry; ++i) {
        auto* candidate = static_cast<MdbCatalogEntry*>(g_ptr_array_index(m_mdb->mdb->catalog, i));
        if (candidate->object_type == MDB_TABLE &&
            QString::fromUtf8(candidate->object_name).compare(name, Qt::CaseInsensitive) == 0)
            entry = candidate;
    }
    if (!entry)
        return Failure{QStringLiteral("文件 %1 中没有数据表 %2").arg(shown(m_file), name)};
    MdbTableDef* def = mdb_read_table(entry);
    if (!def)
        return Failure{LegacyMessages::damaged(m_file)};
    std::unique_ptr<LegacyTable> table(new LegacyTable(def, m_file));
    if (!mdb_read_columns(def))
        return Failure{LegacyMessages::damaged(m_file)};

    QStringList missing;
    for (const QString& wanted : columns) {
        int found = -1;
        for (guint i = 0; i < def->num_cols && found < 0; ++i) {
            auto* column = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
            if (QString::fromUtf8(column->name).compare(wanted, Qt::CaseInsensitive) == 0)
                found = int(i);
        }
        if (found < 0)
            missing << wanted;
        table->m_columns.push_back(found);
    }
    if (!missing.isEmpty())
        return Failure{QStringLiteral("文件 %1 的数据表 %2 中缺少列 %3")
                           .arg(shown(m_file), name, missing.join(QStringLiteral("、")))};

    table->m_values.assign(columns.size(), std::vector<char>(m_mdb->mdb->bind_size));
    table->m_lengths.assign(columns.size(), 0);
    for (size_t i = 0; i < table->m_columns.size(); ++i)
        if (mdb_bind_column(def, table->m_columns[i] + 1, table->m_values[i].data(),
                            &table->m_lengths[i]) == -1)
            return Failure{LegacyMessages::damaged(m_file)};
    mdb_rewind_table(def);
    return table;
}

LegacyTable::~LegacyTable()
{
    mdb_free_tabledef(m_table);
}

qint64 LegacyTable::rowCount() const
{
    return m_table->num_rows;
}

bool LegacyTable::next(QStringList& values)
{
    if (!mdb_fetch_row(m_table))
        return false;
    ++m_read;
    values.resize(qsizetype(m_values.size()));
    for (size_t i = 0; i < m_values.size(); ++i) {
        const int length = std::clamp(m_lengths[i], 0, int(m_values[i].size()));
        values[qsizetype(i)] = QString::fromUtf8(m_values[i].data(), length);
    }
    return true;
}

Status LegacyTable::finished() const
{
    if (m_read < rowCount())
        return Failure{LegacyMessages::damaged(m_file)};
    return {};
}
