#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

class QWidget;

// Every message box, question, file dialog and browser start goes through here, so tests can
// answer them ahead of time instead of blocking on a modal box.
class Dialogs
{
public:
    enum class Icon { None, Critical, Question, Exclamation, Information };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Dialogs() = default;

    // An empty title shows the application's title.
    virtual Answer message(QWidget* parent, const QString& text, const QString& title,
                           Icon icon = Icon::None, Buttons buttons = Buttons::Ok) = 0;
    // The filter is written "description|pattern|description|pattern...". Returns the chosen
    // file, or an empty text when the operator cancels.
    virtual QString openFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& startFile) = 0;
    // Returns the chosen folder, or an empty text when the operator cancels.
    virtual QString openFolder(QWidget* parent, const QString& title,
                               const QString& startFolder) = 0;
    // The same for a file to write; the real dialog asks before replacing a file.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& startFile) = 0;
    virtual void openUrl(const QUrl& url) = 0;

    static Dialogs& current();
    // Replaces the dialogs in use; returns the previous ones.
    static std::unique_ptr<Dialogs> install(std::unique_ptr<Dialogs> dialogs);
};

// Real message boxes, file dialogs and the desktop's browser.
class WidgetDialogs : public Dialogs
{
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    QString openFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& startFile) override;
    QString openFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& startFile) override;
    void openUrl(const QUrl& url) override;
};

// Records every call and answers from queues; used by tests.
class ScriptedDialogs : public Dialogs
{
public:
    struct Call
    {
        QString kind; // "message", "openFile", "openFolder", "saveFile" or "openUrl"
        QString text; // message text, the url, or the folder a picker starts in
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QString filter;
    };

    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    QString openFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& startFile) override;
    QString openFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                     const QString& startFile) override;
    void openUrl(const QUrl& url) override;

    // Answers for Yes/No questions, in order; an empty queue answers No.
    QList<Answer> answers;
    // Files the open-file dialog returns, in order; an empty text is a cancel.
    QStringList files;
    // Folders the folder dialog returns, in order; an empty text is a cancel.
    QStringList folders;
    // Files the save-file dialog returns, in order; an empty text is a cancel.
    QStringList saveFiles;
    QList<Call> calls;

    QList<Call> messages() const;
    QStringList messageTexts() const;
    void clear() { calls.clear(); }
};
