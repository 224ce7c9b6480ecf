#include "Forms.h"

#include "Controls.h"
#include "Form.h"

#include <QTimer>

Forms& Forms::instance()
{
    static Forms forms;
    return forms;
}

void Forms::registerForm(const QString& name, Factory factory)
{
    m_factories.insert(name, std::move(factory));
}

Form* Forms::find(const QString& name) const
{
    const QPointer<Form> form = m_loaded.value(name);
    return (form && !form->m_unloaded) ? form.data() : nullptr;
}

QList<Form*> Forms::loaded() const
{
    QList<Form*> forms;
    for (const QPointer<Form>& form : m_loaded)
        if (form && !form->m_unloaded)
            forms.append(form.data());
    return forms;
}

Form* Forms::show(const QString& name)
{
    if (Form* open = find(name)) {
        open->show();
        open->raise();
        open->activateWindow();
        return open;
    }
    const auto factory = m_factories.constFind(name);
    if (factory == m_factories.cend()) {
        qWarning("Forms: no window named %s", qPrintable(name));
        return nullptr;
    }
    Form* form = (*factory)();
    form->setObjectName(name);
    Controls::widenLabelsToFit(form);
    m_loaded.insert(name, form);
    form->Form_Load();
    if (form->m_unloaded)
        return nullptr;
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

void Forms::replace(Form* current, const QString& next)
{
    if (!isRegistered(next))
        return;
    unload(current);
    show(next);
}

void Forms::unload(Form* form)
{
    if (!form || form->m_unloaded)
        return;
    form->m_unloaded = true;
    form->Form_Unload();
    form->hide();
    if (m_loaded.value(form->objectName()) == form)
        m_loaded.remove(form->objectName());
    form->deleteLater();
    // Checked later, so that "close this window, then show the next" does not end the program.
    QTimer::singleShot(0, this, &Forms::checkLastClosed);
}

void Forms::checkLastClosed()
{
    if (loaded().isEmpty())
        emit lastFormUnloaded();
}

void Forms::end()
{
    const QList<Form*> forms = loaded();
    m_loaded.clear();
    for (Form* form : forms) {
        form->m_unloaded = true;
        form->hide();
        form->deleteLater();
    }
    emit ended();
}
