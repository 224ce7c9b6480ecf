// Exporting member listings: the bytes of a CSV file, an Excel file read back from its sheets,
// talvio-admin export, exports that fail or are cancelled, and the grid's menu. Every case works
// on one store of 303 members, made once.

#include "MemberExport.h"
#include "MemberWorld.h"
#include "XlsxWriter.h"

// After the record fixture, whose Snapshot it would make ambiguous.
#include "FileChecks.h"

#include <QMenu>
#include <QProcess>

using namespace MemberExport;
using namespace MemberTests;

namespace {

const QStringList kCaptions = u"ID 姓名 性别 年龄 电话 QQ 邮箱 地址 照片"_s.split(u' ');

enum class Fault { None, Cancel, NoFolder, OtherFileType };

// The rows of every sheet in turn, each cell as Excel shows it ("_xHHHH_" stands for one
// character); a cell that is not plain text reads as "<not text>".
QList<QStringList> readSheets(const QString& xlsx)
{
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet*.xml"_s});
    unzip.waitForFinished();
    static const QRegularExpression cell(
        uR"(<c r="([A-Z])\d+"[^>]*?( t="inlineStr")?>(<is><t[^>]*>([^<]*))?)"_s),
        hex(u"_x([0-9A-F]{4})_"_s);
    QList<QStringList> rows;
    for (const QString& row : QString::fromUtf8(unzip.readAll()).split(u"<row "_s).mid(1)) {
        rows.append(QStringList());
        for (const QRegularExpressionMatch& hit : cell.globalMatch(row)) {
            QString text = hit.hasCaptured(2) ? hit.captured(4) : u"<not text>"_s;
            for (auto x = hex.match(text); x.hasMatch(); x = hex.match(text, x.capturedStart() + 1))
                text.replace(x.capturedStart(), 7, QChar(x.captured(1).toUShort(nullptr, 16)));
            rows.last().resize(hit.captured(1).front().unicode() - 'A'); // empty cells are left out
            rows.last() << text;
        }
    }
    return rows;
}

} // namespace

class TestExport : public QObject, MemberWorld
{
    Q_OBJECT

    QList<qint64> added; // rows a case adds to the store, removed after it

    QString out(const QString& name = {}) const { return folder->path(u"导出/"_s + name); }
    QStringList entries() const { return QDir(out()).entryList(QDir::Files | QDir::Hidden); }
    // talvio-admin export: its exit code and the first line it said.
    QString viaAdmin(const QStringList& args)
    {
        QProcess admin;
        admin.start(QStringLiteral(TALVIO_ADMIN), QStringList{u"export"_s, folder->root()} + args);
        admin.waitForFinished();
        return QString::number(admin.exitCode()) + u' ' +
               QString::fromUtf8(admin.readAllStandardError()).section(u'\n', 0, 0);
    }
    // The captions and rows an export of the store writes: the full list newest first, or the
    // members of one gender in id order, as a query lists them.
    QList<QStringList> expected(bool withId, bool withPhoto, const QString& gender = {}) const
    {
        QList<QStringList> rows{kCaptions};
        for (const QStringList& row : tableRows(*folder))
            if (gender.isEmpty() || row.at(2) == gender)
                rows.insert(gender.isEmpty() ? 1 : rows.size(), row);
        for (QStringList& row : rows)
            row = row.mid(!withId, 9 - !withId - !withPhoto);
        return rows;
    }

private slots:
    // More members than a cancelled export writes before it looks.
    void initTestCase()
    {
        prepareApplication();
        begin();
        fill(300);
    }
    void init() { QVERIFY(QDir(out()).removeRecursively() && QDir().mkpath(out())); }
    void cleanup() { removeRows(*folder, std::exchange(added, {})); }

    void valueSurvivesBothFormats_data()
    {
        // Columns: value, csvField
        dataColumns<QString, QByteArray>();
        QTest::newRow("comma") << u"上海,浦东"_s << "\"上海,浦东\""_ba;
        QTest::newRow("quotes") << u"他说\"好\""_s << "\"他说\"\"好\"\"\""_ba;
        QTest::newRow("line feed") << u"一\n二"_s << "\"一\n二\""_ba;
        QTest::newRow("CR") << u"一\r二"_s << "\"一\r二\""_ba;
        QTest::newRow("= and quotes") << u"=HYPERLINK(\"x\")"_s << "\"'=HYPERLINK(\"\"x\"\")\""_ba;
        QTest::newRow("+") << u"+86 138"_s << "'+86 138"_ba;
        QTest::newRow("-") << u"-1"_s << "'-1"_ba;
        QTest::newRow("@") << u"@SUM(A1)"_s << "'@SUM(A1)"_ba;
        QTest::newRow("blank before =") << u" =1"_s << " =1"_ba;
        QTest::newRow("escape-like run") << u"_x0041_"_s << "_x0041_"_ba;
    }
    void valueSurvivesBothFormats()
    {
        const auto [value, csvField] = dataRow<QString, QByteArray>();
        Member m = person(value, u"123"_s);
        added << (m.id = insertRow(*folder, m));
        const Database db = folder->open();
        const Listing only = Listing::matching(u"user.id = ?"_s, {m.id});
        const QString csv = out(u"a.csv"_s), xlsx = out(u"a.xlsx"_s);
        QVERIFY(run(db, only, csv, Format::Csv) && run(db, only, xlsx, Format::Excel));
        QCOMPARE(bytesOf(csv),
                 "\xEF\xBB\xBF姓名,性别,年龄,电话,QQ,邮箱,地址\r\n"_ba + csvField +
                     ",女,28,123,88886666,member@example.com,南京市鼓楼区中山路1号\r\n");
        QCOMPARE(readSheets(xlsx), (QList<QStringList>{kCaptions.mid(1, 7), rowOf(m).mid(1, 7)}));
    }

