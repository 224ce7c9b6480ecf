#include "Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace {
std::unique_ptr<Dialogs>& slot()
{
    static std::unique_ptr<Dialogs> dialogs = std::make_unique<WidgetDialogs>();
    return dialogs;
}

QMessageBox::Icon boxIcon(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Qt's own dialogs rather than the desktop's: they speak Chinese through Qt's translation
// whatever language the desktop is set to.
constexpr QFileDialog::Options kFileDialogOptions =
    QFileDialog::HideNameFilterDetails | QFileDialog::DontUseNativeDialog;

// Filters come as "description|pattern" pairs; the dialogs show the descriptions only.
QStringList fileFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]));
    return filters;
}
} // namespace

Dialogs& Dialogs::current()
{
    return *slot();
}

std::unique_ptr<Dialogs> Dialogs::install(std::unique_ptr<Dialogs> dialogs)
{
    std::unique_ptr<Dialogs> previous = std::move(slot());
    slot() = std::move(dialogs);
    return previous;
}

Dialogs::Answer WidgetDialogs::message(QWidget* parent, const QString& text, const QString& title,
                                       Icon icon, Buttons buttons)
{
    const QString shownTitle = title.isEmpty() ? QApplication::applicationDisplayName() : title;
    QMessageBox box(boxIcon(icon), shownTitle, text, QMessageBox::NoButton, parent);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int chosen = box.exec();
    if (buttons == Buttons::YesNo)
        return chosen == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

QString WidgetDialogs::openFile(QWidget* parent, const QString& title, const QString& filter,
                                const QString& startFile)
{
    return QFileDialog::getOpenFileName(parent, title, startFile, fileFilters(filter).join(u";;"),
                                        nullptr, kFileDialogOptions);
}

QString WidgetDialogs::saveFile(QWidget* parent, const QString& title, const QString& filter,
                                const QString& startFile)
{
    QFileDialog dialog(parent, title, startFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(fileFilters(filter));
    dialog.setOptions(kFileDialogOptions);
    // A name typed without its ending gets the first pattern's, before the replace question.
    const QString pattern = filter.section(QLatin1Char('|'), 1, 1);
    if (pattern.startsWith(QLatin1String("*.")))
        dialog.setDefaultSuffix(pattern.mid(2));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString WidgetDialogs::openFolder(QWidget* parent, const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(parent, title, startFolder,
                                             kFileDialogOptions | QFileDialog::ShowDirsOnly);
}

void WidgetDialogs::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

Dialogs::Answer ScriptedDialogs::message(QWidget*, const QString& text, const QString& title,
                                         Icon icon, Buttons buttons)
{
    calls.append({QStringLiteral("message"), text, title, icon, buttons, {}});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return answers.isEmpty() ? Answer::No : answers.takeFirst();
}

QString ScriptedDialogs::openFile(QWidget*, const QString& title, const QString& filter,
                                  const QString&)
{
    calls.append({QStringLiteral("openFile"), {}, title, Icon::None, Buttons::Ok, filter});
    return files.isEmpty() ? QString() : files.takeFirst();
}

QString ScriptedDialogs::openFolder(QWidget*, const QString& title, const QString& startFolder)
{
    calls.append({QStringLiteral("openFolder"), startFolder, title, Icon::None, Buttons::Ok, {}});
    return folders.isEmpty() ? QString() : folders.takeFirst();
}

QString ScriptedDialogs::saveFile(QWidget*, const QString& title, const QString& filter,
                                  const QString&)
{
    calls.append({QStringLiteral("saveFile"), {}, title, Icon::None, Buttons::Ok, filter});
    return saveFiles.isEmpty() ? QString() : saveFiles.takeFirst();
}

void ScriptedDialogs::openUrl(const QUrl& url)
{
    calls.append({QStringLiteral("openUrl"), url.toString(), {}, Icon::None, Buttons::Ok, {}});
}

QList<ScriptedDialogs::Call> ScriptedDialogs::messages() const
{
    QList<Call> found;
    for (const Call& call : calls)
        if (call.kind == QLatin1String("message"))
            found.append(call);
    return found;
}

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const Call& call : messages())
        texts.append(call.text);
    return texts;
}
