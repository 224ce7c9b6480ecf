#pragma once

#include "Database.h"
#include "Dialogs.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// A fresh program folder for one test: the program's paths point into it while it lives.
class TestFolder
{
public:
    TestFolder();
    ~TestFolder();

    QString root() const { return m_dir.path(); }
    // A path below the folder, written with '/'.
    QString path(const QString& relative) const;

    // Creates hd.db with the schema and one operator (hashed password).
    void createStore(const QString& operatorName = QStringLiteral("admin"),
                     const QString& password = QStringLiteral("123456"));
    Database open() const;

    // Writes a JPEG of the given size; relative paths are below the folder. Returns the path.
    QString makeJpeg(const QString& file, QSize size = QSize(40, 30),
                     QColor color = QColor(200, 60, 60)) const;
    // Creates both photo folders and the default photo.
    QString makeDefaultPhoto(QSize size = QSize(40, 30)) const;

private:
    QTemporaryDir m_dir;
};

// Scripted dialogs that also run a hook when a message arrives, that is while the message would
// be on screen.
class WatchingDialogs : public ScriptedDialogs
{
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    std::function<void(const QString& text)> onMessage;
};

// Installs scripted dialogs for the test's lifetime and gives access to what they recorded.
class DialogScript
{
public:
    DialogScript();
    ~DialogScript();
    WatchingDialogs* operator->() { return m_script; }
    WatchingDialogs& get() { return *m_script; }

private:
    WatchingDialogs* m_script;
    std::unique_ptr<Dialogs> m_previous;
};

// Unloads every window and lets Qt destroy them, so the next test starts with none.
void closeAllForms();
