#pragma once

// talvio-admin run as an operator runs it, for the tests of its commands.

#include <QProcess>
#include <QTest>

// Runs the tool and checks its exit code and that what it wrote, on either channel, holds `text`.
inline void
runAdmin(const QStringList& arguments, int exitCode, const QString& text,
         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(TALVIO_ADMIN), arguments);
    QVERIFY(tool.waitForFinished(30000));
    const QString said = QString::fromUtf8(tool.readAll());
    QVERIFY2(said.contains(text), qPrintable(said));
    QCOMPARE(tool.exitCode(), exitCode);
}
