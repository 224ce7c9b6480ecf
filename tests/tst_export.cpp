// Exporting member listings: the bytes of a CSV file, an Excel file read back from its sheet XML,
// which rows and columns go out, exports that fail or are cancelled, the grid's menu and the
// admin tool's export command.

#include "MemberExport.h"
#include "MemberGenerator.h"
#include "MemberWorld.h"
#include "QueryCondition.h"
#include "XlsxWriter.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

using namespace MemberTests;
using MemberExport::Format;

namespace {

const QStringList kCaptions = {u"ID"_s, u"姓名"_s, u"性别"_s, u"年龄"_s, u"电话"_s,
                               u"QQ"_s, u"邮箱"_s, u"地址"_s, u"照片"_s};
const QByteArray kBom = "\xEF\xBB\xBF";

enum class Fault { Cancel, ReadOnly, ParentIsFile, CellTooLong };

// What Excel shows for a cell's text: "_xHHHH_" stands for one character.
QString decoded(const QString& text)
{
    static const QRegularExpression code(u"_x([0-9A-Fa-f]{4})_"_s);
    QString out;
    qsizetype at = 0;
    for (auto hits = code.globalMatch(text); hits.hasNext();) {
        const QRegularExpressionMatch hit = hits.next();
        out +=
            text.mid(at, hit.capturedStart() - at) + QChar(hit.captured(1).toUShort(nullptr, 16));
        at = hit.capturedEnd();
    }
    return out + text.mid(at);
}

struct Sheet
{
    QList<QStringList> rows;
    bool textOnly = true; // every cell an inline text, no formula anywhere
};

Sheet readSheet(const QString& xlsx, int number = 1)
{
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet%1.xml"_s.arg(number)});
    unzip.waitForFinished();
    QXmlStreamReader xml(unzip.readAllStandardOutput());
    Sheet sheet;
    int column = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"row") {
            sheet.rows.append(QStringList());
        } else if (xml.name() == u"f") {
            sheet.textOnly = false;
        } else if (xml.name() == u"c") {
            sheet.textOnly &= xml.attributes().value(u"t"_s) == u"inlineStr";
            column = 0;
            for (QChar letter : xml.attributes().value(u"r"_s).toString())
                if (letter.isLetter())
                    column = column * 26 + letter.unicode() - 'A' + 1;
            --column;
        } else if (xml.name() == u"t") {
            while (sheet.rows.last().size() < column)
                sheet.rows.last().append(QString());
            sheet.rows.last().append(decoded(xml.readElementText()));
        }
    }
    for (QStringList& row : sheet.rows) // empty cells are not written
        while (row.size() < sheet.rows.first().size())
            row.append(QString());
    return sheet;
}

QList<QStringList> readCsv(const QString& path)
{
    const QByteArray bytes = bytesOf(path);
    if (!bytes.startsWith(kBom))
        return {{u"<no byte-order mark>"_s}};
    const QString text = QString::fromUtf8(bytes.mid(kBom.size()));
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    const auto after = [&](qsizetype i) {
        return i + 1 < text.size() ? text.at(i + 1) : QChar();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == u'"' && after(i) == u'"')
            field += text.at(i++);
        else if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u',')
            row << std::exchange(field, {});
        else if (!quoted && c == u'\r' && after(i) == u'\n' && ++i)
            rows << (row << std::exchange(field, {})), row.clear();
        else
            field += c;
    }
    return rows;
}

QList<QStringList> readBack(const QString& file)
{
    return MemberExport::formatFor(file) == Format::Excel ? readSheet(file).rows : readCsv(file);
}

