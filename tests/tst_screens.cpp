// Renders every window in its main states and checks what a layout fault would break: controls
// outside their container or on top of each other, captions that do not fit, colour where none
// belongs. With TALVIO_SCREENS_DIR set, each state is also written there as a PNG to look at.

#include "AppSetup.h"
#include "Form.h"
#include "Forms.h"
#include "PhotoBox.h"
#include "TestFolder.h"
#include "Twips.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

namespace {

bool isRed(QColor c)
{
    return c.red() >= 160 && c.green() <= 90 && c.blue() <= 90;
}

QRect inWindow(const QWidget* widget, const QWidget* window)
{
    return {widget->mapTo(window, QPoint(0, 0)), widget->size()};
}

int redPixels(const QImage& image, const QRect& area)
{
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += isRed(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

QString named(const QWidget* widget)
{
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// Where a caption is drawn in the given area, and whether its ink fits the control.
void checkCaption(const QWidget* control, const QString& text, const QRect& area,
                  Qt::Alignment alignment, QStringList& problems)
{
    if (text.isEmpty())
        return;
    const QFontMetrics metrics(control->font());
    const int advance = metrics.horizontalAdvance(text);
    if (advance > area.width())
        problems << QStringLiteral("%1: caption \"%2\" needs %3 px, has %4")
                        .arg(named(control), text)
                        .arg(advance)
                        .arg(area.width());
    const QRect line = QStyle::alignedRect(Qt::LeftToRight, alignment,
                                           metrics.size(Qt::TextSingleLine, text), area);
    const QRect ink =
        metrics.tightBoundingRect(text).translated(line.left(), line.top() + metrics.ascent());
    if (ink.top() < 0 || ink.bottom() >= control->height())
        problems << QStringLiteral(
                        "%1: caption \"%2\" drawn from y %3 to %4 in a control %5 px high")
                        .arg(named(control), text)
                        .arg(ink.top())
                        .arg(ink.bottom())
                        .arg(control->height());
}

// Rows holding ink of a dark text: one per row, so clipped text has fewer.
int inkRows(const QImage& image, const QRect& area)
{
    int rows = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y).lightness() < 100) {
                ++rows;
                break;
            }
        }
    }
    return rows;
}

// Types a text with ascenders and descenders into a box and checks none of it is cut off.
void checkTypedText(QLineEdit* box, QStringList& problems)
{
    const QString before = box->text();
    box->setText(QStringLiteral("国Qgjy"));
    box->setReadOnly(true); // no caret to count as ink
    const QString shown =
        box->echoMode() == QLineEdit::Normal ? box->text() : QString(box->text().size(), u'@');
    QImage alone(box->fontMetrics().horizontalAdvance(shown) + 8, box->fontMetrics().height() * 2,
                 QImage::Format_RGB32);
    alone.fill(Qt::white);
    QPainter painter(&alone);
    painter.setFont(box->font());
    painter.drawText(4, box->fontMetrics().height(), shown);
    painter.end();
    const QImage inBox = box->grab().toImage();
    box->setReadOnly(false);
    const int expected = inkRows(alone, alone.rect());
    const int visible = inkRows(inBox, inBox.rect().adjusted(2, 0, -2, 0));
    if (visible < expected)
        problems << QStringLiteral("%1: typed text shows %2 of its %3 rows")
                        .arg(named(box))
                        .arg(visible)
                        .arg(expected);
    box->setText(before);
}

QRect buttonTextArea(const QPushButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
}

} // namespace

class TestScreens : public QObject
{
    Q_OBJECT

    Form* showWindow(const QString& name)
    {
        Form* window = Forms::instance().show(name);
        if (window && !QTest::qWaitForWindowExposed(window))
            return nullptr;
        return window;
    }
    Form* signInTyped()
    {
        folder->createStore(QStringLiteral("admin"), QStringLiteral("123456"));
        Form* window = showWindow(QStringLiteral("admin"));
        if (window) {
            QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("Text1")),
                             QStringLiteral("admin"));
            QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("Text2")),
                             QStringLiteral("123456"));
        }
        return window;
    }
    void inspect(QWidget* window, int widthTwips, int heightTwips, const QString& file);

    std::unique_ptr<DialogScript> dialogs;
    std::unique_ptr<TestFolder> folder;

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void init()
    {
        dialogs = std::make_unique<DialogScript>();
        folder = std::make_unique<TestFolder>();
        folder->makeDefaultPhoto();
    }
    void cleanup()
    {
        // No window may have complained on its way to the state shown.
        const QStringList texts = dialogs->get().messageTexts();
        folder.reset();
        dialogs.reset();
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(QLatin1Char('\n'))));
    }

    void signInWindow();
    void signedInWindow();
    void panelWindow();
    void passwordChangeWindow();
    void defaultPhotoWindowEmpty();
    void defaultPhotoWindowWithPicture();
};

