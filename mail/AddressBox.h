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
    // The text without the display's breaks, including what the operator typed since.
    QString text() const;

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    QString m_text;
    bool m_split = false;
    bool m_edited = false;
};