QStringList pick(const QStringList& row, bool withId, bool withPhoto)
{
    QStringList picked;
    for (qsizetype c = 0; c < row.size(); ++c)
        if ((c != 0 || withId) && (c != 8 || withPhoto))
            picked << row.at(c);
    return picked;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestExport : public QObject, MemberWorld
{
    Q_OBJECT

    QString out() const { return folder->path(u"导出"_s); }
    Result<qint64> exportTo(const QString& file, const Listing& listing = Listing::everyone(),
                            MemberExport::Options options = {})
    {
        Database db = folder->open();
        return MemberExport::run(db, listing, file, *MemberExport::formatFor(file), options);
    }
    // A store of generated members; the window's test makes its own.
    void generate(qint64 count)
    {
        folder->createStore();
        Database db = folder->open();
        QVERIFY(MemberGenerator::insert(db, count, [](const Member& m) {
            return Result<QString>(u"照片/%1.jpg"_s.arg(m.dianhua));
        }));
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init()
    {
        begin();
        QVERIFY(QDir().mkpath(out()));
    }
    void cleanup() { end(); }

    void valueSurvivesBothFormats_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("csvField");
        QTest::newRow("Chinese") << u"张三丰"_s << "张三丰"_ba;
        QTest::newRow("comma") << u"上海,浦东"_s << "\"上海,浦东\""_ba;
        QTest::newRow("quotes") << u"他说\"好\""_s << "\"他说\"\"好\"\"\""_ba;
        QTest::newRow("line feed") << u"一\n二"_s << "\"一\n二\""_ba;
        QTest::newRow("CR") << u"一\r二"_s << "\"一\r二\""_ba;
        QTest::newRow("CR LF") << u"一\r\n二"_s << "\"一\r\n二\""_ba;
        QTest::newRow("apostrophe") << u"O'Neil"_s << "O'Neil"_ba;
        QTest::newRow("= and quotes") << u"=HYPERLINK(\"x\")"_s << "\"'=HYPERLINK(\"\"x\"\")\""_ba;
        QTest::newRow("+") << u"+86 138"_s << "'+86 138"_ba;
        QTest::newRow("-") << u"-1"_s << "'-1"_ba;
        QTest::newRow("@") << u"@SUM(A1)"_s << "'@SUM(A1)"_ba;
        QTest::newRow("blank before =") << u" =1"_s << " =1"_ba;
        QTest::newRow("escape-like run") << u"_x0041_"_s << "_x0041_"_ba;
        QTest::newRow("control character") << u"a\x01b"_s << "a\x01b"_ba;
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void valueSurvivesBothFormats()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, csvField);
        Member m = person(value, u"123"_s);
        m.dizhi = value;
        generate(0);
        insertRow(*folder, m);
        const QString csv = out() + u"/名单.csv"_s, xlsx = out() + u"/名单.xlsx"_s;
        QCOMPARE(exportTo(csv).value(), 1);
        QCOMPARE(bytesOf(csv), kBom + "姓名,性别,年龄,电话,QQ,邮箱,地址\r\n" + csvField +
                                   ",女,28,123,88886666,member@example.com," + csvField + "\r\n");
        QCOMPARE(exportTo(xlsx).value(), 1);
        const Sheet sheet = readSheet(xlsx);
        QCOMPARE(sheet.rows,
                 (QList<QStringList>{pick(kCaptions, false, false), pick(rowOf(m), false, false)}));
        QVERIFY(sheet.textOnly);
    }

    void everyRowInTheListingsOrder_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("query"); // -1 for the full list, else a QueryCondition::Field
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withId");
        QTest::addColumn<bool>("withPhoto");
        using F = QueryCondition::Field;
        QTest::newRow("full list, csv") << u"a.csv"_s << -1 << QString() << false << false;
        QTest::newRow("full list, excel, id and photo")
            << u"a.xlsx"_s << -1 << QString() << true << true;
        QTest::newRow("full list, excel, photo") << u"a.xlsx"_s << -1 << QString() << false << true;
        QTest::newRow("gender, excel")
            << u"a.xlsx"_s << int(F::Gender) << u"女"_s << false << false;
        QTest::newRow("address, csv, id")
            << u"a.csv"_s << int(F::Address) << u"朝阳区"_s << true << false;
    }
    void everyRowInTheListingsOrder()
    {
        QFETCH(QString, file);
        QFETCH(int, query);
        QFETCH(QString, text);
        QFETCH(bool, withId);
        QFETCH(bool, withPhoto);
        generate(23);
        const int column = query == int(QueryCondition::Field::Gender) ? 2 : 7;
        QList<QStringList> expected;
        for (const QStringList& row : tableRows(*folder))
            if (query < 0 || row.at(column).contains(text))
                expected << pick(row, withId, withPhoto);
        if (query < 0)
            std::reverse(expected.begin(), expected.end());
        QVERIFY(expected.size() > 10 || (query >= 0 && expected.size() > 1));
        const Listing listing =
            query < 0 ? Listing::everyone()
                      : QueryCondition::listingFor(QueryCondition::Field(query), text);
        QCOMPARE(exportTo(out() + '/' + file, listing, {withId, withPhoto}).value(),
                 expected.size());
        QCOMPARE(readBack(out() + '/' + file),
                 QList<QStringList>{pick(kCaptions, withId, withPhoto)} + expected);
    }

    void excelGoesOnInFurtherSheets()
    {
        const QString path = out() + u"/x.xlsx"_s;
        QFile(path).open(QIODevice::WriteOnly);
        XlsxWriter writer(2);
        QVERIFY(writer.begin(path, {u"甲"_s, u"乙"_s}));
        for (int i = 0; i < 5; ++i)
            QVERIFY(writer.writeRow({QByteArray::number(i), "x"}));
        QVERIFY(writer.finish());
        const QList<QList<QStringList>> expected = {
            {{u"甲"_s, u"乙"_s}, {u"0"_s, u"x"_s}, {u"1"_s, u"x"_s}},
            {{u"甲"_s, u"乙"_s}, {u"2"_s, u"x"_s}, {u"3"_s, u"x"_s}},
            {{u"甲"_s, u"乙"_s}, {u"4"_s, u"x"_s}},
            {}};
        for (int sheet = 0; sheet < expected.size(); ++sheet)
            QCOMPARE(readSheet(path, sheet + 1).rows, expected.at(sheet));
    }

    void failedExportKeepsTheTarget_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("existing");
        QTest::newRow("cancelled, csv") << Fault::Cancel << u"名单.csv"_s << true;
        QTest::newRow("cancelled, excel") << Fault::Cancel << u"名单.xlsx"_s << false;
        QTest::newRow("read-only folder") << Fault::ReadOnly << u"名单.xlsx"_s << true;
        QTest::newRow("folder is a file") << Fault::ParentIsFile << u"名单.csv"_s << false;
        QTest::newRow("cell too long for excel") << Fault::CellTooLong << u"名单.xlsx"_s << true;
    }
    void failedExportKeepsTheTarget()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, name);
        QFETCH(bool, existing);
        generate(600);
        Member longOne = person(u"长地址"_s, u"1"_s);
        longOne.dizhi.fill(u'长', XlsxWriter::kCellLimit + 1);
        if (fault == Fault::CellTooLong)
            insertRow(*folder, longOne);
        writeFile(out() + u"/file"_s, "not a folder");
        const QString target = out() + (fault == Fault::ParentIsFile ? u"/file/"_s : u"/"_s) + name;
        if (existing)
            writeFile(target, "the list of last week");
        const QStringList before = entries(out());
        const QByteArray kept = bytesOf(target);
        std::optional<ReadOnlyFolder> readOnly;
        if (fault == Fault::ReadOnly && !readOnly.emplace(out()).effective())
            QSKIP("permissions are not enforced for this user");

        std::atomic<bool> cancel{false};
        Database db = folder->open();
        const QStringList openFiles = QDir(u"/proc/self/fd"_s).entryList();
        const Result<qint64> written = MemberExport::run(
            db, Listing::everyone(), target, *MemberExport::formatFor(target), {},
            [&](qint64, qint64) { cancel = fault == Fault::Cancel; }, &cancel);
        QVERIFY(!written);
        QVERIFY2(written.error().startsWith(fault == Fault::Cancel ? u"导出已取消"_s
                                                                   : u"无法写入 "_s + target),
                 qPrintable(written.error()));
        if (fault == Fault::CellTooLong)
            QVERIFY(written.error().contains(u"“地址”一栏有 32768 个字符"_s));
        QCOMPARE(entries(out()), before);
        QCOMPARE(bytesOf(target), kept);
        QCOMPARE(QDir(u"/proc/self/fd"_s).entryList(), openFiles); // no deleted file held open
    }

    void adminTool_data()
    {
        QTest::addColumn<QStringList>("args"); // after "export DIR"; OUT stands for the folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("csv with id")
            << QStringList{u"OUT/a.csv"_s, u"--with-id"_s} << 0 << u"已导出 3 名会员到 OUT/a.csv"_s;
        QTest::newRow("excel with photo") << QStringList{u"OUT/a.XLSX"_s, u"--with-photo"_s} << 0
                                          << u"已导出 3 名会员到 OUT/a.XLSX"_s;
        QTest::newRow("other file type")
            << QStringList{u"OUT/a.txt"_s} << 1
            << u"无法导出到 OUT/a.txt：只能导出为 Excel 文件（.xlsx）或 CSV 文件（.csv）"_s;
        QTest::newRow("unknown option")
            << QStringList{u"OUT/a.csv"_s, u"--with-ids"_s} << 2 << u"usage:"_s;
    }
    void adminTool()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        generate(3);
        args.replaceInStrings(u"OUT"_s, out());
        QProcess admin;
        admin.start(QStringLiteral(TALVIO_ADMIN), QStringList{u"export"_s, folder->root()} + args);
        QVERIFY(admin.waitForFinished());
        QCOMPARE(admin.exitCode(), exitCode);
        QCOMPARE(QString::fromUtf8(admin.readAllStandardError()).section(u'\n', 0, 0),
                 said.replace(u"OUT"_s, out()));
        const bool withId = args.contains(u"--with-id"_s),
                   withPhoto = args.contains(u"--with-photo"_s);
        QList<QStringList> expected;
        for (const QStringList& row : tableRows(*folder))
            expected.prepend(pick(row, withId, withPhoto));
        QCOMPARE(entries(out()),
                 exitCode ? QStringList() : QStringList{args.first().section('/', -1)});
        if (exitCode == 0)
            QCOMPARE(readBack(args.first()),
                     QList<QStringList>{pick(kCaptions, withId, withPhoto)} + expected);
    }

    void gridMenuExportsTheListingShown()
    {
        const Window w = start(12);
        QVERIFY(w.ok());
        auto* menu = w.form->findChild<QMenu*>(u"DataGrid1Menu"_s);
        QVERIFY(menu);
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(30, 30),
                                w.grid->viewport()->mapToGlobal(QPoint(30, 30)));
        QApplication::sendEvent(w.grid->viewport(), &click);
        QTRY_VERIFY(menu->isVisible());
        if (qEnvironmentVariableIsSet("TALVIO_SCREENS_DIR"))
            menu->grab().save(qEnvironmentVariable("TALVIO_SCREENS_DIR") + u"/grid_menu.png"_s);
        QCOMPARE(menu->actions().at(0)->text() + '|' + menu->actions().at(1)->text(),
                 u"导出到 Excel 文件…|导出到 CSV 文件…"_s);
        menu->hide();
        auto trigger = [&](const char* name) {
            menu->findChild<QAction*>(name)->trigger();
        };

        trigger("exportWithId");
        const QString all = out() + u"/全部.xlsx"_s;
        dialogs->saveFiles << all;
        trigger("exportExcel");
        QCOMPARE(summaries(dialogs->messages()),
                 QStringList{line(u"已导出 15 名会员到 "_s + all, u"导出完成"_s,
                                  Dialogs::Icon::Information)});
        QList<qint64> ids;
        for (const QStringList& row : readSheet(all).rows.mid(1))
            ids << row.first().toLongLong();
        QCOMPARE(ids, storedIdsNewestFirst(*folder));

        trigger("exportWithId");
        w.t1->setText(u"李四"_s);
        w.click("Command6");
        dialogs->clear();
        const QString found = out() + u"/查询.csv"_s;
        dialogs->saveFiles << QString() << found << folder->path(u"hd.db/x.csv"_s);
        trigger("exportCsv"); // cancelled in the dialog
        QCOMPARE(entries(out()), QStringList{u"全部.xlsx"_s});
        trigger("exportCsv");
        QCOMPARE(readCsv(found),
                 (QList<QStringList>{pick(kCaptions, false, false),
                                     pick(tableRows(*folder).at(13), false, false)}));
        trigger("exportCsv");
        QCOMPARE(summaries(dialogs->messages()).mid(1), QStringList{critical(u"导出失败："_s)});
        QCOMPARE(dialogs->calls.first().filter, u"CSV 文件|*.csv"_s);
        QCOMPARE(w.t9->text(), u"1"_s);
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
