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

#include <QCameraDevice>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QMediaDevices>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QVector3D>

#include <optional>

// One line of a report from its parts.
template <typename... Parts> QString said(const Parts&... parts)
{
    QString line;
    (QDebug(&line).noquote().nospace() << ... << parts);
    return line;
}

class TestScreens : public QObject
{
    Q_OBJECT

    // A window's client size in twips, then what its controls show beyond the rules every window
    // follows, as "names value": a colour for their text or caption (the rest have the
    // application's), "back" and the colour shown behind them, a type size other than 9 pt, or
    // "outside" for controls the layout itself runs past their container's edge.
    static constexpr const char* kSignIn =
        "7245 4155; Frame1 Label4 red; Label1 21.75; Label2 Label3 15; Label4 36";
    static constexpr const char* kMembers =
        "10680 9285; Frame1 Frame4 ls lss Label11 red; Label10 blue; Frame2 Label8 Label9 "
        "back#c0c0ff; ls lss Label10 Label11 Command12 Command13 Command14 10.5; Label8 Label9 12";

    std::optional<DialogScript> dialogs;
    std::optional<TestFolder> folder;

    static bool isRed(QColor c) { return c.red() >= 160 && c.green() <= 90 && c.blue() <= 90; }
    static QVector3D rgb(QColor c) { return {c.redF(), c.greenF(), c.blueF()}; }
    // How far apart two colours are, as a share of the way from black to white.
    static bool differs(QColor a, QColor b, float by) { return (rgb(a) - rgb(b)).length() > by; }

    // Where two pictures of the same size differ.
    static QRect changed(const QImage& a, const QImage& b, float by)
    {
        QRect r;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                r |= differs(a.pixelColor(x, y), b.pixelColor(x, y), by) ? QRect(x, y, 1, 1)
                                                                         : QRect();
        return r;
    }

    // The share of a control's pixels on the window, leaving out its visible children, that pass.
    static double share(const QImage& image, QWidget* c, const std::function<bool(QColor)>& test)
    {
        int passed = 0, all = 0;
        const QRect own = QRect(c->mapTo(c->window(), QPoint()), c->size()) & image.rect();
        for (int y = own.top(); y <= own.bottom(); ++y)
            for (int x = own.left(); x <= own.right(); ++x)
                if (!c->childAt(c->mapFrom(c->window(), QPoint(x, y))) && ++all)
                    passed += test(image.pixelColor(x, y)) ? 1 : 0;
        return all ? double(passed) / all : 0;
    }

