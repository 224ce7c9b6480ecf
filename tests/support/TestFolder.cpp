#include "TestFolder.h"

#include "Accounts.h"
#include "Forms.h"
#include "Module1.h"
#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QImage>
#include <QTest>

TestFolder::TestFolder()
{
    ProgramFolder::setRoot(m_dir.path());
    Module1::resetAll();
}

TestFolder::~TestFolder()
{
    closeAllForms();
}

QString TestFolder::path(const QString& relative) const
{
    return m_dir.filePath(relative);
}

void TestFolder::createStore(const QString& operatorName, const QString& password)
{
    Result<Database> db = Database::create(path(QStringLiteral("hd.db")));
    if (!db)
        qFatal("cannot create test store: %s", qPrintable(db.error()));
    if (Status added = Accounts::add(db.value(), operatorName, password); !added)
        qFatal("cannot add operator: %s", qPrintable(added.error()));
}

Database TestFolder::open() const
{
    Result<Database> db = Database::open(path(QStringLiteral("hd.db")));
    if (!db)
        qFatal("cannot open test store: %s", qPrintable(db.error()));
    return std::move(db).value();
}

QString TestFolder::makeJpeg(const QString& file, QSize size, QColor color) const
{
    const QString target = QFileInfo(file).isAbsolute() ? file : path(file);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    if (!image.save(target, "JPEG"))
        qFatal("cannot write %s", qPrintable(target));
    return target;
}

QString TestFolder::makeDefaultPhoto(QSize size) const
{
    QDir().mkpath(path(QStringLiteral("照片")));
    return makeJpeg(QStringLiteral("模版照片/1.jpg"), size, QColor(60, 120, 200));
}

Dialogs::Answer WatchingDialogs::message(QWidget* parent, const QString& text, const QString& title,
                                         Icon icon, Buttons buttons)
{
    const Answer answer = ScriptedDialogs::message(parent, text, title, icon, buttons);
    if (onMessage)
        onMessage(text);
    return answer;
}

DialogScript::DialogScript()
{
    auto script = std::make_unique<WatchingDialogs>();
    m_script = script.get();
    m_previous = Dialogs::install(std::move(script));
}

DialogScript::~DialogScript()
{
    Dialogs::install(std::move(m_previous));
}

void closeAllForms()
{
    for (Form* form : Forms::instance().loaded())
        Forms::instance().unload(form);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
