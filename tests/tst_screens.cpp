// Renders every window in its main states and checks what an operator sees of it: the window's
// size, controls inside their containers and clear of each other, no caption or typed text cut
// off, the type sizes and colours the window shows, and red nowhere else. With
// TALVIO_SCREENS_DIR set, each state is also written there as a PNG to look at.

#include "AppSetup.h"
#include "Controls.h"
#include "DemoFolder.h"
#include "Driving.h"
#include "Fonts.h"
#include "MemberWindow.h"
#include "Twips.h"
#include "WindowChecks.h"

#include <QApplication>
#include <QCameraDevice>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QMediaDevices>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QVector3D>

#include <functional>

namespace {
const QString kSample = QStringLiteral("国Qgjy");

// A window's client size in twips and what its controls show beyond the rules every window
// follows, as "names value; ...": a colour for their text or caption (the rest have the
// application's), "back" and the colour they show behind it, a type size other than 9 pt, or
// "outside" for controls the layout itself runs past their container's edge.
struct Look
{
    int widthTwips = 0;
    int heightTwips = 0;
    QString given;
};

const Look kSignIn{7245, 4155, "Frame1 Label4 red; Label1 21.75; Label2 Label3 15; Label4 36"};
const Look kPanel{7245, 4155, "Frame1 Label2 red; Label2 36"};
const Look kDefaultPhoto{5820, 3900, "Frame1 red"};
const Look kMembers{10680, 9285,
                    "Frame1 Frame4 ls lss Label11 red; Label10 blue; Frame2 Label8 Label9 "
                    "back#c0c0ff; ls lss Label10 Label11 Command12 Command13 Command14 10.5; "
                    "Label8 Label9 12"};
const Look kAddresses{9570, 4290,
                      "Label1 Label2 Label4 Label5 Label7 blue; Label3 green; Label6 red; "
                      "Command1 Command2 Command3 Command4 Label1 Label3 Label4 Label5 10.5; "
                      "Frame1 Line2 outside"};

bool isRed(QColor c)
{
    return c.red() >= 160 && c.green() <= 90 && c.blue() <= 90;
}

bool differs(QColor a, QColor b, int by = 8)
{
    return qAbs(a.red() - b.red()) > by || qAbs(a.green() - b.green()) > by ||
           qAbs(a.blue() - b.blue()) > by;
}

// One line of a report from its parts.
template <typename... Parts> QString said(const Parts&... parts)
{
    QString line;
    (QDebug(&line).noquote().nospace() << ... << parts);
    return line;
}

// Where two pictures of the same size differ.
QRect changed(const QImage& a, const QImage& b, int by)
{
    QRect bounds;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            bounds |=
                differs(a.pixelColor(x, y), b.pixelColor(x, y), by) ? QRect(x, y, 1, 1) : QRect();
    return bounds;
}

// The pixels of a control on the window that pass the test, leaving out its visible children.
int exposed(const QImage& image, QWidget* control, const std::function<bool(QColor)>& test)
{
    const auto area = [](QWidget* w) {
        return QRect(w->mapTo(w->window(), QPoint()), w->size());
    };
    const auto count = [&](const QRect& part) {
        int n = 0;
        const QRect inside = part.intersected(area(control)).intersected(image.rect());
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                n += test(image.pixelColor(x, y)) ? 1 : 0;
        return n;
    };
    int n = count(area(control));
    for (QWidget* inner : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        n -= inner->isVisible() ? count(area(inner)) : 0;
    return n;
}

// Draws a control with its text (or a sample typed into a box) and without: the pixels that
// change are the text's ink. It must show inside the area the text is drawn in, as much of it as
// the text drawn alone in the control's font has, and in the wanted colour: antialiased ink lies
// on the way from the back to it.
void checkText(QWidget* c, QColor wanted, QStringList& problems)
{
    auto* button = qobject_cast<QPushButton*>(c);
    auto* box = qobject_cast<QLineEdit*>(c);
    auto* page = qobject_cast<QPlainTextEdit*>(c);
    const char* property = c->inherits("QGroupBox") ? "title" : page ? "plainText" : "text";
    const QVariant before = c->property(property);
    const QVariant readOnly = c->property("readOnly");
    const QString text = box || page ? kSample : before.toString();
    if (!before.isValid() || text.trimmed().isEmpty())
        return;
    const QStringList lines =
        button ? Controls::captionLines(button)
               : QStringList{box && box->echoMode() ? QString(text.size(), u'@') : text};
    if (button && lines.join(QString()).remove(u' ') != QString(text).remove(u' '))
        problems << said(c, " draws its caption as ", lines);
    QWidget* painted = page ? page->viewport() : c;
    QStyleOptionButton option;
    option.initFrom(c);
    const QRect area = button
                           ? c->style()->subElementRect(QStyle::SE_PushButtonContents, &option, c)
                       : qobject_cast<QLabel*>(c) ? c->contentsRect()
                                                  : painted->rect();
    const QMargins margins = c->contentsMargins(); // a new title resets a frame's margins
    c->setProperty("readOnly", box || page ? QVariant(true) : readOnly); // no caret to count as ink
    const auto drawn = [&](const QString& s) {
        c->setProperty(property, s);
        return painted->grab().toImage().copy(area);
    };
    const QImage blank = drawn(QString());
    const QImage full = drawn(text);
    c->setProperty(property, before);
    c->setProperty("readOnly", readOnly);
    c->setContentsMargins(margins);

    const QColor base = painted->palette().color(painted->backgroundRole());
    const auto v = [](QColor p) {
        return QVector3D(p.redF(), p.greenF(), p.blueF());
    };
    const QVector3D way = v(wanted) - v(base);
    int right = 0;
    int other = 0;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x)
            if (const QVector3D d = v(full.pixelColor(x, y)) - v(base);
                differs(full.pixelColor(x, y), blank.pixelColor(x, y)) && d.length() > 0.19f)
                ++(QVector3D::dotProduct(d, way) > 0.95f * d.length() * way.length() ? right
                                                                                     : other);
    const QFontMetrics metrics(painted->font());
    const QImage empty = WindowChecks::flat(
        {metrics.horizontalAdvance(text) + 16, metrics.height() * int(lines.size() + 1)}, base);
    QImage alone = empty;
    QPainter painter(&alone);
    painter.setFont(painted->font());
    painter.setPen(wanted);
    painter.drawText(alone.rect().adjusted(8, 8, 0, 0), 0, lines.join(u'\n'));
    painter.end();
    // Faint ink counts for where the text reaches, solid ink for how much of it shows: the edges
    // of antialiased characters depend on where a line happens to start.
    const QRect faint = changed(full, blank, 8);
    const QRect solid = changed(full, blank, 100);
    const QRect needed = changed(alone, empty, 100);
    if (solid.height() < needed.height() || (!box && !page && solid.width() < needed.width()))
        problems << said(c, " shows ", solid.size(), " of the ", needed.size(), " of ink of ",
                         lines);
    // Ink on a label's first or last row sits on its edge and looks cut off beside the boxes.
    else if (qobject_cast<QLabel*>(c) && (faint.top() == 0 || faint.bottom() == area.height() - 1))
        problems << said(c, " inks rows ", faint.top(), "-", faint.bottom(), " of ", area.height());
    if (right < 8 || other > right / 20)
        problems << said(c, " is not ", wanted.name(), ": ", right, " pixels, ", other, " other");
}

// The parts of scroll areas, headers and combo boxes are placed by Qt, not by the window.
bool placedByQt(const QWidget* control)
{
    for (const QWidget* up = control->parentWidget(); up; up = up->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(up) || up->inherits("QComboBox"))
            return true;
    return false;
}

void inspect(QWidget* window, const Look& look, const QString& file)
{
    QCOMPARE(window->size(),
             QSize(Twips::toPixels(look.widthTwips), Twips::toPixels(look.heightTwips)));
    const QImage image = window->grab().toImage();
    if (const QString dir = qEnvironmentVariable("TALVIO_SCREENS_DIR"); !dir.isEmpty())
        QVERIFY(QDir().mkpath(dir) && image.save(QDir(dir).filePath(file), "PNG"));
    QMultiHash<QString, QString> given;
    for (const QString& group : look.given.split(u';')) {
        const QStringList words = group.split(u' ', Qt::SkipEmptyParts);
        for (const QString& name : words.mid(0, words.size() - 1))
            given.insert(name, words.last());
    }
    QStringList problems;
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    for (QWidget* c : controls) {
        if (!c->isVisible())
            continue;
        QColor ink = QApplication::palette().color(
            c->isEnabled() ? QPalette::Active : QPalette::Disabled, c->foregroundRole());
        QColor back;
        double size = 9;
        for (const QString& value : given.values(c->objectName())) {
            size = value.toDouble() > 0 ? value.toDouble() : size;
            ink = QColor::isValidColor(value) ? QColor(value) : ink;
            back = value.startsWith(u"back") ? QColor(value.mid(4)) : back;
        }
        QWidget* parent = c->parentWidget();
        if (!placedByQt(c)) {
            if (!parent->rect().contains(c->geometry()) &&
                !given.contains(c->objectName(), "outside"))
                problems << said(c, " leaves ", parent);
            if (auto* frame = qobject_cast<QGroupBox*>(parent);
                frame && !frame->contentsRect().contains(c->geometry()))
                problems << said(c, " crosses the border of ", frame);
            for (QWidget* s : controls)
                if (s->parentWidget() == parent && s->isVisible() && c < s &&
                    c->geometry().intersects(s->geometry()))
                    problems << said(c, " overlaps ", s);
        }
        if (const QFontInfo font(c->font()); font.family() != QFontInfo(Fonts::song(9)).family() ||
                                             qAbs(font.pointSizeF() - size) > 0.1)
            problems << said(c, " is in ", font.family(), " ", font.pointSizeF(), " pt");
        checkText(c, ink, problems);
        if (const int red = isRed(ink) ? 0 : exposed(image, c, isRed))
            problems << said(c, " shows ", red, " red pixels");
        if (back.isValid() && 2 * exposed(image, c, [back](QColor p) {
                                  return !differs(p, back, 4);
                              }) < exposed(image, c, [](QColor) { return true; }))
            problems << said(c, ": back colour is not ", back.name());
        if (auto* grid = qobject_cast<QTableView*>(c)) {
            QHeaderView* header = grid->horizontalHeader();
            for (int i = 0; i < header->count(); ++i)
                // The id and photo columns are kept practically invisible on purpose.
                if (const QString caption = grid->model()->headerData(i, Qt::Horizontal).toString();
                    header->sectionSize(i) >= Twips::toPixels(100) &&
                    header->fontMetrics().tightBoundingRect(caption.trimmed()).width() >
                        header->sectionSize(i) - 4)
                    problems << said("grid caption ", caption, " does not fit");
            if (grid->horizontalScrollBar()->isVisible() ||
                header->height() < header->fontMetrics().height() ||
                (grid->model()->rowCount() == 10 && grid->verticalScrollBar()->isVisible()))
                problems << said("a page of the grid does not show whole");
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}
} // namespace

class TestScreens : public QObject
{
    Q_OBJECT

    std::unique_ptr<DialogScript> dialogs;
    std::unique_ptr<TestFolder> folder;

    // Shows a window, brings it into the state to check and checks it.
    void shoot(const QString& name, const Look& look, const QString& file,
               const std::function<void(Form*)>& into = {})
    {
        if (QTest::currentTestFailed())
            return;
        Form* window = Forms::instance().show(name);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        if (into)
            into(window);
        if (!QTest::currentTestFailed())
            inspect(window, look, file);
    }

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
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(u'\n')));
    }

    void signInWindow()
    {
        folder->createStore(QStringLiteral("admin"), QStringLiteral("123456"));
        shoot("admin", kSignIn, "admin-signin.png", [](Form* w) {
            QTest::keyClicks(findIn<QLineEdit>(w, "Text1"), QStringLiteral("admin"));
            QTest::keyClicks(findIn<QLineEdit>(w, "Text2"), QStringLiteral("123456"));
        });
        shoot("admin", kSignIn, "admin-signedin.png", [](Form* w) {
            WindowChecks::click(w, "Command1");
            QVERIFY(findIn<QLabel>(w, "Label4")->isVisible() &&
                    findIn<QWidget>(w, "c1")->isVisible());
        });
    }
    void panelWindow() { shoot("admin1", kPanel, "admin1.png"); }
    void passwordChangeWindow()
    {
        shoot("mimaxiugai", {4395, 3090}, "mimaxiugai.png", [](Form* w) {
            QTest::keyClicks(findIn<QLineEdit>(w, "t1"), QStringLiteral("123456"));
            for (QLineEdit* box : w->findChildren<QLineEdit*>(QStringLiteral("txtNewPWD")))
                typeText(box, QStringLiteral("新口令 Qg"));
        });
    }
    void defaultPhotoWindow()
    {
        // A landscape picture with something to recognise, so a stretched or cut preview shows.
        QImage picture = WindowChecks::flat({400, 300}, QColor(40, 90, 160));
        QPainter(&picture).fillRect(100, 50, 200, 200, QColor(30, 140, 60));
        QVERIFY(picture.save(folder->path(QStringLiteral("picture.jpg")), "JPEG"));
        dialogs->get().files.append(folder->path(QStringLiteral("picture.jpg")));
        shoot("tiantu", kDefaultPhoto, "tiantu-empty.png");
        shoot("tiantu", kDefaultPhoto, "tiantu-picture.png", [](Form* w) {
            WindowChecks::click(w, "Command1");
            QVERIFY(!findIn<PhotoBox>(w, "Picture1")->isEmpty());
        });
    }
    void memberWindowEmpty()
    {
        folder->createStore();
        shoot("xianshi", kMembers, "xianshi-empty.png", [](Form* form) {
            const MemberTests::Window w = MemberTests::findWindow(form);
            QVERIFY(w.ok() && w.lss->text() == MemberTests::kEmptyStore);
        });
    }
    void memberWindowSelected()
    {
        QVERIFY(DemoFolder::create(folder->root(), 25));
        shoot("xianshi", kMembers, "xianshi-selected.png", [](Form* form) {
            const MemberTests::Window w = MemberTests::findWindow(form);
            QVERIFY(w.ok());
            w.clickCell(3, 1);
            QVERIFY(w.t8->text() == w.cell(3, 0) && !w.photo->isEmpty());
        });
    }
    void addressWindow()
    {
        QVERIFY(DemoFolder::create(folder->root(), 12));
        shoot("mail", kAddresses, "mail.png", [](Form* w) {
            WindowChecks::click(w, "Command1");
            QVERIFY(findIn<QPlainTextEdit>(w, "t1")->toPlainText().contains(u'@'));
        });
    }
    void cameraWindow()
    {
        if (!QMediaDevices::videoInputs().isEmpty())
            QSKIP("this machine has a camera; the window is shown here without one");
        // The picture box is laid out 15 twips wider than the window it fills.
        shoot("shipin", {4080, 3015, "Pic outside"}, "shipin.png",
              [](Form* w) { QCOMPARE(w->windowTitle(), QStringLiteral("视频监控")); });
    }
};

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
