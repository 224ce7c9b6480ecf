#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class Form;

// The window registry. Windows open each other by name, so no window includes another's header.
class Forms : public QObject
{
    Q_OBJECT
public:
    using Factory = std::function<Form*()>;

    static Forms& instance();

    void registerForm(const QString& name, Factory factory);
    bool isRegistered(const QString& name) const { return m_factories.contains(name); }

    // Loads the form when it is not loaded (running Form_Load) and shows it; brings a loaded form
    // to the front. Returns null when the form unloaded itself during its load.
    Form* show(const QString& name);
    // Unloads the current window and shows the named one in its place. A window the program does
    // not have yet leaves things as they are.
    void replace(Form* current, const QString& next);
    // Runs Form_Unload, hides and destroys the form.
    void unload(Form* form);
    // Ends the program at once: every window goes without its close handling.
    void end();

    Form* find(const QString& name) const;
    QList<Form*> loaded() const;

signals:
    // The last loaded window was closed or unloaded.
    void lastFormUnloaded();
    // end() was called.
    void ended();

private:
    Forms() = default;
    void checkLastClosed();

    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<Form>> m_loaded;
};