    // Draws a control with its text (or a sample typed into a box) and without: the pixels that
    // change are the text's ink. It must show inside the area the text is drawn in, as much of it
    // as the text drawn alone in the control's font has, and in the wanted colour: antialiased ink
    // lies on the way from the back to it.
    static void checkText(QWidget* c, QColor wanted, QStringList& problems)
    {
        auto* button = qobject_cast<QPushButton*>(c);
        auto* box = qobject_cast<QLineEdit*>(c);
        auto* page = qobject_cast<QPlainTextEdit*>(c);
        const char* property = c->inherits("QGroupBox") ? "title" : page ? "plainText" : "text";
        const QVariant before = c->property(property), readOnly = c->property("readOnly");
        const QString text = box || page ? QStringLiteral("国Qgjy") : before.toString();
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
        const QRect area =
            button ? c->style()->subElementRect(QStyle::SE_PushButtonContents, &option, c)
                   : (qobject_cast<QLabel*>(c) ? c->contentsRect() : painted->rect());
        const QMargins margins = c->contentsMargins(); // a new title resets a frame's margins
        c->setProperty("readOnly", box || page ? QVariant(true) : readOnly); // no caret as ink
        const auto drawn = [&](const QString& s) {
            c->setProperty(property, s);
            return painted->grab().toImage().copy(area);
        };
        const QImage blank = drawn(QString()), full = drawn(text);
        c->setProperty(property, before);
        c->setProperty("readOnly", readOnly);
        c->setContentsMargins(margins);

        const QColor base = painted->palette().color(painted->backgroundRole());
        const QVector3D w = rgb(wanted) - rgb(base);
        int ok = 0, bad = 0;
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x)
                if (const QVector3D d = rgb(full.pixelColor(x, y)) - rgb(base);
                    differs(full.pixelColor(x, y), blank.pixelColor(x, y), 0.055f) &&
                    d.length() > 0.19f)
                    ++(QVector3D::dotProduct(d, w) > 0.95f * d.length() * w.length() ? ok : bad);
        const QFontMetrics metrics(painted->font());
        const QImage empty = WindowChecks::flat(
            {metrics.horizontalAdvance(text) + 16, metrics.height() * int(lines.size() + 1)}, base);
        QImage alone = empty;
        QPainter painter(&alone);
        painter.setFont(painted->font());
        painter.setPen(wanted);
        painter.drawText(alone.rect().adjusted(8, 8, 0, 0), 0, lines.join(u'\n'));
        painter.end();
        // Faint ink counts for where the text reaches, solid ink for how much of it shows: the
        // edges of antialiased characters depend on where a line happens to start.
        const QRect faint = changed(full, blank, 0.055f), solid = changed(full, blank, 0.67f);
        const QRect needed = changed(alone, empty, 0.67f);
        if (solid.height() < needed.height() || (!box && !page && solid.width() < needed.width()))
            problems << said(c, " shows ", solid.size(), " of the ", needed.size(), " of ink");
        // Ink on a label's first or last row sits on its edge and looks cut off beside the boxes.
        else if (qobject_cast<QLabel*>(c) && (!faint.top() || faint.bottom() == area.height() - 1))
            problems << said(c, " inks rows ", faint.top(), "-", faint.bottom(), " of ", area);
        if (ok < 8 || bad > ok / 20)
            problems << said(c, " is not ", wanted.name(), ": ", ok, " px, ", bad, " of others");
    }

    // Shows a window, lets the test bring it into the state to check, and checks it.
    static void shoot(QString name, QString look, QString file, std::function<void(Form*)> into)
    {
        Form* window = Forms::instance().show(name);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        into(window);
        const QStringList twips = look.section(u';', 0, 0).split(u' ');
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(window->size(), Twips::rect(0, 0, twips[0].toInt(), twips[1].toInt()).size());
        const QImage image = window->grab().toImage();
        if (const QString dir = qEnvironmentVariable("TALVIO_SCREENS_DIR"); !dir.isEmpty())
            QVERIFY(QDir().mkpath(dir) && image.save(QDir(dir).filePath(file), "PNG"));
        QStringList problems;
        const QList<QWidget*> controls = window->findChildren<QWidget*>();
        for (QWidget* c : controls) {
            if (!c->isVisible())
                continue;
            QColor ink = QPalette().color(c->foregroundRole()); // no control is ever disabled
            QColor back;
            double size = 9;
            for (const QString& group : look.split(u';').mid(1))
                if (const QStringList words = group.split(u' ', Qt::SkipEmptyParts);
                    words.mid(0, words.size() - 1).contains(c->objectName())) {
                    size = words.last().toDouble() > 0 ? words.last().toDouble() : size;
                    ink = QColor::isValidColor(words.last()) ? QColor(words.last()) : ink;
                    back = words.last().startsWith(u"back") ? QColor(words.last().mid(4)) : back;
                }
            // Named controls are placed by the window, the parts of scroll areas and combos by Qt.
            QWidget* parent = c->parentWidget();
            if (!c->objectName().isEmpty() && !c->objectName().startsWith(u"qt_")) {
                if (!parent->rect().contains(c->geometry()) &&
                    !look.contains(c->objectName() + " outside"))
                    problems << said(c, " leaves ", parent);
                if (auto* frame = qobject_cast<QGroupBox*>(parent);
                    frame && !frame->contentsRect().contains(c->geometry()))
                    problems << said(c, " crosses the border of ", frame);
                for (QWidget* s : controls)
                    if (s->parentWidget() == parent && s->isVisible() && c < s &&
                        !s->objectName().isEmpty() && c->geometry().intersects(s->geometry()))
                        problems << said(c, " overlaps ", s);
            }
            if (const QFontInfo font(c->font());
                font.family() != QFontInfo(Fonts::song(9)).family() ||
                qAbs(font.pointSizeF() - size) > 0.1)
                problems << said(c, " is in ", font.family(), " ", font.pointSizeF(), " pt");
            checkText(c, ink, problems);
            if (!isRed(ink) && share(image, c, isRed) > 0)
                problems << said(c, " shows red");
            if (back.isValid() &&
                share(image, c, [back](QColor p) { return !differs(p, back, 0.03f); }) < 0.5)
                problems << said(c, ": back colour is not ", back.name());
            if (auto* grid = qobject_cast<QTableView*>(c)) {
                QHeaderView* h = grid->horizontalHeader();
                const QFontMetrics m = h->fontMetrics();
                bool whole =
                    !grid->horizontalScrollBar()->isVisible() && h->height() >= m.height() &&
                    (h->model()->rowCount() < 10 || !grid->verticalScrollBar()->isVisible());
                // The id and photo columns are kept practically invisible on purpose.
                for (int i = 0; i < h->count(); ++i)
                    whole &= h->sectionSize(i) < Twips::toPixels(100) ||
                             m.horizontalAdvance(
                                 h->model()->headerData(i, Qt::Horizontal).toString().trimmed()) <=
                                 h->sectionSize(i) - 4;
                if (!whole)
                    problems << said(grid, " does not show a page with its captions whole");
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(file + u'\n' + problems.join(u'\n')));
    }

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void init()
    {
        dialogs.emplace();
        folder.emplace().makeDefaultPhoto();
    }
    void cleanup()
    {
        // No window may have complained on its way to the state shown.
        const QStringList texts = dialogs->get().messageTexts();
        folder.reset();
        dialogs.reset();
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(u'\n')));
    }

    void signInWindows()
    {
        folder->createStore(QStringLiteral("admin"), QStringLiteral("123456"));
        shoot("admin", kSignIn, "admin-signin.png", [](Form* w) {
            QTest::keyClicks(findIn<QLineEdit>(w, "Text1"), QStringLiteral("admin"));
            QTest::keyClicks(findIn<QLineEdit>(w, "Text2"), QStringLiteral("123456"));
        });
        shoot("admin", kSignIn, "admin-signedin.png", [](Form* w) {
            WindowChecks::click(w, "Command1");
            QVERIFY(findIn<QWidget>(w, "Label4")->isVisible() &&
                    findIn<QWidget>(w, "c1")->isVisible());
        });
        shoot("admin1", "7245 4155; Frame1 Label2 red; Label2 36", "admin1.png", [](Form*) {});
        shoot("mimaxiugai", "4395 3090", "mimaxiugai.png", [](Form* w) {
            QTest::keyClicks(findIn<QLineEdit>(w, "t1"), QStringLiteral("123456"));
            for (QLineEdit* box : w->findChildren<QLineEdit*>(QStringLiteral("txtNewPWD")))
                typeText(box, QStringLiteral("新口令 Qg"));
        });
    }
    void photoWindows()
    {
        // A landscape picture, so a stretched or cut preview shows.
        dialogs->get().files << folder->makeJpeg(QStringLiteral("p.jpg"), {400, 300}, Qt::blue);
        shoot("tiantu", "5820 3900; Frame1 red", "tiantu-empty.png", [](Form*) {});
        shoot("tiantu", "5820 3900; Frame1 red", "tiantu-picture.png", [](Form* w) {
            WindowChecks::click(w, "Command1");
            QVERIFY(!findIn<PhotoBox>(w, "Picture1")->isEmpty());
        });
        // Shown here without a camera; the picture box is laid out 15 twips wider than the window.
        if (QMediaDevices::videoInputs().isEmpty())
            shoot("shipin", "4080 3015; Pic outside", "shipin.png",
                  [](Form* w) { QCOMPARE(w->windowTitle(), QStringLiteral("视频监控")); });
    }
    void memberWindowEmpty()
    {
        folder->createStore();
        shoot("xianshi", kMembers, "xianshi-empty.png", [](Form* w) {
            QCOMPARE(findIn<QLabel>(w, "lss")->text(), MemberTests::kEmptyStore);
        });
    }
    void memberAndAddressWindows()
    {
        QVERIFY(DemoFolder::create(folder->root(), 25));
        shoot("xianshi", kMembers, "xianshi-selected.png", [](Form* form) {
            const MemberTests::Window w = MemberTests::findWindow(form);
            QVERIFY(w.ok());
            w.clickCell(3, 1);
            QVERIFY(w.t8->text() == w.cell(3, 0) && !w.photo->isEmpty());
        });
        shoot("mail",
              "9570 4290; Label1 Label2 Label4 Label5 Label7 blue; Label3 green; Label6 red; "
              "Command1 Command2 Command3 Command4 Label1 Label3 Label4 Label5 10.5; "
              "Frame1 outside; Line2 outside",
              "mail.png", [](Form* w) {
                  WindowChecks::click(w, "Command1");
                  QVERIFY(findIn<QPlainTextEdit>(w, "t1")->toPlainText().contains(u'@'));
              });
    }
};

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
