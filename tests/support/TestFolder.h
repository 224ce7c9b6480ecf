#pragma once

#include "Accounts.h"
#include "Database.h"
#include "Dialogs.h"
#include "Forms.h"
#include "Module1.h"
#include "ProgramFolder.h"

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QImage>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// Unloads every window and lets Qt destroy them, so the next test starts with none.
inline void closeAllForms()
{
    for (Form* form : Forms::instance().loaded())
        Forms::instance().unload(form);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A fresh program folder for one test: the program's paths point into it while it lives.
class TestFolder
{
public:
    TestFolder()
    {
        ProgramFolder::setRoot(m_dir.path());
        Module1::resetAll();
    }
    ~TestFolder() { closeAllForms(); }

    QString root() const { return m_dir.path(); }
    // A path below the folder, written with '/'.
    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    // Creates hd.db with the schema and one operator (hashed password).
    void createStore(const QString& operatorName = QStringLiteral("admin"),
                     const QString& password = QStringLiteral("123456"))
    {
        Result<Database> db = Database::create(path(QStringLiteral("hd.db")));
        if (!db)
            qFatal("cannot create test store: %s", qPrintable(db.error()));
        if (Status added = Accounts::add(db.value(), operatorName, password); !added)
            qFatal("cannot add operator: %s", qPrintable(added.error()));
    }
    Database open() const
    {
        Result<Database> db = Database::open(path(QStringLiteral("hd.db")));
        if (!db)
            qFatal("cannot open test store: %s", qPrintable(db.error()));
        return std::move(db).value();
    }

    // Writes a JPEG of the given size; relative paths are below the folder. Returns the path.
    QString makeJpeg(const QString& file, QSize size = QSize(40, 30),
                     QColor color = QColor(200, 60, 60)) const
    {
        const QString target = QFileInfo(file).isAbsolute() ? file : path(file);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        if (!image.save(target, "JPEG"))
            qFatal("cannot write %s", qPrintable(target));
        return target;
    }
    // Creates both photo folders and the default photo.
    QString makeDefaultPhoto(QSize size = QSize(40, 30)) const
    {
        QDir().mkpath(path(QStringLiteral("照片")));
        return makeJpeg(QStringLiteral("模版照片/1.jpg"), size, QColor(60, 120, 200));
    }

private:
    QTemporaryDir m_dir;
};

// Scripted dialogs that also run a hook when a message arrives, that is while the message would
// be on screen.
class WatchingDialogs : public ScriptedDialogs
{
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override
    {
        const Answer answer = ScriptedDialogs::message(parent, text, title, icon, buttons);
        if (onMessage)
            onMessage(text);
        return answer;
    }
    std::function<void(const QString& text)> onMessage;
};

// Installs scripted dialogs for the test's lifetime and gives access to what they recorded.
class DialogScript
{
public:
    DialogScript()
    {
        auto script = std::make_unique<WatchingDialogs>();
        m_script = script.get();
        m_previous = Dialogs::install(std::move(script));
    }
    ~DialogScript() { Dialogs::install(std::move(m_previous)); }
    WatchingDialogs* operator->() { return m_script; }
    WatchingDialogs& get() { return *m_script; }

private:
    WatchingDialogs* m_script;
    std::unique_ptr<Dialogs> m_previous;
};
