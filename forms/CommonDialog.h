#pragma once

#include <QString>

class QWidget;

// A window's own open-file dialog. Like the dialog the operators know, it remembers the last file
// name: cancelling leaves that name in place, so the caller sees the earlier file again.
class CommonDialog
{
public:
    explicit CommonDialog(QWidget* owner) : m_owner(owner) {}

    QString DialogTitle;
    QString Filter;

    // Shows the open-file dialog and returns the file name it holds afterwards.
    QString ShowOpen();
    const QString& FileName() const { return m_fileName; }

private:
    QWidget* m_owner;
    QString m_fileName;
};
