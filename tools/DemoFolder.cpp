#include "DemoFolder.h"

#include "Accounts.h"
#include "Database.h"
#include "MemberGenerator.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSaveFile>

namespace DemoFolder {

const QString kOperator = QStringLiteral("admin");
const QString kPassword = QStringLiteral("talvio");

namespace {

// A plain portrait: a head and shoulders on a coloured ground. Sizes vary so that wide, tall and
// square photos all appear in the demo.
QImage portrait(QSize size, QColor ground)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(ground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ground.darker(220));
    const double w = size.width();
    const double h = size.height();
    const double head = std::min(w, h) * 0.32;
    painter.drawEllipse(QPointF(w / 2, h * 0.40), head / 2, head / 2 * 1.15);
    painter.drawEllipse(QPointF(w / 2, h * 1.02), std::min(w, h) * 0.45, h * 0.38);
    return image;
}

Status saveJpeg(const QImage& image, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "JPEG", 85) || !file.commit())
        return Failure{QStringLiteral("无法写入 %1").arg(QDir::toNativeSeparators(path))};
    return {};
}

} // namespace

Status create(const QString& folder, qint64 members)
{
    if (!QDir().mkpath(folder))
        return Failure{QStringLiteral("无法创建文件夹 %1").arg(QDir::toNativeSeparators(folder))};
    ProgramFolder::setRoot(folder);
    Result<Database> db = Database::create(ProgramFolder::databaseFile());
    if (!db)
        return db.failure();
    if (Status added = Accounts::add(db.value(), kOperator, kPassword); !added)
        return added;
    if (Status folders = PhotoFiles::prepareFolders(); !folders)
        return folders;
    if (Status photo =
            saveJpeg(portrait({300, 400}, QColor(180, 190, 200)), ProgramFolder::defaultPhoto());
        !photo)
        return photo;

    static const QSize sizes[] = {{300, 400}, {400, 300}, {360, 360}, {240, 480}, {640, 480}};
    return MemberGenerator::insert(db.value(), members, [](const Member& m) -> Result<QString> {
        const QString path = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
        const size_t shape = size_t(m.dianhua.right(2).toInt()) % std::size(sizes);
        const QColor ground = QColor::fromHsv(m.dianhua.right(3).toInt() % 360, 60, 230);
        if (Status saved = saveJpeg(portrait(sizes[shape], ground), path); !saved)
            return saved.failure();
        return path;
    });
}

} // namespace DemoFolder
