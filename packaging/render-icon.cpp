// Renders the program's SVG icon to one square PNG at build time, so the PNG sizes always match
// the drawing:  render-icon ICON.svg SIZE OUT.png

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char* argv[])
{
    // No QGuiApplication: painting shapes into an image needs no display, and build machines
    // have none.
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const int size = args.size() == 4 ? args.at(2).toInt(&ok) : 0;
    if (!ok || size <= 0) {
        err << "用法：render-icon 图标.svg 边长 输出.png\n";
        return 2;
    }
    QSvgRenderer svg(args.at(1));
    if (!svg.isValid()) {
        err << "无法读取图标 " << args.at(1) << "\n";
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    painter.end();
    // Written aside and renamed, so a failed run leaves no half-written PNG for the package.
    QSaveFile out(args.at(3));
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit()) {
        err << "无法写入 " << args.at(3) << "\n";
        return 1;
    }
    return 0;
}
