// Row and photo file change together: the store functions behind add, edit and delete.

#include "Database.h"
#include "FileChecks.h"
#include "MemberRecords.h"
#include "PhotoFiles.h"
#include "StagedPhoto.h"
#include "TestFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

Member person(const QString& name, const QString& phone)
{
    Member m;
    m.xingming = name;
    m.xingbie = QStringLiteral("男");
    m.nianling = QStringLiteral("30");
    m.dianhua = phone;
    m.qq = QStringLiteral("10001");
    m.youxiang = QStringLiteral("a@example.com");
    m.dizhi = QStringLiteral("北京市");
    return m;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 rowCount(const Database& db)
{
    Result<QSqlQuery> q = db.run(QStringLiteral("SELECT count(*) FROM user"));
    return q && q->next() ? q->value(0).toLongLong() : -1;
}

} // namespace

class tst_member_records : public QObject
{
    Q_OBJECT
private slots:
    void insertPutsRowAndPhotoInPlace();
    void anotherMembersPhotoIsNeverOverwritten();
    void orphanFileOfTheSameNameIsReplaced();
    void updateOfMissingRowMovesNothing();
    void stagingRefusesWhatIsNoPicture_data();
    void stagingRefusesWhatIsNoPicture();
    void undoRestoresTheFileThatStoodThere();
};

void tst_member_records::insertPutsRowAndPhotoInPlace()
{
    TestFolder folder;
    folder.createStore();
    const QString source = folder.makeJpeg(QStringLiteral("pick.jpg"), {50, 40});
    folder.makeDefaultPhoto();
    Database db = folder.open();

    const QString target =
        PhotoFiles::memberPhotoPath(QStringLiteral("张三"), QStringLiteral("123"));
    Result<StagedPhoto> staged = StagedPhoto::stage(source, target);
    QVERIFY2(staged, qPrintable(staged.error()));
    Result<qint64> id = MemberRecords::insert(
        db, person(QStringLiteral("张三"), QStringLiteral("123")), staged.value());
    QVERIFY2(id, qPrintable(id.error()));
    QVERIFY(id.value() > 0);
    QCOMPARE(bytesOf(target), bytesOf(source));
    Result<QString> stored = MemberRecords::storedPhoto(db, id.value());
    QCOMPARE(stored.value(), target);
    // Nothing but the photo itself is left in the folder: no staging or backup files.
    QCOMPARE(QDir(folder.path(QStringLiteral("照片"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("张三-123.jpg")});
}

void tst_member_records::anotherMembersPhotoIsNeverOverwritten()
{
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    const QString first = folder.makeJpeg(QStringLiteral("first.jpg"), {60, 40}, Qt::red);
    const QString second = folder.makeJpeg(QStringLiteral("second.jpg"), {40, 60}, Qt::blue);
    Database db = folder.open();

    // "a" with "1-2" and "a-1" with "2" both give the file "a-1-2.jpg".
    Result<StagedPhoto> a = StagedPhoto::stage(first, PhotoFiles::memberPhotoPath("a", "1-2"));
    QVERIFY(a);
    QVERIFY(MemberRecords::insert(db, person("a", "1-2"), a.value()));
    const QString shared = PhotoFiles::memberPhotoPath("a", "1-2");
    const Snapshot before = snapshot(folder.path(QStringLiteral("照片")));

    {
        Result<StagedPhoto> b = StagedPhoto::stage(second, PhotoFiles::memberPhotoPath("a-1", "2"));
        QVERIFY(b);
        Result<qint64> refused = MemberRecords::insert(db, person("a-1", "2"), b.value());
        QVERIFY(!refused);
        QVERIFY2(refused.error().contains(QDir::toNativeSeparators(shared)),
                 qPrintable(refused.error()));
        QCOMPARE(rowCount(db), 1);
    }
    QCOMPARE(snapshot(folder.path(QStringLiteral("照片"))), before);
    QCOMPARE(bytesOf(shared), bytesOf(first));
}

void tst_member_records::orphanFileOfTheSameNameIsReplaced()
{
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    const QString orphan = folder.makeJpeg(QStringLiteral("照片/李四-9.jpg"), {10, 10}, Qt::green);
    const QString source = folder.makeJpeg(QStringLiteral("pick.jpg"), {30, 20}, Qt::red);
    Database db = folder.open();
    Result<StagedPhoto> staged = StagedPhoto::stage(source, orphan);
    QVERIFY(staged);
    QVERIFY(MemberRecords::insert(db, person(QStringLiteral("李四"), QStringLiteral("9")),
                                  staged.value()));
    QCOMPARE(bytesOf(orphan), bytesOf(source));
}

void tst_member_records::updateOfMissingRowMovesNothing()
{
    TestFolder folder;
    folder.createStore();
    folder.makeDefaultPhoto();
    const QString source = folder.makeJpeg(QStringLiteral("pick.jpg"));
    Database db = folder.open();
    const Snapshot before = snapshot(folder.path(QStringLiteral("照片")));
    Member ghost = person("ghost", "000");
    ghost.id = 424242;
    {
        Result<StagedPhoto> staged =
            StagedPhoto::stage(source, PhotoFiles::memberPhotoPath("ghost", "000"));
        QVERIFY(staged);
        Result<MemberRecords::Removal> changed = MemberRecords::update(db, ghost, staged.value());
        QVERIFY(changed);
        QCOMPARE(changed->rows, 0);
    }
    QCOMPARE(snapshot(folder.path(QStringLiteral("照片"))), before);
}

void tst_member_records::stagingRefusesWhatIsNoPicture_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << QByteArray("not a picture at all");
    QTest::newRow("empty") << QByteArray();
}

void tst_member_records::stagingRefusesWhatIsNoPicture()
{
    QFETCH(QByteArray, content);
    TestFolder folder;
    folder.makeDefaultPhoto();
    const QString bogus = folder.path(QStringLiteral("bogus.jpg"));
    QFile file(bogus);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const Snapshot before = snapshot(folder.path(QStringLiteral("照片")));
    Result<StagedPhoto> staged = StagedPhoto::stage(bogus, PhotoFiles::memberPhotoPath("x", "1"));
    QVERIFY(!staged);
    QVERIFY(staged.error().contains(QDir::toNativeSeparators(bogus)));
    QCOMPARE(snapshot(folder.path(QStringLiteral("照片"))), before);
}

void tst_member_records::undoRestoresTheFileThatStoodThere()
{
    TestFolder folder;
    folder.makeDefaultPhoto();
    const QString target = folder.makeJpeg(QStringLiteral("照片/王五-1.jpg"), {10, 10}, Qt::green);
    const QByteArray old = bytesOf(target);
    const QString source = folder.makeJpeg(QStringLiteral("pick.jpg"), {30, 20}, Qt::red);
    {
        Result<StagedPhoto> staged = StagedPhoto::stage(source, target);
        QVERIFY(staged);
        QVERIFY(staged->install());
        QCOMPARE(bytesOf(target), bytesOf(source));
        staged->undo();
    }
    QCOMPARE(bytesOf(target), old);
    QCOMPARE(QDir(folder.path(QStringLiteral("照片"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("王五-1.jpg")});
}

QTEST_MAIN(tst_member_records)
#include "tst_member_records.moc"