void TestScreens::inspect(QWidget* window, int widthTwips, int heightTwips, const QString& file)
{
    QCOMPARE(window->size(), QSize(Twips::toPixels(widthTwips), Twips::toPixels(heightTwips)));
    const QImage image = window->grab().toImage();
    const QString folderName = qEnvironmentVariable("TALVIO_SCREENS_DIR");
    if (!folderName.isEmpty()) {
        QVERIFY(QDir().mkpath(folderName));
        QVERIFY(image.save(QDir(folderName).filePath(file), "PNG"));
    }

    QStringList problems;
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (!control->isVisible())
            continue;
        QWidget* parent = control->parentWidget();
        if (!parent->rect().contains(control->geometry()))
            problems << QStringLiteral("%1 leaves %2").arg(named(control), named(parent));
        // Inside a frame, clear of its border and caption.
        if (auto* frame = qobject_cast<QGroupBox*>(parent);
            frame && !frame->contentsRect().contains(control->geometry()))
            problems
                << QStringLiteral("%1 crosses the border of %2").arg(named(control), named(frame));
        for (QWidget* sibling : controls) {
            if (sibling != control && sibling->parentWidget() == parent && sibling->isVisible() &&
                named(control) < named(sibling) &&
                control->geometry().intersects(sibling->geometry()))
                problems << QStringLiteral("%1 overlaps %2").arg(named(control), named(sibling));
        }

        const QRect area = inWindow(control, window);
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            checkCaption(button, button->text(), buttonTextArea(button), Qt::AlignCenter, problems);
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            checkCaption(label, label->text(), label->contentsRect(), label->alignment(), problems);
        } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
            checkTypedText(box, problems);
        } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
            const QFontMetrics metrics(frame->font());
            if (metrics.horizontalAdvance(frame->title()) > frame->width())
                problems << QStringLiteral("%1: title does not fit").arg(named(frame));
            // Every frame of these windows has a red caption: the frame's area minus its
            // controls shows it.
            int red = redPixels(image, area);
            for (QWidget* inner : frame->findChildren<QWidget*>())
                if (inner->isVisible())
                    red -= redPixels(image, inWindow(inner, window));
            if (red == 0)
                problems << QStringLiteral("%1: caption is not red").arg(named(frame));
        }
        // Only controls given red text of their own may show red: a red frame caption must not
        // colour what the frame holds.
        const bool meantRed = control->testAttribute(Qt::WA_SetPalette) &&
                              isRed(control->palette().color(QPalette::WindowText));
        if (!qobject_cast<QGroupBox*>(control) && !meantRed &&
            control->findChildren<QWidget*>().isEmpty()) {
            if (const int red = redPixels(image, area))
                problems << QStringLiteral("%1 shows %2 red pixels").arg(named(control)).arg(red);
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestScreens::signInWindow()
{
    Form* window = signInTyped();
    QVERIFY(window);
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("Label1"))->isVisible());
    inspect(window, 7245, 4155, QStringLiteral("admin-signin.png"));
}

void TestScreens::signedInWindow()
{
    Form* window = signInTyped();
    QVERIFY(window);
    window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("Label4"))->isVisible());
    QVERIFY(window->findChild<QPushButton*>(QStringLiteral("c1"))->isVisible());
    inspect(window, 7245, 4155, QStringLiteral("admin-signedin.png"));
}

void TestScreens::panelWindow()
{
    Form* window = showWindow(QStringLiteral("admin1"));
    QVERIFY(window);
    inspect(window, 7245, 4155, QStringLiteral("admin1.png"));
}

void TestScreens::passwordChangeWindow()
{
    Form* window = showWindow(QStringLiteral("mimaxiugai"));
    QVERIFY(window);
    QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("t1")), QStringLiteral("123456"));
    for (QLineEdit* box : window->findChildren<QLineEdit*>(QStringLiteral("txtNewPWD")))
        box->setText(QStringLiteral("新口令 Qg"));
    inspect(window, 4395, 3090, QStringLiteral("mimaxiugai.png"));
}

void TestScreens::defaultPhotoWindowEmpty()
{
    Form* window = showWindow(QStringLiteral("tiantu"));
    QVERIFY(window);
    inspect(window, 5820, 3900, QStringLiteral("tiantu-empty.png"));
}

void TestScreens::defaultPhotoWindowWithPicture()
{
    // A landscape picture with something to recognise, so a stretched or cut preview shows.
    QImage picture(400, 300, QImage::Format_RGB32);
    QPainter painter(&picture);
    QRadialGradient sky(200, 150, 220);
    sky.setColorAt(0, QColor(250, 220, 120));
    sky.setColorAt(1, QColor(40, 90, 160));
    painter.fillRect(picture.rect(), sky);
    painter.setBrush(QColor(30, 140, 60));
    painter.drawEllipse(QPoint(200, 150), 100, 100);
    painter.end();
    const QString file = folder->path(QStringLiteral("picture.jpg"));
    QVERIFY(picture.save(file, "JPEG"));

    Form* window = showWindow(QStringLiteral("tiantu"));
    QVERIFY(window);
    dialogs->get().files.append(file);
    window->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QVERIFY(!window->findChild<PhotoBox*>(QStringLiteral("Picture1"))->isEmpty());
    inspect(window, 5820, 3900, QStringLiteral("tiantu-picture.png"));
}

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
