// Renders every window in its main states and checks what an operator sees of it: the window's
// size, controls inside their containers and clear of each other, in the Song face, no caption or
// typed text cut off. With TALVIO_SCREENS_DIR set, each state is also written there as a PNG.

#include "AppSetup.h"
#include "Controls.h"
#include "DemoFolder.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "FrameSource.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "PhotoBox.h"
#include "Twips.h"
#include "WindowChecks.h"

#include <QCameraDevice>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QMediaDevices>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTimer>
#include <QVector3D>

#include <optional>

// One line of a report from its parts.
template <typename... Parts> QString said(const Parts&... parts)
{
    QString line;
    (QDebug(&line).noquote().nospace() << ... << parts);
    return line;
}

// A camera that always sees a figure before a wall.
class StillCamera : public FrameSource
{
public:
    bool hasCamera() const override { return true; }
    void setPreview(QVideoWidget*) override {}
    void capture() override
    {
        QImage frame = WindowChecks::flat({640, 480}, QColor(190, 200, 210));
        QPainter(&frame).fillRect(QRect(250, 120, 140, 360), QColor(60, 90, 160));
        emit taken(frame);
    }
};

using namespace Qt::StringLiterals;

class TestScreens : public QObject
{
    Q_OBJECT

    DialogScript dialogs;
    std::optional<TestFolder> folder;

    static QVector3D rgb(QColor c) { return {c.redF(), c.greenF(), c.blueF()}; }

    // Where two pictures of the same size differ.
    static QRect changed(const QImage& a, const QImage& b, float by)
    {
        QRect r;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                // How far apart the colours are, as a share of the way from black to white.
                if ((rgb(a.pixelColor(x, y)) - rgb(b.pixelColor(x, y))).length() > by)
                    r |= QRect(x, y, 1, 1);
        return r;
    }

    // Draws a control with its text (or a sample typed into a box) and without: the pixels that
    // change are the text's ink. It must show inside the area the text is drawn in, as much of it
    // as the text drawn alone in the control's font has.
    static void checkText(QWidget* c, QStringList& problems)
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
        // Compared in device pixels, so that a scaled screen is checked as finely as a plain one.
        const qreal ratio = painted->devicePixelRatioF();
        const QRect pixels(area.topLeft() * ratio, area.size() * ratio);
        const QMargins margins = c->contentsMargins(); // a new title resets a frame's margins
        c->setProperty("readOnly", box || page ? QVariant(true) : readOnly); // no caret as ink
        const auto drawn = [&](const QString& s) {
            c->setProperty(property, s);
            return painted->grab().toImage().copy(pixels);
        };
        const QImage blank = drawn(QString()), full = drawn(text);
        c->setProperty(property, before);
        c->setProperty("readOnly", readOnly);
        c->setContentsMargins(margins);

