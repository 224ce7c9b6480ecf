#pragma once

#include <QPlainTextEdit>

// A multi-line box for the joined addresses. A million addresses make one line of tens of
// megabytes, which no text layout handles quickly; the box therefore lays a long text out in
// pieces of a few thousand characters, and copying gives back the text without the breaks.
class AddressBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit AddressBox(QWidget* parent = nullptr);

    void setText(const QString& text);
    // The text as it was given, whatever the display did to it.
    const QString& text() const { return m_text; }

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    QString m_text;
    bool m_split = false;
};
