#pragma once

#include <QWidget>

class Forms;

// A top-level window of the register. The registry loads it (Form_Load) before it is shown and
// runs Form_Unload when it is closed or unloaded; an unloaded form is destroyed.
class Form : public QWidget
{
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr);

    virtual void Form_Load() {}
    virtual void Form_Unload() {}

    bool isUnloaded() const { return m_unloaded; }

protected:
    void closeEvent(QCloseEvent* event) override;

    // Sets the client area in twips.
    void setClientSize(int widthTwips, int heightTwips);

private:
    friend class Forms;
    bool m_unloaded = false;
};
