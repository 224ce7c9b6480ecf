// The windows an operator works in from the sign-in on, over a real store: the sign-in window
// and the panel, the password change, the default photo window with the photo box and the fit it
// draws by, the camera window on a machine without a camera, the address summary window, and the
// member window's list and detail view (ten members a page newest first, the page and record
// buttons, the empty store, a lost photo repaired from the default photo) with its condition
// query, which narrows the list to the members matching the one filled field, lowest id first.

#include "Accounts.h"
#include "AddressBox.h"
#include "AppSetup.h"
#include "FileChecks.h"
#include "FitPhoto.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "ProgramFolder.h"
#include "RecordFixture.h"
#include "WindowChecks.h"

#include <QCameraDevice>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMediaDevices>
#include <QPointer>
#include <QSignalSpy>

#include <optional>

using namespace Qt::StringLiterals;
using namespace MemberTests;
using RecordTests::bytesOf, RecordTests::insertRow, WindowChecks::settle;
using RecordTests::fieldsOf, RecordTests::line, RecordTests::photoFiles, RecordTests::summaries;
constexpr auto kCritical = Dialogs::Icon::Critical;
const QString kChanged = line(u"口令已被成功修改！"_s, u"修改口令"_s, Dialogs::Icon::Information);
const QString kWrongOld = line(u"旧密码错误"_s, u"修改口令"_s, kCritical);
const QString kSaved = line(u"会员默认照片保存成功"_s, u"系统提示"_s);
const QString kMakerPage = line(u"https://www.oldmere-studio.cn/"_s, {}); // a link opened
const QString kTooMany = QStringLiteral("条件过多请选择单一条件进行查询");
const QString kNoCondition = QStringLiteral("请输入一个查询条件进行查询");
const QString kNothing = QStringLiteral("没有相关信息");

class tst_signin : public QObject
{
    Q_OBJECT

    std::optional<TestFolder> folder;
    DialogScript dialogs; // what the windows showed

    template <typename T = QWidget> static T* findIn(QWidget* window, const char* name)
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    static Form* loaded(const QString& name) { return Forms::instance().find(name); }
    // A real click on a control found by name; the operator can only click what is on screen.
    static void press(QWidget* window, const char* name)
    {
        QVERIFY2(findIn(window, name) && findIn(window, name)->isVisible(), name);
        QTest::mouseClick(findIn(window, name), Qt::LeftButton);
    }
    // The names of the loaded windows, sorted; one that is not on screen says so.
    static QStringList loadedNames()
    {
        QStringList names;
        for (Form* form : Forms::instance().loaded())
            names << form->objectName() + (form->isVisible() ? QString() : u" (hidden)"_s);
        names.sort();
        return names;
    }
    static void signInThrough(QWidget* window, const QString& name, const QString& password)
    {
        QTest::keyClicks(findIn(window, "Text1"), name);
        QTest::keyClicks(findIn(window, "Text2"), password);
        QTest::mouseClick(findIn(window, "Command1"), Qt::LeftButton);
    }
    // The sign-in window as the operator finds it: which face it shows (what to sign in with, or
    // the panel's buttons), name box, password box, selected name, focus, and whom the program
    // holds as signed in.
    static QString signInState(QWidget* window)
    {
        QString face;
        for (const char* name : {"Label1", "Label2", "Label3", "Text1", "Text2", "Command1",
                                 "Label4", "c1", "c2", "c3", "c4", "c5", "Command2", "Frame1"})
            face += findIn(window, name)->isVisible() ? u'1' : u'0';
        face = face == "11111100000011"_L1   ? u"signing in"_s
               : face == "00000011111111"_L1 ? u"signed in"_s
                                             : face;
        auto* text1 = findIn<QLineEdit>(window, "Text1");
        QWidget* focus = window->focusWidget();
        return QStringList{face,
                           text1->text(),
                           findIn<QLineEdit>(window, "Text2")->text(),
                           text1->selectedText(),
                           focus ? focus->objectName() : QString(),
                           Module1::varLoginUser,
                           Module1::varLoginPwd}
            .join(u'|');
    }
    // Signs in as admin / Abc123; returns the sign-in window, or the panel window shown after it.
    static Form* signedInOn(const QString& form)
    {
        Form* window = Forms::instance().show(u"admin"_s);
        signInThrough(window, u"admin"_s, u"Abc123"_s);
        if (form == "admin"_L1)
            return window;
        Forms::instance().unload(window);
        return Forms::instance().show(form);
    }
    void pick(const QString& file) // an empty name cancels
    {
        dialogs->files.append(file);
        press(loaded(u"tiantu"_s), "Command1");
    }
    // A critical notice of the default photo window that names the file it is about.
    static void checkNames(const ScriptedDialogs::Call& call, const QString& file, bool refusal)
    {
        QVERIFY2(call.title == u"系统提示"_s && call.icon == kCritical &&
                     call.buttons == Dialogs::Buttons::Ok &&
                     call.text.contains(QDir::toNativeSeparators(file)) &&
                     call.text.endsWith(refusal ? u"\n未选用此文件。"_s : QString()),
                 qPrintable(call.title + u" | "_s + call.text));
    }
    // What "显示所有邮箱" puts into the box.
    static QString shownAddresses(Form* window)
    {
        press(window, "Command1");
        return findIn<AddressBox>(window, "t1")->text();
    }
    // Leaves the store missing or as junk bytes; returns its file.
    QString breakStore(const QString& how) const
    {
        const QString file = folder->path(u"hd.db"_s);
        if (how == "missing"_L1 || how == "junk"_L1)
            QFile::remove(file);
        if (how == "junk"_L1)
            writeFile(file, randomBytes(3000) + "not a store");
        return file;
    }

