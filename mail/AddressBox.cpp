#include "AddressBox.h"

#include <QMimeData>
#include <QTextCursor>

namespace {
// Texts up to this size stay one piece, exactly as given.
constexpr qsizetype kPieceSize = 4096;
} // namespace

AddressBox::AddressBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] { m_edited = true; });
}

QString AddressBox::text() const
{
    if (!m_edited)
        return m_text;
    QString shown = toPlainText();
    if (m_split)
        shown.remove(QLatin1Char('\n'));
    return shown;
}

void AddressBox::setText(const QString& text)
{
    m_text = text;
    m_split = text.size() > kPieceSize;
    if (!m_split) {
        setPlainText(text);
        m_edited = false;
        return;
    }
    // Break only after a ";", so that no address is cut in two on screen.
    QString laidOut;
    laidOut.reserve(text.size() + text.size() / kPieceSize + 1);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(start + kPieceSize, text.size());
        if (end < text.size()) {
            const qsizetype semicolon = text.lastIndexOf(QLatin1Char(';'), end - 1);
            if (semicolon >= start)
                end = semicolon + 1;
        }
        if (!laidOut.isEmpty())
            laidOut += QLatin1Char('\n');
        laidOut += QStringView(text).mid(start, end - start);
        start = end;
    }
    setPlainText(laidOut);
    m_edited = false;
}

QMimeData* AddressBox::createMimeDataFromSelection() const
{
    if (!m_split)
        return QPlainTextEdit::createMimeDataFromSelection();
    // The pieces' breaks are the box's own; addresses are typed into one-line boxes.
    QString selected = textCursor().selectedText();
    selected.remove(QChar::ParagraphSeparator);
    auto* data = new QMimeData;
    data->setText(selected);
    return data;
}