    void adminWritesEveryMemberNewestFirst()
    {
        const QString path = out(u"a.XLSX"_s);
        const QList<QStringList> rows = expected(true, true);
        // The list it replaces keeps its permissions, which may share it with others.
        writeFile(path, "the list of last week");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        const QFile::Permissions shared = QFile::permissions(path);
        QCOMPARE(viaAdmin({path, u"--with-id"_s, u"--with-photo"_s}),
                 u"0 已导出 %1 名会员到 %2"_s.arg(rows.size() - 1).arg(path));
        QCOMPARE(readSheets(path), rows);
        QCOMPARE(entries(), QStringList{u"a.XLSX"_s});
        QCOMPARE(QFile::permissions(path), shared);
    }

    void excelGoesOnInFurtherSheets()
    {
        const QString path = out(u"x.xlsx"_s);
        XlsxWriter writer(2);
        QVERIFY(writer.begin(path, {u"甲"_s}));
        for (const char* cell : {"0", "1", "2", "3", "4"})
            QVERIFY(writer.writeRow({cell}));
        QVERIFY(writer.finish());
        QCOMPARE(readSheets(path),
                 (QList<QStringList>{{"甲"}, {"0"}, {"1"}, {"甲"}, {"2"}, {"3"}, {"甲"}, {"4"}}));
    }

    void failedExportKeepsTheTarget_data()
    {
        // Columns: fault, name, said (how the error starts; %1 stands for the file)
        dataColumns<Fault, QString, QString>();
        QTest::newRow("cancelled") << Fault::Cancel << u"a.csv"_s << u"导出已取消，未写入 %1"_s;
        QTest::newRow("folder is a file") << Fault::NoFolder << u"a.csv"_s << u"无法写入 %1："_s;
        QTest::newRow("cell too long for excel")
            << Fault::None << u"a.xlsx"_s
            << u"无法写入 %1：第 1 名会员（长地址）：“地址”一栏有 32768 个字符"_s;
        QTest::newRow("talvio-admin, other file type")
            << Fault::OtherFileType << u"a.txt"_s
            << u"1 无法导出到 %1：只能导出为 Excel 文件（.xlsx）或 CSV 文件（.csv）"_s;
    }
    void failedExportKeepsTheTarget()
    {
        const auto [fault, name, said] = dataRow<Fault, QString, QString>();
        // Newest, so an Excel export meets it first; a CSV cell has no limit.
        Member longOne = person(u"长地址"_s, u"1"_s);
        longOne.dizhi = QString(XlsxWriter::kCellLimit + 1, u'长');
        added << insertRow(*folder, longOne);
        const QString target = out((fault == Fault::NoFolder ? u"file/"_s : QString()) + name);
        writeFile(fault == Fault::NoFolder ? out(u"file"_s) : target, "the list of last week");
        const QStringList before = entries();
        const QByteArray kept = bytesOf(target);
        const std::atomic<bool> cancel{fault == Fault::Cancel};
        const QStringList openFiles = QDir(u"/proc/self/fd"_s).entryList();
        const QString error =
            fault == Fault::OtherFileType
                ? viaAdmin({target})
                : run(folder->open(), {}, target, *formatFor(target), {}, {}, &cancel).error();
        QVERIFY2(error.startsWith(withPath(said, target)), qPrintable(error));
        QCOMPARE(entries(), before);
        QCOMPARE(bytesOf(target), kept);
        QCOMPARE(QDir(u"/proc/self/fd"_s).entryList(), openFiles); // no deleted file held open
    }

    void gridMenuExportsTheListingShown()
    {
        const Window w = openWindow();
        auto* menu = w.form->findChild<QMenu*>(u"DataGrid1Menu"_s);
        QVERIFY(w.ok() && menu);
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(30, 30));
        QApplication::sendEvent(w.grid->viewport(), &click);
        QTRY_VERIFY(menu->isVisible());
        const QString all = out(u"a.xlsx"_s), part = out(u"b.xlsx"_s), csv = out(u"b.csv"_s);
        dialogs->saveFiles << all << part << QString() << csv << folder->path(u"hd.db/x.csv"_s);
        for (auto action : {"exportWithId", "exportExcel", "exportWithId", "exportWithPhoto"})
            menu->findChild<QAction*>(action)->trigger();
        w.Combo1->setEditText(u"女"_s);
        w.click("Command6");
        // The CSV exports: cancelled in the dialog, written, refused.
        for (auto action : {"exportExcel", "exportCsv", "exportCsv", "exportCsv"})
            menu->findChild<QAction*>(action)->trigger();
        const auto everyone = expected(true, false), found = expected(false, true, u"女"_s);
        QCOMPARE(readSheets(all), everyone);
        QCOMPARE(readSheets(part), found);
        QVERIFY(bytesOf(csv).startsWith("\xEF\xBB\xBF姓名,性别,年龄,电话,QQ,邮箱,地址,照片\r\n") &&
                bytesOf(csv).count("\r\n") == found.size());
        const auto done = [](const QList<QStringList>& rows, const QString& file) {
            return line(u"已导出 %1 名会员到 %2"_s.arg(rows.size() - 1).arg(file), u"导出完成"_s,
                        Dialogs::Icon::Information);
        };
        QCOMPARE(summaries(dialogs->messages()),
                 (QStringList{done(everyone, all), done(found, part), done(found, csv),
                              critical(u"导出失败："_s)}));
        QCOMPARE(entries(), (QStringList{u"a.xlsx"_s, u"b.csv"_s, u"b.xlsx"_s}));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