    // Member n with a photo of its own, stored under id n. An odd one holds values the way an
    // imported store may: blanks kept, a gender outside the list, quotes, several address lines.
    Member stored(qint64 id, bool odd) const
    {
        Member m = MemberGenerator::make(id);
        m.id = id;
        const QStringList v =
            QStringLiteral("  Tom O'Neil |未知|二十|o'neil;%@a.cn|朝阳区\n人民路1号 3室")
                .split(u'|');
        if (odd)
            m = Member{id, v[0], v[1], v[2], ' ' + m.dianhua, {}, v[3], v[4], {}};
        m.zhaopian = folder->makeJpeg(PhotoFiles::memberPhotoPath(m.xingming, m.dianhua));
        insertRow(*folder, m);
        return m;
    }
    // The count and the page line.
    static QString counted(const Window& w) { return w.t9->text() + u' ' + w.txtPageMsg->text(); }
    // After "会员列表" or a query that ended in a message: empty fields over page 1 of everyone.
    void checkFullListBack(const Window& w) const
    {
        const QList<qint64> ids = storedIdsNewestFirst(*folder);
        QCOMPARE(w.fields(), kCleared);
        QVERIFY(w.photo->isEmpty() && Module1::RecordPhoto.isEmpty());
        QCOMPARE(counted(w), QStringLiteral("%1 1/%2").arg(ids.size()).arg((ids.size() + 9) / 10));
        QCOMPARE(w.shownIds(), ids.mid(0, 10));
    }

private slots:
    void initTestCase()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
    }
    void init()
    {
        folder.emplace().createStore(u"admin"_s, u"Abc123"_s);
        folder->makeDefaultPhoto();
        dialogs->clear();
        dialogs->files.clear();
    }
    void cleanup()
    {
        folder.reset();
        // Every way through the member window's query leaves its counter at rest.
        QCOMPARE(Module1::intCondCount, 0);
    }

    void signIn_data()
    {
        // Columns: name, password, message (empty: signs in), store (how it is broken, if it is)
        dataColumns<QString, QString, QString, QString>();
        const auto row = [](const char* tag, const char* name, const char* password,
                            const QString& message = {}, const char* store = "") {
            QTest::newRow(tag) << QString(name) << QString(password) << message << QString(store);
        };
        const QString unknown = line(u"《%9》不是系统用户！请检查是否输入用户名或输入是否正确！"_s,
                                     u"登录验证"_s, kCritical);
        // How names and passwords compare is the store's own; here is what the window makes of it.
        row("exact", "admin", "Abc123");
        row("blanks around both", "  admin ", "  Abc123   ");
        row("unknown name with blanks", "  nobody ", "x", unknown.arg("nobody"));
        row("blank name", "   ", "Abc123", unknown.arg(""));
        row("wrong password", "admin", "Abc124",
            line(u"口令错误,请重新输入！"_s, u"登录验证"_s, kCritical));
        const QString failed = line(u"登录验证未正常完成！请重新运行登录程序，\r\n"
                                    u"如果仍不能登录，请报告系统管理员！"_s,
                                    u"登录验证"_s, kCritical);
        for (const char* store : {"missing", "junk"})
            row(store, " admin", "Abc123 ", failed, store);
    }
    void signIn()
    {
        const auto [name, password, message, store] = dataRow<QString, QString, QString, QString>();
        Form* window = Forms::instance().show(u"admin"_s);
        const QString file = breakStore(store);
        const QByteArray bytes = bytesOf(file);

        QTest::keyClick(findIn(window, "Text1"), Qt::Key_Return); // signs nobody in
        signInThrough(window, name, password);

        // A wrong name is selected for retyping and the password stays; a wrong password goes.
        const QStringList state =
            message.isEmpty()
                ? QStringList{"signed in", "", "", "", "c1", name.trimmed(), password.trimmed()}
            : message.startsWith(u"《"_s)
                ? QStringList{"signing in", name, password, name, "Text1", "", ""}
            : store.isEmpty() ? QStringList{"signing in", name, "", "", "Text2", "", ""}
                              : QStringList{"signing in", name, password, "", "Command1", "", ""};
        QCOMPARE(signInState(window), state.join(u'|'));
        // A store that cannot be read speaks first, naming itself; nothing is created or repaired.
        QStringList said = summaries(dialogs->calls);
        if (!store.isEmpty())
            QVERIFY2(said.value(0).contains(QDir::toNativeSeparators(file)) &&
                         said.takeFirst().endsWith(u" |  | icon 0 | buttons 0"_s),
                     qPrintable(said.join(u'\n')));
        QCOMPARE(said, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(bytesOf(file), bytes);
        QCOMPARE(QFileInfo::exists(file), store != "missing"_L1);
        // Every attempt is answered, Return and Enter in the password box too.
        if (!message.isEmpty()) {
            QTest::keyClick(findIn(window, "Text2"), Qt::Key_Return);
            QTest::keyClick(findIn(window, "Text2"), Qt::Key_Enter);
            QCOMPARE(dialogs->calls.size(), store.isEmpty() ? 3 : 6);
        }
    }

    void loadStep_data()
    {
        // Columns: form, situation
        dataColumns<QString, QString>();
        for (const char* form : {"admin", "admin1"})
            for (const char* situation : {"first start", "default photo deleted",
                                          "photo folder missing", "file 照片", "read-only folder"})
                QTest::addRow("%s, %s", form, situation) << QString(form) << QString(situation);
    }
    void loadStep()
    {
        const auto [form, situation] = dataRow<QString, QString>();
        const QString photos = folder->path(u"照片"_s), templates = folder->path(u"模版照片"_s);
        const bool defaultThere =
            situation.startsWith("photo"_L1) || situation.startsWith("file"_L1);
        const bool readOnly = situation.startsWith("read-only"_L1);
        if (situation == "first start"_L1 || readOnly)
            QVERIFY(QDir(templates).removeRecursively());
        if (situation == "default photo deleted"_L1)
            QVERIFY(QFile::remove(templates + u"/1.jpg"_s));
        else
            QVERIFY(QDir(photos).removeRecursively());
        if (situation == "file 照片"_L1)
            writeFile(photos, {});
        std::optional<RecordTests::ReadOnlyFolder> locked;
        if (readOnly && !locked.emplace(folder->root()).effective())
            QSKIP("permissions do not bind this user");
        Module1::varLoginUser = u"admin"_s;
        Module1::varLoginPwd = u"Abc123"_s;
        Module1::RecordPhoto = u"x.jpg"_s;

        Forms::instance().show(form);

        // Without a default photo the window makes way for the default photo window.
        QCOMPARE(loadedNames(), QStringList{defaultThere ? form : u"tiantu"_s});
        // A folder that cannot be made is named first.
        QStringList said = summaries(dialogs->calls);
        if (readOnly)
            QVERIFY2(said.value(0).contains(templates) && !said.takeFirst().isEmpty(),
                     qPrintable(said.join(u'\n')));
        const QString noPhoto = u"您的操作系统中暂时没有默认图片，请添加会员默认照片"_s;
        QCOMPARE(said, defaultThere ? QStringList() : QStringList{line(noPhoto, u"系统显示"_s)});
        QCOMPARE(QFileInfo(templates).isDir(), !readOnly);
        QCOMPARE(QFileInfo(photos).isDir(), !readOnly && situation != "file 照片"_L1);
        QCOMPARE(QFileInfo::exists(photos), !readOnly);
        // The sign-in window forgets the operator; the panel keeps them for "修改口令".
        QCOMPARE(Module1::varLoginUser + Module1::varLoginPwd + Module1::RecordPhoto,
                 form == "admin1"_L1 ? u"adminAbc123x.jpg"_s : QString());
    }

    void panelButtons_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("sign-in window") << u"admin"_s;
        QTest::newRow("panel") << u"admin1"_s;
    }
    void panelButtons()
    {
        QFETCH(QString, form);
        // The member and address windows take the caller's place; the rest open beside it.
        for (const char* button : {"c1", "c2"}) {
            closeAllForms();
            press(signedInOn(form), button);
            settle();
            QCOMPARE(loadedNames(), QStringList{button == "c1"_L1 ? u"xianshi"_s : u"mail"_s});
        }
        closeAllForms();
        Form* window = signedInOn(form);
        QSignalSpy ended(&Forms::instance(), &Forms::ended);
        for (const char* button : {"c3", "c4", "c5"})
            press(window, button);
        QCOMPARE(loadedNames(), (QStringList{form, u"mimaxiugai"_s}));
        QCOMPARE(
            summaries(dialogs->calls),
            (QStringList{line(u"定做细则请写邮件发送至dingzhi@oldmere-studio.cn"_s, u"软件开发"_s),
                         kMakerPage}));
        // "退出" and "安全退出" end the program with every window.
        press(window, form == "admin"_L1 ? "Command2" : "Command1");
        QCOMPARE(loadedNames(), QStringList());
        QCOMPARE(ended.size(), 1);
    }

    void signInAgain()
    {
        Form* panel = signedInOn(u"admin1"_s);
        press(panel, "c5");
        press(panel, "Command2");
        settle();

        // Back to an empty sign-in window that knows nobody, and signs in as before.
        QCOMPARE(loadedNames(), (QStringList{u"admin"_s, u"mimaxiugai"_s}));
        QCOMPARE(signInState(loaded(u"admin"_s)), u"signing in||||Text1||"_s);
        signInThrough(loaded(u"admin"_s), u"admin"_s, u"Abc123"_s);
        QCOMPARE(signInState(loaded(u"admin"_s)), u"signed in||||c1|admin|Abc123"_s);
        QCOMPARE(dialogs->calls.size(), 0);
    }

    void passwordChange_data()
    {
        // Columns: store (what became of it since the sign-in, or who), typed (old password, new
        // one, new one again), message
        dataColumns<QString, QStringList, QString>();
        const QString blank = line(u"请输入新口令！"_s, u"修改口令"_s, kCritical);
        const QString differ = line(u"两次输入的新口令必须相同！"_s, u"修改口令"_s, kCritical);
        const auto row = [](const char* tag, const char* old, const char* new0, const char* new1,
                            const QString& message, const char* store = "") {
            QTest::newRow(tag) << QString(store) << QStringList{old, new0, new1} << message;
        };
        row("all empty", "", "", "", blank);
        row("blanks only", "Abc123", "   ", "   ", blank);
        // The checks run in a fixed order: the first that fails decides.
        row("blanks, the rest wrong too", "wrong", "  ", "other", blank);
        row("differ by a blank", "Abc123", "new1 ", "new1", differ);
        row("differ, old wrong too", "wrong", "new1", "new2", differ);
        row("old with trailing blank", "Abc123 ", "new1", "new1", kWrongOld);
        row("old in other case", "abc123", "new1", "new1", kWrongOld);
        row("account deleted since", "Abc123", "new", "new",
            line(u"无法修改口令！"_s, u"修改口令"_s, kCritical), "deleted");
        row("store missing", "Abc123", "new", "new",
            RecordTests::critical(u"程序执行出错，错误信息如下："_s, u"Fennick系统"_s), "missing");
        row("single quote", "Abc123", "it's", "it's", kChanged);
        row("blanks around", "Abc123", "  pw 2 ", "  pw 2 ", kChanged);
        row("operator named with a quote", "Abc123", "x'; --", "x'; --", kChanged, "O'Brien");
    }
    void passwordChange()
    {
        const auto [store, typed, message] = dataRow<QString, QStringList, QString>();
        const QString user = store == "O'Brien"_L1 ? store : u"admin"_s;
        QVERIFY(Accounts::add(folder->open(), u"other"_s, u"keep"_s));
        if (store == "O'Brien"_L1)
            QVERIFY(Accounts::add(folder->open(), user, u"Abc123"_s));
        if (store == "deleted"_L1)
            QVERIFY(folder->open().run(u"DELETE FROM admin WHERE user = 'admin'"_s));
        breakStore(store);
        const Snapshot files = snapshot(folder->root());
        Module1::varLoginUser = user;
        Module1::varLoginPwd = u"Abc123"_s;
        Form* form = Forms::instance().show(u"mimaxiugai"_s);
        // The old password, then the array of two new ones.
        const QList<QLineEdit*> news = form->findChildren<QLineEdit*>(u"txtNewPWD"_s);
        const QList<QLineEdit*> boxes{findIn<QLineEdit>(form, "t1"), news.value(0), news.value(1)};
        QCOMPARE(boxes[0]->echoMode(), QLineEdit::Password);

        for (int i = 0; i < 3; ++i)
            QTest::keyClicks(boxes[i], typed[i]);
        press(form, "Command1");

        QCOMPARE(summaries(dialogs->calls), QStringList{message});
        if (message == kChanged) {
            // The window goes; the next sign-in and change take the new password only, of this
            // operator only.
            QCOMPARE(loadedNames(), QStringList());
            QCOMPARE(Module1::varLoginPwd, typed[1].trimmed());
            const auto verdict = [this](const QString& name, const QString& password) {
                return Accounts::verify(folder->open(), name, password).value();
            };
            QCOMPARE(verdict(user, u"Abc123"_s), Accounts::Verdict::WrongPassword);
            QCOMPARE(verdict(user, typed[1].trimmed()), Accounts::Verdict::Match);
            QCOMPARE(verdict(u"other"_s, u"keep"_s), Accounts::Verdict::Match);
            return;
        }
        // A wrong old password is cleared; a new one that will not do is selected for retyping.
        // The boxes, the focus, and what the first new one has selected:
        const bool retype = message.startsWith(u"请输入"_s) || message.startsWith(u"两次"_s);
        QCOMPARE(QStringList({boxes[0]->text(), boxes[1]->text(), boxes[2]->text(),
                              QString::number(boxes.indexOf(form->focusWidget())),
                              boxes[1]->selectedText()}),
                 (QStringList{message == kWrongOld ? QString() : typed[0], typed[1], typed[2],
                              retype            ? u"1"_s
                              : store.isEmpty() ? u"0"_s
                                                : u"-1"_s,
                              message.startsWith(u"两次"_s) ? typed[1] : QString()}));
        QCOMPARE(Module1::varLoginPwd, u"Abc123"_s);
        // Closing saves nothing either.
        press(form, "Command2");
        QCOMPARE(loadedNames(), QStringList());
        QCOMPARE(dialogs->calls.size(), 1);
        QCOMPARE(snapshot(folder->root()), files);
    }

    void photoBoxAndFit()
    {
        QWidget holder;
        auto* box = new PhotoBox(&holder);
        box->setGeometry(10, 10, 204, 164); // 200 x 160 inside the 2-pixel frame
        const QRgb empty = box->surface().pixel(0, 0);
        // Drawn before the box was ever shown: a band 200 x 50 across the middle.
        box->drawFitted(WindowChecks::flat(QSize(400, 100), Qt::red));
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        QCOMPARE(box->lastTarget(), QRectF(0, 55, 200, 50));
        // What the operator sees, not only what the box holds.
        QCOMPARE(box->grab().toImage().pixel(box->contentsRect().center()), qRgb(255, 0, 0));
        box->drawFitted(WindowChecks::flat(QSize(100, 400), Qt::blue)); // a column 40 x 160
        QCOMPARE(box->lastTarget(), QRectF(80, 0, 40, 160));
        // The wide picture still shows either side of the narrow one; elsewhere the box is empty.
        const QImage& s = box->surface();
        QCOMPARE(
            (QList<QRgb>{s.pixel(100, 80), s.pixel(10, 80), s.pixel(190, 80), s.pixel(10, 10)}),
            (QList<QRgb>{qRgb(0, 0, 255), qRgb(255, 0, 0), qRgb(255, 0, 0), empty}));
        box->clear();
        QVERIFY(box->isEmpty() && box->lastTarget().isEmpty());
        QCOMPARE(box->surface(), WindowChecks::flat(QSize(200, 160), QColor(empty)));
        // 87 x 111 is 2175 x 2775 divided by 25; a strip keeps its share of the box.
        QCOMPARE(FitPhoto({87, 111}, {2175, 2775}), QRectF(0, 0, 2175, 2775));
        QCOMPARE(FitPhoto({10000, 1}, {100, 100}), QRectF(0, 49.995, 100, 0.01));
        // Nothing to draw for a picture or a box without area.
        for (const QSizeF& size : {QSizeF(0, 300), QSizeF(400, 0), QSizeF(-400, -300)})
            QVERIFY(FitPhoto(size, {2175, 2775}).isNull() && FitPhoto({400, 300}, size).isNull());
    }

    void pickAndSave_data()
    {
        // Columns: name (empty: the dialog is cancelled), size (of a real JPEG; invalid: the bytes
        // below), bytes, outcome (of picking, or what breaks before the save)
        dataColumns<QString, QSize, QByteArray, QString>();
        const auto row = [](const char* tag, const char* name, QSize size, const char* outcome,
                            const QByteArray& bytes = {}) {
            QTest::newRow(tag) << QString(name) << size << bytes << QString(outcome);
        };
        row("cancelled", "", {}, "ignored");
        row("4:3 landscape", "photo.jpg", {400, 300}, "taken");
        row("upper case extension", "other.JPG", {400, 300}, "ignored");
        row("text", "x.jpg", {}, "refused", "not a picture at all\n");
        TestFolder scratch; // Qt draws a JPEG without its end without complaint
        row("JPEG without its end", "x.jpg", {}, "refused",
            bytesOf(scratch.makeJpeg(u"cut.jpg"_s, {300, 200})).chopped(2));
        row("picked file deleted", "photo.jpg", {400, 300}, "deleted");
        row("template folder is a file", "photo.jpg", {400, 300}, "in the way");
        row("template folder read-only", "photo.jpg", {400, 300}, "read-only");
    }
    void pickAndSave()
    {
        const auto [name, size, bytes, outcome] = dataRow<QString, QSize, QByteArray, QString>();
        const QString templates = ProgramFolder::templateFolder();
        const QByteArray oldBytes = bytesOf(ProgramFolder::defaultPhoto());
        auto* box = findIn<PhotoBox>(Forms::instance().show(u"tiantu"_s), "Picture1");
        QString file;
        if (size.isValid())
            file = folder->makeJpeg(u"picked/"_s + name, size, Qt::red);
        else if (!name.isEmpty())
            writeFile(file = folder->path(name), bytes);

        pick(file);

        const ScriptedDialogs::Call& asked = dialogs->calls.first();
        QCOMPARE(asked.kind + u'|' + asked.title + u'|' + asked.filter,
                 u"openFile|选择图片文件|图片（*.jpg）|*.jpg"_s);
        QCOMPARE(dialogs->calls.size(), outcome == "refused"_L1 ? 2 : 1);
        if (outcome == "refused"_L1)
            checkNames(dialogs->calls.last(), file, true);
        const bool taken = outcome != "ignored"_L1 && outcome != "refused"_L1;
        QCOMPARE(box->isEmpty(), !taken);
        if (taken) {
            QCOMPARE(box->lastTarget(), FitPhoto(size, box->innerSize()));
            QVERIFY(WindowChecks::near(box->surface().pixel(box->lastTarget().center().toPoint()),
                                       Qt::red));
            // "清空图片" empties the box alone; the dialog still holds the file, so a cancel draws
            // it again; a later file that cannot be read changes nothing, and the first is saved.
            const QImage preview = box->surface();
            press(loaded(u"tiantu"_s), "Command2");
            QVERIFY(box->isEmpty());
            pick(QString());
            pick(folder->path(u"gone.jpg"_s));
            QCOMPARE(box->surface(), preview);
        }
        QString named = ProgramFolder::defaultPhoto(); // the file a failure has to name
        std::optional<RecordTests::ReadOnlyFolder> readOnly;
        if (outcome == "deleted"_L1)
            QVERIFY(QFile::remove(named = file));
        if (outcome == "in the way"_L1) {
            QVERIFY(QDir(templates).removeRecursively());
            writeFile(templates, "in the way");
        }
        if (outcome == "read-only"_L1 && !readOnly.emplace(templates).effective())
            QSKIP("permissions do not bind this user");
        dialogs->clear();

        press(loaded(u"tiantu"_s), "Command3");
        settle();

        const bool saves = outcome == "taken"_L1;
        QCOMPARE(summaries(dialogs->calls),
                 QStringList{saves   ? kSaved
                             : taken ? RecordTests::critical(u"会员默认照片保存失败："_s)
                                     : line(u"请先选择会员默认照片"_s, u"系统提示"_s)});
        if (taken && !saves)
            checkNames(dialogs->calls.first(), named, false);
        if (outcome == "in the way"_L1)
            QCOMPARE(bytesOf(templates), "in the way");
        else
            QCOMPARE(snapshot(templates),
                     (Snapshot{{u"1.jpg"_s, saves ? bytesOf(file) : oldBytes}}));
        // Saving leads back to the sign-in window, ready for a name; otherwise the window stays.
        QCOMPARE(loadedNames(), QStringList{saves ? u"admin"_s : u"tiantu"_s});
        QVERIFY(!saves || signInState(loaded(u"admin"_s)).startsWith(u"signing in|"_s));
    }

    void cameraWindowWithoutVideoInput()
    {
        if (!QMediaDevices::videoInputs().isEmpty())
            QSKIP("this machine has a video input; this test is about a machine without one");
        RecordTests::addGenerated(*folder, 3);
        Form* members = Forms::instance().show(u"xianshi"_s);
        int stale = 0; // left over from an earlier load; every load decides afresh
        Module1::hCapWnd = &stale;

        press(members, "Command15");

        // Beside the member window, empty and silent: no preview rather than a test picture.
        const QPointer<Form> camera = loaded(u"shipin"_s);
        QCOMPARE(loadedNames(), (QStringList{u"shipin"_s, u"xianshi"_s}));
        QCOMPARE(camera->windowTitle(), u"视频监控"_s);
        for (QWidget* child : camera->findChildren<QWidget*>())
            QVERIFY2(!child->inherits("QVideoWidget"), qPrintable(child->objectName()));
        // The picture covers the window but the row of "拍照" below it.
        QVERIFY(
            findIn(camera, "Pic")
                ->geometry()
                .contains(camera->rect().adjusted(0, 0, 0, -findIn(camera, "Command1")->height())));
        QCOMPARE(Module1::hCapWnd, nullptr);
        // Asked for again, the one window stays; closed, only it goes, to be loaded afresh.
        press(members, "Command15");
        QCOMPARE(loaded(u"shipin"_s), camera.data());
        camera->close();
        settle();
        QCOMPARE(loadedNames(), QStringList{u"xianshi"_s});
        QVERIFY(camera.isNull() && !Module1::hCapWnd);
        press(members, "Command15");
        QCOMPARE(loadedNames(), (QStringList{u"shipin"_s, u"xianshi"_s}));
        QCOMPARE(dialogs->calls.size(), 0);
    }

    void addressesJoinedInStoredOrder_data()
    {
        // Columns: addresses ("id=address" keeps that id), text, store (how it is broken, if it is)
        dataColumns<QStringList, QString, QString>();
        const auto row = [](const char* tag, const QStringList& addresses, const char* text,
                            const char* store = "") {
            QTest::newRow(tag) << addresses << QString(text) << QString(store);
        };
        row("A, empty, B", {"zoe@163.com", "", "adam@qq.com"}, "zoe@163.com;;adam@qq.com;");
        row("empty store", {}, "");
        row("one member without address", {""}, ";");
        row("kept as stored", {" Pad@X.cn ", "dup@x.cn", "dup@x.cn", "<NULL>", "a;b@例子.中国"},
            " Pad@X.cn ;dup@x.cn;dup@x.cn;;a;b@例子.中国;");
        row("id order, not insertion order", {"9=nine@x.cn", "4=four@x.cn", "12=twelve@x.cn"},
            "four@x.cn;nine@x.cn;twelve@x.cn;");
        row("store missing", {"a@x.cn"}, "", "missing");
    }
    void addressesJoinedInStoredOrder()
    {
        const auto [addresses, text, store] = dataRow<QStringList, QString, QString>();
        for (int i = 0; i < addresses.size(); ++i) {
            Member m = RecordTests::person(u"会员%1"_s.arg(i), u"1380000%1"_s.arg(i));
            m.id = addresses.at(i).section(u'=', -2, -2).toLongLong();
            m.youxiang = addresses.at(i).section(u'=', -1);
            insertRow(*folder, m);
        }
        QVERIFY(folder->open().run(u"UPDATE user SET youxiang = NULL WHERE youxiang = '<NULL>'"_s));
        breakStore(store);
        const Snapshot files = snapshot(folder->root());

        Form* window = Forms::instance().show(u"mail"_s);

        // A store that cannot be read is reported, and the window still works.
        QCOMPARE(summaries(dialogs->calls),
                 store.isEmpty()
                     ? QStringList()
                     : QStringList{RecordTests::critical(u"无法读取会员邮箱："_s, u"邮箱汇总"_s)});
        auto* box = findIn<AddressBox>(window, "t1");
        QCOMPARE(box->toPlainText(), QString());
        // Whatever the box held is replaced, and a second press leaves one copy.
        QTest::keyClicks(box, u"typed by hand"_s);
        QCOMPARE(shownAddresses(window), text);
        QCOMPARE(shownAddresses(window), text);
        QCOMPARE(box->toPlainText(), text);
        // Nothing is created or repaired; "返回主界面" leads to the panel.
        QCOMPARE(snapshot(folder->root()), files);
        press(window, "Command3");
        settle();
        QCOMPARE(loadedNames(), QStringList{u"admin1"_s});
    }

    void addressesFromTheMemberWindowAndBack()
    {
        RecordTests::addGenerated(*folder, 25);
        Window members = openWindow();
        members.click("Command8");
        members.select(1);

        members.click("Command13");
        settle();

        QCOMPARE(loadedNames(), QStringList{u"mail"_s});
        const QString before = shownAddresses(loaded(u"mail"_s));
        QCOMPARE(before.count(u';'), 25);
        // The addresses are read when the window loads.
        Member late = RecordTests::person(u"后来者"_s, u"13811112222"_s);
        late.youxiang = u"late@163.com"_s;
        insertRow(*folder, late);
        QCOMPARE(shownAddresses(loaded(u"mail"_s)), before);
        press(loaded(u"mail"_s), "Command4");
        press(loaded(u"mail"_s), "Label6");

        // "返回会员操作" shows the member window afresh, on its first page.
        press(loaded(u"mail"_s), "Command2");
        settle();
        QCOMPARE(loadedNames(), QStringList{u"xianshi"_s});
        members = Window(loaded(u"xianshi"_s));
        QCOMPARE(members.txtPageMsg->text() + members.t8->text(), u"1/3"_s);
        QCOMPARE(members.shownIds(), storedIdsNewestFirst(*folder).mid(0, 10));
        press(members.form, "Label11");
        members.click("Command13");
        QCOMPARE(shownAddresses(loaded(u"mail"_s)), before + u"late@163.com;"_s);
        // The hint under the box sends the operator to the 163 webmail; both support links to the
        // maker's page.
        QCOMPARE(summaries(dialogs->calls),
                 (QStringList{line(u"https://mail.163.com/"_s, {}), kMakerPage, kMakerPage}));
    }

    void longAddressTextIsShownAndCopiedExactly()
    {
        QString text;
        for (int i = 0; i < 200000; ++i)
            text += (i % 3 ? u"member%1@163.com;"_s : u"会员%1@例子.中国;"_s).arg(i);
        AddressBox box;
        box.setText(text);
        QCOMPARE(box.text(), text);
        // On screen the text may be laid out in lines, but never loses, adds or splits an address.
        const QString shownText = box.toPlainText();
        QCOMPARE(QString(shownText).remove(u'\n'), text);
        for (const QString& line : shownText.split(u'\n'))
            QVERIFY2(line.endsWith(u';'), qPrintable(line.right(40)));
        box.selectAll();
        box.copy();
        QCOMPARE(QApplication::clipboard()->text(), text);
    }
    void pagesAndRecords_data()
    {
        // Columns: ids, pages
        dataColumns<QList<qint64>, int>();
        QList<qint64> ids;
        for (qint64 id = 1; id <= 31; ++id)
            ids << id;
        QTest::newRow("25 members") << ids.mid(0, 25) << 3;
        QTest::newRow("exactly 10") << ids.mid(0, 10) << 1;
        QTest::newRow("11") << ids.mid(0, 11) << 2;
        QTest::newRow("20 fill two pages") << ids.mid(0, 20) << 2;
        // Deleted rows leave gaps in the ids, so a page is not simply a range of ids.
        QTest::newRow("25 left of 31")
            << QList<qint64>{1} + ids.mid(2, 6) + ids.mid(11, 8) + ids.mid(20, 10) << 3;
        // Past 16 and 32 bits, past what a double holds exactly, and the largest id there is.
        const QList<qint64> large = {
            32767, 32768, 2147483647, 2147483648LL, 9007199254740993LL, 9223372036854775807LL};
        QTest::newRow("large ids") << ids.mid(0, 6) + large << 2;
    }
    void pagesAndRecords()
    {
        auto [ids, pages] = dataRow<QList<qint64>, int>();
        std::sort(ids.begin(), ids.end(), std::greater<>());
        QMap<qint64, Member> members;
        for (qint64 id : ids)
            members.insert(id, stored(id, id == ids.first()));

        const Window w = openWindow();
        QVERIFY(w.ok() && QTest::qWaitForWindowExposed(w.form));
        // To the last page and once more: a page stands on its last row but selects no record.
        for (int page = 1; page <= pages + 1; ++page) {
            QCOMPARE(counted(w),
                     QStringLiteral("%1 %2/%3").arg(ids.size()).arg(qMin(page, pages)).arg(pages));
            QCOMPARE(w.shownIds(), ids.mid((qMin(page, pages) - 1) * 10, 10));
            QCOMPARE(w.currentRow(), w.model()->rowCount() - 1);
            w.click("Command8");
        }
        QCOMPARE(w.fields(), kCleared);
        QVERIFY(w.photo->isEmpty() && Module1::RecordPhoto.isEmpty());

        // Back page by page. The record buttons stay on the page, and a press that stays on the
        // last row still brings it in; the record in hand outlasts the paging.
        for (int page = pages; page >= 1; --page) {
            QCOMPARE(w.txtPageMsg->text(), QStringLiteral("%1/%2").arg(page).arg(pages));
            QCOMPARE(w.shownIds(), ids.mid((page - 1) * 10, 10));
            w.click("Command10");
            for (int step = 0; step < (page - 1) * 4; ++step)
                w.click("Command9");
            const int row = qMax(w.model()->rowCount() - 1 - (page - 1) * 4, 0);
            QCOMPARE(w.currentRow(), row);
            const Member m = members.value(ids.at((page - 1) * 10 + row));
            QCOMPARE(w.fields(), fieldsOf(m));
            QCOMPARE(Module1::RecordPhoto, m.zhaopian);
            QCOMPARE(w.photo->lastTarget(), FitPhoto(QSizeF(40, 30), QSizeF(w.photo->innerSize())));
            w.click("Command7");
            QCOMPARE(w.fields(), fieldsOf(m));
        }

        // A click into a row, then into another cell of it: the row comes back, undoing typing.
        w.clickCell(1, 1);
        QCOMPARE(w.fields(), fieldsOf(members.value(ids.at(1))));
        w.clickCell(0, 1);
        w.t1->setText(QStringLiteral("改过的名字"));
        w.clickCell(0, 6);
        QCOMPARE(w.fields(), fieldsOf(members.value(ids.first())));

        // "会员列表" reads the store again from page 1 and clears the record in hand; a photo
        // chosen for an add stays marked.
        removeRows(*folder, {ids.first()});
        Module1::PhotoChosen = QStringLiteral("1");
        Module1::PhotoSource = folder->path(QStringLiteral("picked.jpg"));
        w.click("Command11");
        checkFullListBack(w);
        QCOMPARE(Module1::PhotoSource + Module1::PhotoChosen, QStringLiteral("1"));
        QCOMPARE(summaries(dialogs->calls), QStringList());
    }

    void emptyStoreAndLeaving()
    {
        Window w = openWindow();
        QCOMPARE(Module1::PhoneTaken, QStringLiteral("1"));
        // No page is shown, and the page and record buttons leave it so.
        for (const char* button : {"", "Command7", "Command8", "Command9", "Command10"}) {
            if (*button)
                w.click(button);
            QCOMPARE(w.lss->text() + u'|' + counted(w), kEmptyStore + QStringLiteral("|0 "));
            QCOMPARE(w.fields(), kCleared);
        }
        // Members added meanwhile show with "会员列表", which clears the status line.
        RecordTests::addGenerated(*folder, 3);
        w.click("Command11");
        QCOMPARE(w.lss->text(), QString());
        checkFullListBack(w);
        w.click("Command10");
        QCOMPARE(w.t8->text(), QStringLiteral("1"));

        // "返回" shows the panel without ending the program and lets go of the record in hand;
        // the close box of the last window ends it.
        QSignalSpy ended(&Forms::instance(), &Forms::lastFormUnloaded);
        QVERIFY(!Module1::RecordPhoto.isEmpty());
        w.click("Command14");
        QCOMPARE(loadedNames(), QStringList{u"admin1"_s});
        QCOMPARE(Module1::RecordPhoto, QString());
        QCoreApplication::processEvents();
        QCOMPARE(ended.count(), 0);
        loaded(u"admin1"_s)->close();
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(summaries(dialogs->calls), QStringList());
    }

    void photoOfTheRecord_data()
    {
        // Columns: name, photo (as stored; "" for the member's own path), broken ("own" and
        // "default" hold the bytes below), bytes, repaired (the name of the copy made in 照片)
        dataColumns<QString, QString, QString, QByteArray, QString>();
        const auto add = [](const char* row, const QString& name, const QString& photo,
                            const QString& broken, const QByteArray& bytes = {},
                            const QString& repaired = {}) {
            QTest::newRow(row) << name << photo << broken << bytes << repaired;
        };
        add("photo file missing", "张三", "", "", {}, "张三-13800000001.jpg");
        add("name with quote and slash", "O'Neil/3", "照片/O'Neil/3-13800000001.jpg", "", {},
            "O'Neil_3-13800000001.jpg");
        add("name climbing out of the folder", "../../逃", "照片/gone.jpg", "", {},
            "___.._逃-13800000001.jpg");
        // A repair that cannot be made says why and claims no success.
        add("default photo missing too", "赵六", "", "default missing");
        add("default photo is no picture", "赵六", "", "default", "not a picture\n");
        add("photo folder missing", "赵六", "", "folder missing");
        // A photo that cannot be read may be worth rescuing: it is reported, not replaced.
        add("text", "孙七", "", "own", QStringLiteral("这不是照片\r\n").toUtf8());
        TestFolder scratch;
        add("JPEG without its end", "孙七", "", "own",
            bytesOf(scratch.makeJpeg(QStringLiteral("cut.jpg"), {64, 48})).chopped(2));
    }
    void photoOfTheRecord()
    {
        const auto [name, photo, broken, bytes, repaired] =
            dataRow<QString, QString, QString, QByteArray, QString>();
        const QString defaultPhoto = folder->makeDefaultPhoto(QSize(60, 30));
        const QString phone = QStringLiteral("13800000001");
        const QString path = photo.isEmpty() ? PhotoFiles::memberPhotoPath(name, phone)
                             : photo.startsWith(QStringLiteral("照片/")) ? folder->path(photo)
                                                                         : photo;
        const Member m{1, name, "女", "30", phone, {}, {}, {}, path};
        insertRow(*folder, m);
        if (!bytes.isNull())
            writeFile(broken == QLatin1String("own") ? m.zhaopian : defaultPhoto, bytes);
        if (broken == QLatin1String("default missing"))
            QVERIFY(QFile::remove(defaultPhoto));
        if (broken == QLatin1String("folder missing"))
            QVERIFY(QDir(folder->path(QStringLiteral("照片"))).removeRecursively());
        const QByteArray ownBytes = bytesOf(m.zhaopian), defaultBytes = bytesOf(defaultPhoto);
        const QStringList before = photoFiles(*folder);
        const Window w = openWindow();

        w.select(0);

        // The failure names the file it could not use.
        QStringList expected{line(kRepairing, kRepairingTitle),
                             broken.isEmpty()
                                 ? line(kRepaired, kRepairedTitle)
                                 : RecordTests::critical(broken == QLatin1String("own")
                                                             ? QStringLiteral("会员照片无法显示：")
                                                             : QStringLiteral("系统自我修复失败："),
                                                         kRepairingTitle)};
        if (broken == QLatin1String("own"))
            expected.removeFirst();
        QCOMPARE(summaries(dialogs->calls), expected);
        const QString named =
            broken.startsWith(QLatin1String("default")) ? defaultPhoto : m.zhaopian;
        QVERIFY(broken.isEmpty() ||
                dialogs->calls.last().text.contains(QDir::toNativeSeparators(named)));
        QCOMPARE(w.fields(), fieldsOf(m));
        // A repair is one new file directly inside 照片, a copy of the default photo, drawn by its
        // shape. The store keeps the old path: saving the repaired photo is the operator's choice.
        const QStringList after = repaired.isEmpty() ? before : QStringList{repaired};
        QCOMPARE(photoFiles(*folder), after);
        const QString file = repaired.isEmpty() ? QString() : folder->path("照片/" + repaired);
        QCOMPARE(QFileInfo(Module1::RecordPhoto).canonicalFilePath(),
                 QFileInfo(file).canonicalFilePath());
        QCOMPARE(w.photo->isEmpty(), file.isEmpty());
        if (!file.isEmpty()) {
            QCOMPARE(bytesOf(file), defaultBytes);
            QCOMPARE(w.photo->lastTarget(), FitPhoto(QSizeF(60, 30), QSizeF(w.photo->innerSize())));
        }
        QCOMPARE(RecordTests::tableRow(*folder, 1).value(8), m.zhaopian);

        // Another cell of the row: the repaired file is found only under the path the row names.
        const QStringList first = summaries(dialogs->calls);
        dialogs->clear();
        w.select(0, 4);
        const bool found = !file.isEmpty() && QFileInfo(file) == QFileInfo(m.zhaopian);
        QCOMPARE(summaries(dialogs->calls), found ? QStringList() : first);
        QCOMPARE(photoFiles(*folder), after);
        if (file.isEmpty())
            QCOMPARE(bytesOf(m.zhaopian), ownBytes);
        QCOMPARE(bytesOf(defaultPhoto), defaultBytes);
    }

    void condition_data()
    {
        // Columns: typed (box, text, box, text...), found (of the members below), message (instead
        // of a result)
        dataColumns<QStringList, QList<qint64>, QString>();
        using Ids = QList<qint64>;
        const auto add = [](const char* name, const QStringList& typed, const Ids& found,
                            const QString& message = {}) {
            QTest::newRow(name) << typed << found << message;
        };
        add("men", {"Combo1", "男"}, {1, 2, 5, 7, 9, 11});
        add("emptied gender box", {"Combo1", ""}, {6});
        // Only the count trims; the text is searched as it stands.
        add("blank-padded gender", {"Combo1", " 男"}, {}, kNothing);
        add("name with a quote, other case", {"t1", "TOM O'NEIL"}, {1, 2});
        add("name, not a prefix", {"t1", "李娜"}, {3});
        add("telephone, not a prefix", {"T4", "13900000003"}, {3});
        add("qq", {"T5", "5550031"}, {4});
        add("age, not a prefix", {"t3", "3"}, {4});
        add("mail, other case", {"T6", "TOM.ONEIL@EXAMPLE.COM"}, {1});
        add("percent is no wildcard in mail", {"T6", "lina@163%"}, {}, kNothing);
        // Address: a substring in which '%' and '_' are wildcards; long runs go through the index.
        add("one Chinese character", {"T7", "路"}, {4, 6});
        add("indexed run, other case", {"T7", "STREET"}, {1, 2, 3});
        add("indexed Chinese run", {"T7", "中山路"}, {4});
        add("two Chinese characters", {"T7", "大街"}, {5});
        add("two characters beyond the basic plane", {"T7", "𠮷野"}, {6});
        add("indexed run, non-ASCII case differs", {"T7", "üller"}, {7});
        add("percent alone", {"T7", "%"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        add("underscore alone", {"T7", "_"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12});
        add("percent joins indexed runs", {"T7", "main%street"}, {1, 2, 3});
        add("percent joins short runs", {"T7", "n%77"}, {2});
        add("underscore between indexed runs", {"T7", "der_sco"}, {11});
        add("underscore in a short run", {"T7", "str_et"}, {1, 2, 3});
        add("address matches nothing", {"T7", "xyz"}, {}, kNothing);
        add("1000 characters are searched", {"T7", QString(1000, u'路')}, {}, kNothing);
        // The first box holding any text is the condition; the hidden id comes after the telephone
        // and is no condition of its own.
        add("id before QQ", {"t8", "2", "T5", "12"}, {2});
        add("id before address", {"t8", "2", "T7", "12"}, {2});
        add("telephone before id", {"t8", "2", "T4", "13900000003"}, {3});
        add("blank name before QQ", {"t1", " ", "T5", "555003"}, {10});
        add("blank name nobody has before QQ", {"t1", "  ", "T5", "555003"}, {}, kNothing);
        add("name and QQ", {"t1", "王伟", "T5", "12345"}, {}, kTooMany);
        add("nothing typed", {}, {}, kNoCondition);
        add("only blanks", {"t1", "   ", "T7", " ", "Combo1", " 请选择性别  "}, {}, kNoCondition);
        add("id alone", {"t8", "2"}, {}, kNoCondition);
        add("1001 characters", {"T7", QString(1001, u'路')}, {},
            u"查询条件过长，请不要超过1000个字符"_s);
    }
    void condition()
    {
        const auto [typed, found, message] = dataRow<QStringList, QList<qint64>, QString>();
        // Name, gender, age, telephone, QQ, mail, address.
        for (const char* row :
             {"Tom O'Neil|男|31|13900000001|555001|Tom.ONeil@Example.com|Main Street 5",
              "tom o'neil|男|32|13900000002|555002|t@x.cn|MAIN STREET 77",
              "李娜|女|31|13900000003|555003|lina@163.com|main-street 9",
              "李娜娜|女|3|139000000031|5550031|lina@163.com.cn|南京市鼓楼区中山路1号",
              "王伟|男|40|13900000005|555005|w@x.cn|上海市浦东新区建设大街8号",
              "张敏||41|13900000006|555006|z@x.cn|山𠮷野路3号",
              "Jürgen|男|42|13900000007|555007|j@x.cn|Müllerstraße 1, åäö",
              "Anna|女|43|13900000008|555008|a@x.cn|MÜLLERSTRASSE 2, ÅÄÖ",
              "Ben|男|44|13900000009|555009|b@x.cn|100% Pure Lane", " |女|20|13900000010|555010||",
              "刘洋|男|45|13900000011|555011|l@x.cn|under_score boulevard",
              "O'Brien|女|46|13900000012|555012|o@x.cn|O'Brien Road 4"}) {
            const QStringList v = QString::fromUtf8(row).split(u'|');
            insertRow(*folder, {0, v[0], v[1], v[2], v[3], v[4], v[5], v[6],
                                folder->makeJpeg(PhotoFiles::memberPhotoPath(v[0], v[3]))});
        }
        const Window w = openWindow();
        w.click("Command8");
        // Text goes in as the input method commits it, whole characters at a time, including
        // those outside the basic plane that key events would deliver in halves.
        for (int i = 0; i < typed.size(); i += 2) {
            QWidget* box = w.form->findChild<QWidget*>(typed.at(i));
            if (box == w.Combo1) {
                w.Combo1->lineEdit()->clear();
                box = w.Combo1->lineEdit();
            }
            QInputMethodEvent event;
            event.setCommitString(typed.at(i + 1));
            QApplication::sendEvent(box, &event);
        }
        const QStringList fields = w.fields();
        const QList<QStringList> page = w.page();

        w.click("Command6");

        if (message.isEmpty()) {
            QCOMPARE(summaries(dialogs->calls), QStringList());
            QCOMPARE(w.fields(), fields);
            // Every page of the result, walking forward with "下一页".
            const qsizetype pages = (found.size() + 9) / 10;
            QCOMPARE(counted(w), QStringLiteral("%1 1/%2").arg(found.size()).arg(pages));
            QList<qint64> ids = w.shownIds();
            for (qsizetype p = 1; p < pages; ++p) {
                w.click("Command8");
                ids += w.shownIds();
            }
            QCOMPARE(ids, found);
            // The record and page buttons browse the result in its own order.
            const qsizetype last = (found.size() - 1) / 10 * 10;
            w.click("Command9");
            QCOMPARE(w.t8->text(), QString::number(found.at(qMax(last, found.size() - 2))));
            w.click("Command7");
            QCOMPARE(w.shownIds(), found.mid(qMax(last - 10, 0), 10));
            w.click("Command11");
            checkFullListBack(w);
            return;
        }
        QCOMPARE(summaries(dialogs->calls),
                 QStringList{line(message, message == kNothing ? QStringLiteral("查询失败")
                                                               : QStringLiteral("查询违规"))});
        if (message == kNothing || message == kTooMany) {
            checkFullListBack(w);
            w.click("Command8");
            QCOMPARE(w.txtPageMsg->text(), QStringLiteral("2/2"));
            return;
        }
        // Refused before the store was asked: all stays, paging included.
        QCOMPARE(w.fields(), fields);
        QCOMPARE(w.page(), page);
        QCOMPARE(counted(w), QStringLiteral("12 2/2"));
        w.click("Command7");
        QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/2"));
    }
};

QTEST_MAIN(tst_signin)
#include "tst_signin.moc"
