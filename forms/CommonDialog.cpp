#include "CommonDialog.h"

#include "Dialogs.h"

QString CommonDialog::ShowOpen()
{
    const QString chosen = Dialogs::current().openFile(m_owner, DialogTitle, Filter, m_fileName);
    if (!chosen.isEmpty())
        m_fileName = chosen;
    return m_fileName;
}