        const QColor base = painted->palette().color(painted->backgroundRole());
        const QFontMetrics metrics(painted->font());
        const QImage empty = WindowChecks::flat(
            QSize(metrics.horizontalAdvance(text) + 16, metrics.height() * int(lines.size() + 1)) *
                ratio,
            base);
        QImage alone = empty;
        alone.setDevicePixelRatio(ratio);
        QPainter painter(&alone);
        painter.setFont(painted->font());
        painter.setPen(painted->palette().color(painted->foregroundRole()));
        painter.drawText(alone.rect().adjusted(8, 8, 0, 0), 0, lines.join(u'\n'));
        painter.end();
        // Faint ink counts for where the text reaches, solid ink for how much of it shows: the
        // edges of antialiased characters depend on where a line happens to start.
        const QRect faint = changed(full, blank, 0.055f), solid = changed(full, blank, 0.67f);
        const QRect needed = changed(alone, empty, 0.67f);
        // On a scaled screen a line may start half a pixel lower than drawn alone.
        const int slack = qCeil(ratio) - 1;
        if (solid.height() + slack < needed.height() ||
            (!box && !page && solid.width() + slack < needed.width()))
            problems << said(c, " shows ", solid.size(), " of the ", needed.size(), " of ink");
        // Ink on a label's first or last row sits on its edge and looks cut off beside the boxes.
        else if (qobject_cast<QLabel*>(c) &&
                 (!faint.top() || faint.bottom() == pixels.height() - 1))
            problems << said(c, " inks rows ", faint.top(), "-", faint.bottom(), " of ", area);
    }

    // Shows a window, lets the test bring it into the state to check, and checks it.
    // `look` is the window's client size in twips, then the controls its layout runs past their
    // container's edge.
    static void shoot(QString name, QString look, QString file, std::function<void(Form*)> into)
    {
        Form* window = Forms::instance().show(name);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        into(window);
        const QStringList twips = look.split(u' ');
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
            // Named controls are placed by the window, the parts of scroll areas and combos by Qt.
            QWidget* parent = c->parentWidget();
            if (!c->objectName().isEmpty() && !c->objectName().startsWith(u"qt_")) {
                if (!parent->rect().contains(c->geometry()) && !twips.contains(c->objectName()))
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
                font.family() != QFontInfo(Fonts::song(9)).family())
                problems << said(c, " is in ", font.family());
            checkText(c, problems);
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
        // A desktop set to a larger font hands it to the program before anything else.
        if (const int points = qEnvironmentVariableIntValue("TALVIO_SCREENS_FONT_POINTS")) {
            QFont larger = QApplication::font();
            larger.setPointSize(points);
            QApplication::setFont(larger);
        }
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void init() { folder.emplace().makeDefaultPhoto(); }
    void cleanup()
    {
        // No window may have complained on its way to the state shown.
        const QStringList texts = dialogs->messageTexts();
        dialogs->clear();
        folder.reset();
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(u'\n')));
    }

    void signInWindows()
    {
        folder->createStore(QStringLiteral("admin"), QStringLiteral("123456"));
        shoot("admin", "7245 4155", "admin-signin.png", [](Form* w) {
            QTest::keyClicks(w->findChild<QLineEdit*>("Text1"), QStringLiteral("admin"));
            QTest::keyClicks(w->findChild<QLineEdit*>("Text2"), QStringLiteral("123456"));
        });
        shoot("admin", "7245 4155", "admin-signedin.png", [](Form* w) {
            WindowChecks::click(w, "Command1");
            QVERIFY(w->findChild<QWidget*>("Label4")->isVisible());
        });
        shoot("admin1", "7245 4155", "admin1.png", [](Form*) {});
        shoot("mimaxiugai", "4395 3090", "mimaxiugai.png", [](Form*) {});
    }
    void firstStartWindow()
    {
        shoot("FirstStart", "7245 4155", "first-start.png", [](Form* w) {
            w->findChild<QLineEdit*>("name")->insert(QStringLiteral("张经理"));
            QTest::keyClicks(w->findChild<QLineEdit*>("password"), QStringLiteral("123456"));
        });
    }
    void photoWindows()
    {
        // A landscape picture, so a stretched or cut preview shows.
        dialogs->files << folder->makeJpeg(QStringLiteral("p.jpg"), {400, 300}, Qt::blue);
        shoot("tiantu", "5820 3900", "tiantu-empty.png", [](Form*) {});
        shoot("tiantu", "5820 3900", "tiantu-picture.png", [](Form* w) {
            WindowChecks::click(w, "Command1");
            QVERIFY(!w->findChild<PhotoBox*>("Picture1")->isEmpty());
        });
        // Shown here without a camera; the picture box is laid out 15 twips wider than the window.
        if (QMediaDevices::videoInputs().isEmpty())
            shoot("shipin", "4080 3390 Pic", "shipin.png",
                  [](Form* w) { QVERIFY(!w->findChild<QPushButton*>("Command1")->isEnabled()); });
    }
    void memberWindowWithTakenPhoto()
    {
        QVERIFY(DemoFolder::create(folder->root(), 25));
        FrameSource::setFactory([] { return std::make_unique<StillCamera>(); });
        shoot("xianshi", "10680 9285", "xianshi-taken.png", [](Form*) {
            Form* camera = Forms::instance().show(QStringLiteral("shipin"));
            WindowChecks::click(camera, "Command1");
            QVERIFY(!Module1::PhotoSource.isEmpty());
        });
        shoot("shipin", "4080 3390 Pic", "shipin-camera.png", [](Form*) {});
        FrameSource::setFactory({});
    }
    void memberWindowEmpty()
    {
        folder->createStore();
        shoot("xianshi", "10680 9285", "xianshi-empty.png", [](Form* w) {
            QCOMPARE(w->findChild<QLabel*>("lss")->text(), MemberTests::kEmptyStore);
        });
    }
    void memberAndAddressWindows()
    {
        QVERIFY(DemoFolder::create(folder->root(), 25));
        shoot("xianshi", "10680 9285", "xianshi-selected.png", [](Form* form) {
            const MemberTests::Window w = MemberTests::Window(form);
            w.clickCell(3, 1);
            QVERIFY(w.t8->text() == w.cell(3, 0) && !w.photo->isEmpty());
        });
        shoot("mail", "9570 4290 Frame1 Line2", "mail.png", [](Form* w) {
            WindowChecks::click(w, "Command1");
            QVERIFY(w->findChild<QPlainTextEdit*>("t1")->toPlainText().contains(u'@'));
        });
    }

    // Qt's own file dialog and message box, as the operator meets them: no English word in them.
    void standardDialogsSpeakChinese_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("open") << u"open"_s;
        QTest::newRow("save") << u"save"_s;
        QTest::newRow("folder") << u"folder"_s;
        QTest::newRow("question") << u"question"_s;
    }
    void standardDialogsSpeakChinese()
    {
        QFETCH(QString, kind);
        QVERIFY(DemoFolder::create(folder->root(), 1));
        QStringList english;
        QTimer look;
        look.callOnTimeout([&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || !QTest::qWaitForWindowExposed(dialog))
                return;
            look.stop();
            QStringList texts; // the title and the file types are the caller's
            for (auto* b : dialog->findChildren<QAbstractButton*>())
                texts << b->text() << b->toolTip();
            for (auto* l : dialog->findChildren<QLabel*>())
                texts << l->text();
            for (auto* h : dialog->findChildren<QHeaderView*>())
                for (int i = 0; h->isVisible() && i < h->count(); ++i)
                    texts << h->model()->headerData(i, h->orientation()).toString();
            static const QRegularExpression word(u"[A-Za-z]{2,}"_s);
            for (const QString& t : texts)
                if (QString(t).remove(folder->root()).contains(word))
                    english << t;
            if (const QString dir = qEnvironmentVariable("TALVIO_SCREENS_DIR"); !dir.isEmpty())
                dialog->grab().save(QDir(dir).filePath(u"dialog-"_s + kind + u".png"_s));
            dialog->close();
        });
        look.start(20);
        WidgetDialogs real;
        const QString photo = folder->root() + u"/照片"_s;
        if (kind == u"open")
            real.openFile(nullptr, u"选择照片"_s, u"图片文件|*.jpg"_s, photo);
        else if (kind == u"save")
            real.saveFile(nullptr, u"导出到 CSV 文件"_s, u"CSV 文件|*.csv"_s, photo + u"/a.csv"_s);
        else if (kind == u"folder")
            real.openFolder(nullptr, u"选择文件夹"_s, folder->root());
        else
            real.message(nullptr, u"确定？"_s, u"系统提示"_s, Dialogs::Icon::Question,
                         Dialogs::Buttons::YesNo);
        QVERIFY2(english.isEmpty(), qPrintable(english.join(u" | ")));
    }
};

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
