// Reads the JSON files the benchmark programs wrote and prints, per operation, its rows side by
// side with the ratios between them:
//   bench_report [--markdown] FILE.json...
// Files are named PROGRAM-MEMBERS.json; a row is "OPERATION/VARIANT". With repetitions the
// median is shown.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QStringList>

#include <cstdio>

namespace {

struct Row
{
    double ms = -1;     // wall time of one operation
    QJsonObject fields; // the counters and the rest of the entry
};

struct Operation
{
    QStringList variants; // in the order they ran
    QMap<QString, Row> rows;
};

struct Store
{
    QStringList order;
    QMap<QString, Operation> operations;
};

double toMs(double value, const QString& unit)
{
    if (unit == QLatin1String("ns"))
        return value / 1e6;
    if (unit == QLatin1String("us"))
        return value / 1e3;
    if (unit == QLatin1String("s"))
        return value * 1e3;
    return value;
}

QString shownTime(double ms)
{
    if (ms < 0)
        return QStringLiteral("-");
    if (ms < 1)
        return QStringLiteral("%1 µs").arg(ms * 1000, 0, 'f', ms < 0.01 ? 2 : 1);
    return QStringLiteral("%1 ms").arg(ms, 0, 'f', ms < 10 ? 2 : (ms < 100 ? 1 : 0));
}

QString shownRatio(double numerator, double denominator)
{
    if (numerator <= 0 || denominator <= 0)
        return QString();
    const double r = numerator / denominator;
    return QStringLiteral("%1×").arg(r, 0, 'f', r < 10 ? 2 : (r < 100 ? 1 : 0));
}

// A memory row shows its resident sets instead of its time.
QString shownValue(const Row& row)
{
    if (row.fields.contains(QLatin1String("peak_rss_kB"))) {
        const auto mb = [&](const char* key) {
            return QString::number(row.fields.value(QLatin1String(key)).toDouble() / 1024.0, 'f',
                                   1);
        };
        QString text = QStringLiteral("peak %1 MB (now %2, whole run %3)")
                           .arg(mb("peak_rss_kB"), mb("rss_kB"), mb("lifetime_peak_rss_kB"));
        if (row.fields.contains(QLatin1String("first_open_ms")))
            text +=
                QStringLiteral(", first opening %1")
                    .arg(shownTime(row.fields.value(QLatin1String("first_open_ms")).toDouble()));
        return text;
    }
    QString text = shownTime(row.ms);
    for (const char* counter : {"matches", "characters", "addresses"})
        if (row.fields.contains(QLatin1String(counter)))
            text += QStringLiteral(" [%1 %2]")
                        .arg(qlonglong(row.fields.value(QLatin1String(counter)).toDouble()))
                        .arg(QLatin1String(counter));
    return text;
}

void read(const QString& path, QMap<qint64, Store>& stores)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return;
    }
    const qint64 members =
        QFileInfo(path).completeBaseName().section(QLatin1Char('-'), -1).toLongLong();
    Store& store = stores[members];
    const QJsonArray entries =
        QJsonDocument::fromJson(file.readAll())[QLatin1String("benchmarks")].toArray();
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const QString aggregate = entry.value(QLatin1String("aggregate_name")).toString();
        if (!aggregate.isEmpty() && aggregate != QLatin1String("median"))
            continue;
        QStringList parts =
            entry.value(QLatin1String("run_name")).toString().split(QLatin1Char('/'));
        parts.removeIf([](const QString& p) {
            return p == QLatin1String("real_time") || p.startsWith(QLatin1String("iterations:")) ||
                   p.startsWith(QLatin1String("repeats:"));
        });
        if (parts.size() < 2)
            continue;
        const QString name = parts.at(0);
        const QString variant = parts.mid(1).join(QLatin1Char('/'));
        if (!store.operations.contains(name))
            store.order << name;
        Operation& operation = store.operations[name];
        if (!operation.rows.contains(variant))
            operation.variants << variant;
        Row row;
        row.fields = entry;
        if (!entry.contains(QLatin1String("error_occurred")))
            row.ms = toMs(entry.value(QLatin1String("real_time")).toDouble(),
                          entry.value(QLatin1String("time_unit")).toString());
        operation.rows[variant] = row;
    }
}

void printText(const QMap<qint64, Store>& stores)
{
    for (auto s = stores.cbegin(); s != stores.cend(); ++s) {
        std::printf("\n== %lld members ==\n", qlonglong(s.key()));
        for (const QString& name : s->order) {
            const Operation& op = s->operations[name];
            const double talvio = op.rows.value(QStringLiteral("talvio")).ms;
            std::printf("%s\n", qPrintable(name));
            for (const QString& variant : op.variants) {
                const Row& row = op.rows[variant];
                QString note;
                if (variant == QLatin1String("naive") && talvio > 0 && row.ms > 0)
                    note = QStringLiteral("naive ÷ talvio = ") + shownRatio(row.ms, talvio);
                else if (variant == QLatin1String("floor") && talvio > 0 && row.ms > 0)
                    note = QStringLiteral("talvio ÷ floor = ") + shownRatio(talvio, row.ms);
                if (row.fields.contains(QLatin1String("peak_rss_kB")))
                    note.clear();
                std::printf("  %-14s %-44s %s\n", qPrintable(variant), qPrintable(shownValue(row)),
                            qPrintable(note));
            }
        }
    }
}

void printMarkdown(const QMap<qint64, Store>& stores)
{
    for (auto s = stores.cbegin(); s != stores.cend(); ++s) {
        std::printf("\n### %lld members\n\n", qlonglong(s.key()));
        std::printf("| operation | talvio | naive | floor | naive ÷ talvio | talvio ÷ floor | "
                    "other rows |\n");
        std::printf("|---|---|---|---|---|---|---|\n");
        for (const QString& name : s->order) {
            const Operation& op = s->operations[name];
            const Row talvio = op.rows.value(QStringLiteral("talvio"));
            const Row naive = op.rows.value(QStringLiteral("naive"));
            const Row floor = op.rows.value(QStringLiteral("floor"));
            QStringList others;
            for (const QString& variant : op.variants)
                if (variant != QLatin1String("talvio") && variant != QLatin1String("naive") &&
                    variant != QLatin1String("floor"))
                    others << variant + QStringLiteral(": ") + shownValue(op.rows[variant]);
            const bool memory = talvio.fields.contains(QLatin1String("peak_rss_kB"));
            std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", qPrintable(name),
                        qPrintable(shownValue(talvio)), qPrintable(shownValue(naive)),
                        qPrintable(shownValue(floor)),
                        qPrintable(memory ? QString() : shownRatio(naive.ms, talvio.ms)),
                        qPrintable(memory ? QString() : shownRatio(talvio.ms, floor.ms)),
                        qPrintable(others.join(QStringLiteral("; "))));
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    const bool markdown = files.removeAll(QStringLiteral("--markdown")) > 0;
    QMap<qint64, Store> stores;
    for (const QString& file : files)
        read(file, stores);
    markdown ? printMarkdown(stores) : printText(stores);
    return stores.isEmpty() ? 1 : 0;
}
