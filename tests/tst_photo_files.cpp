// Photo files: atomic copies and reading pictures safely.

#include "FileChecks.h"
#include "PhotoFiles.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray jpegBytes(QSize size, QColor left, QColor right)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(left);
    for (int y = 0; y < size.height(); ++y)
        for (int x = size.width() / 2; x < size.width(); ++x)
            image.setPixelColor(x, y, right);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

// Whether the folder takes a new file; permission bits do not hold for root.
bool folderIsWritable(const QString& folder)
{
    QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    probe.remove();
    return true;
}

} // namespace

class tst_photo_files : public QObject
{
    Q_OBJECT

private slots:
    void copyAtomicallyCopiesAndReplaces();
    void copyAtomicallyFailureKeepsTarget_data();
    void copyAtomicallyFailureKeepsTarget();
    void readPictureRefusesUnreadableFiles_data();
    void readPictureRefusesUnreadableFiles();
    void readPictureAppliesExifOrientation();
};

void tst_photo_files::copyAtomicallyCopiesAndReplaces()
{
    QTemporaryDir dir;
    // Larger than one read chunk, so the copy has to loop.
    const QByteArray bytes = randomBytes(3 * 1024 * 1024 + 17);
    const QString from = dir.filePath(QStringLiteral("源.jpg"));
    const QString to = dir.filePath(QStringLiteral("目标.jpg"));
    writeFile(from, bytes);

    QVERIFY(PhotoFiles::copyAtomically(from, to));
    QCOMPARE(readFile(to), bytes);

    const QByteArray smaller = randomBytes(10).toHex();
    const QString other = dir.filePath(QStringLiteral("other.jpg"));
    writeFile(other, smaller);
    QVERIFY(PhotoFiles::copyAtomically(other, to));
    QCOMPARE(readFile(to), smaller);
    QCOMPARE(readFile(from), bytes);

    const QStringList expected{QStringLiteral("other.jpg"), QStringLiteral("源.jpg"),
                               QStringLiteral("目标.jpg")};
    QCOMPARE(snapshot(dir.path()).keys(), expected);
}

void tst_photo_files::copyAtomicallyFailureKeepsTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing source") << "missingSource";
    QTest::newRow("read-only folder") << "readOnly";
    QTest::newRow("missing folder") << "missingFolder";
}

void tst_photo_files::copyAtomicallyFailureKeepsTarget()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("new.jpg"));
    const QString folder = dir.filePath(QStringLiteral("照片"));
    QVERIFY(QDir().mkpath(folder));
    QString target = QDir(folder).filePath(QStringLiteral("张三-123.jpg"));
    const QByteArray old = randomBytes(500);
    writeFile(target, old);
    if (kind != QLatin1String("missingSource"))
        writeFile(source, randomBytes(700).toHex());
    if (kind == QLatin1String("missingFolder"))
        target = dir.filePath(QStringLiteral("gone/张三-123.jpg"));
    if (kind == QLatin1String("readOnly")) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        if (folderIsWritable(folder)) {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("permission bits are not enforced for this user");
        }
    }
    const Snapshot before = snapshot(dir.path());

    Status copied = PhotoFiles::copyAtomically(source, target);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QVERIFY(!copied.ok());
    const QString named = kind == QLatin1String("missingSource") ? source : target;
    QVERIFY2(copied.error().contains(QDir::toNativeSeparators(named)), qPrintable(copied.error()));
    QCOMPARE(snapshot(dir.path()), before);
}

void tst_photo_files::readPictureRefusesUnreadableFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("text named .jpg") << "text";
    QTest::newRow("truncated jpeg") << "truncated";
    QTest::newRow("empty path") << "noPath";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("header claims a huge size") << "huge";
    QTest::newRow("over a lowered allocation limit") << "overLimit";
}

void tst_photo_files::readPictureRefusesUnreadableFiles()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("照片.jpg"));
    const QByteArray jpeg = jpegBytes(QSize(320, 240), Qt::red, Qt::blue);
    const int limit = QImageReader::allocationLimit();
    const auto restore = qScopeGuard([limit] { QImageReader::setAllocationLimit(limit); });

    if (kind == QLatin1String("text")) {
        writeFile(path, "姓名,电话\r\n张三,123\r\n");
    } else if (kind == QLatin1String("truncated")) {
        writeFile(path, jpeg.left(jpeg.size() / 2));
    } else if (kind == QLatin1String("noPath")) {
        path.clear();
    } else if (kind == QLatin1String("huge")) {
        // Rewrite the frame header to 60000 x 60000 pixels.
        QByteArray patched = jpeg;
        const qsizetype frame = patched.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(frame > 0);
        for (int i : {5, 7}) {
            patched[frame + i] = char(0xEA);
            patched[frame + i + 1] = char(0x60);
        }
        writeFile(path, patched);
    } else if (kind == QLatin1String("overLimit")) {
        writeFile(path, jpegBytes(QSize(1200, 1000), Qt::red, Qt::blue));
        QImageReader::setAllocationLimit(1);
    }

    Result<QImage> picture = PhotoFiles::readPicture(path);
    QVERIFY2(!picture.ok(), qPrintable(kind));
    QVERIFY(!picture.error().isEmpty());
    if (!path.isEmpty())
        QVERIFY2(picture.error().contains(QDir::toNativeSeparators(path)),
                 qPrintable(picture.error()));

    // The same picture whole and within the limit reads fine.
    QImageReader::setAllocationLimit(limit);
    writeFile(dir.filePath(QStringLiteral("good.jpg")), jpeg);
    Result<QImage> good = PhotoFiles::readPicture(dir.filePath(QStringLiteral("good.jpg")));
    QVERIFY2(good, qPrintable(good.error()));
    QCOMPARE(good->size(), QSize(320, 240));
}

void tst_photo_files::readPictureAppliesExifOrientation()
{
    // A landscape picture, red on the left, whose EXIF says "turn 90 degrees clockwise".
    QByteArray jpeg = jpegBytes(QSize(80, 40), Qt::red, Qt::blue);
    QByteArray exif("Exif\0\0MM\0\x2A\0\0\0\x08"
                    "\0\x01"
                    "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0"
                    "\0\0\0\0",
                    32);
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(0));
    segment.append(char(exif.size() + 2));
    segment.append(exif);
    jpeg.insert(2, segment);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("phone.jpg"));
    writeFile(path, jpeg);

    Result<QImage> picture = PhotoFiles::readPicture(path);
    QVERIFY2(picture, qPrintable(picture.error()));
    QCOMPARE(picture->size(), QSize(40, 80));
    const QColor top = picture->pixelColor(20, 10);
    const QColor bottom = picture->pixelColor(20, 70);
    QVERIFY(top.red() > 200 && top.blue() < 60);
    QVERIFY(bottom.blue() > 200 && bottom.red() < 60);
}

QTEST_MAIN(tst_photo_files)
#include "tst_photo_files.moc"
