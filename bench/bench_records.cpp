// Add, edit and delete over a large store, photo files included, and the member window opened
// again after a delete. Three rows each: through the member window, the old design, SQLite alone.
// Runs on a private copy of the cached store.

#include "BenchSupport.h"
#include "Dialogs.h"
#include "Forms.h"
#include "NaiveRegister.h"
#include "PageModel.h"
#include "PhotoFiles.h"
#include "ProgramFolder.h"
#include "RecordFloor.h"
#include "xianshi.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

#include <memory>

using namespace BenchSupport;

namespace {

qint64 serial = 0;

Member newMember(qint64 n)
{
    Member m;
    m.xingming = QStringLiteral("测试%1").arg(n);
    m.xingbie = QStringLiteral("男");
    m.nianling = QStringLiteral("30");
    m.dianhua = QStringLiteral("bench-%1").arg(n);
    m.qq = QStringLiteral("123456");
    m.youxiang = QStringLiteral("t%1@example.com").arg(n);
    m.dizhi = QStringLiteral("北京市海淀区%1号").arg(n);
    return m;
}

QVariantList columnValues(const Member& m, const QString& photo)
{
    return {m.xingming, m.xingbie, m.nianling, m.dianhua, m.qq, m.youxiang, m.dizhi, photo};
}

// ---- through the member window ----

xianshi* openWindow()
{
    return static_cast<xianshi*>(Forms::instance().show(QStringLiteral("xianshi")));
}

void closeWindow(xianshi* window)
{
    Forms::instance().unload(window);
    destroyUnloaded();
}

void fill(xianshi* window, const Member& m)
{
    field<QLineEdit>(window, "t1")->setText(m.xingming);
    field<QComboBox>(window, "Combo1")->setEditText(m.xingbie);
    field<QLineEdit>(window, "t3")->setText(m.nianling);
    field<QLineEdit>(window, "T4")->setText(m.dianhua);
    field<QLineEdit>(window, "T5")->setText(m.qq);
    field<QLineEdit>(window, "T6")->setText(m.youxiang);
    field<QPlainTextEdit>(window, "T7")->setPlainText(m.dizhi);
}

// Selecting the newest row fills the fields and puts its photo file in place (the generated
// store has none, so the window repairs it from the default photo).
void selectFirstRow(xianshi* window)
{
    auto* grid = field<QTableView>(window, "DataGrid1");
    grid->setCurrentIndex(grid->model()->index(0, 1));
}

// Pauses the clock, checks that the operation said `done`, and forgets the boxes.
void expectMessage(benchmark::State& state, const char16_t* done)
{
    if (!dialogs().messageTexts().contains(QString::fromUtf16(done)))
        state.SkipWithError(qPrintable(dialogs().messageTexts().join(u' ')));
    dialogs().clear();
}

void addTalvio(benchmark::State& state)
{
    xianshi* window = openWindow();
    for (auto _ : state) {
        state.PauseTiming();
        fill(window, newMember(++serial));
        state.ResumeTiming();
        press(window, "Command1");
        state.PauseTiming();
        expectMessage(state, u"学员录入完毕");
        state.ResumeTiming();
    }
    closeWindow(window);
}

void editTalvio(benchmark::State& state)
{
    xianshi* window = openWindow();
    for (auto _ : state) {
        state.PauseTiming();
        selectFirstRow(window);
        field<QLineEdit>(window, "T4")->setText(QStringLiteral("edit-%1").arg(++serial));
        dialogs().clear();
        state.ResumeTiming();
        press(window, "Command5");
        state.PauseTiming();
        expectMessage(state, u"更新成功");
        state.ResumeTiming();
    }
    closeWindow(window);
}

void deleteTalvio(benchmark::State& state)
{
    xianshi* window = openWindow();
    for (auto _ : state) {
        state.PauseTiming();
        selectFirstRow(window);
        dialogs().clear();
        state.ResumeTiming();
        press(window, "Command2");
        state.PauseTiming();
        expectMessage(state, u"学员删除完毕");
        state.ResumeTiming();
    }
    closeWindow(window);
}

void reopenTalvio(benchmark::State& state)
{
    xianshi* window = openWindow();
    for (auto _ : state) {
        state.PauseTiming();
        selectFirstRow(window);
        press(window, "Command2");
        expectMessage(state, u"学员删除完毕");
        state.ResumeTiming();
        // What the window does once a delete is done: unload, then show anew.
        Forms::instance().unload(window);
        window = static_cast<xianshi*>(Forms::instance().show(QStringLiteral("xianshi")));
        state.PauseTiming();
        destroyUnloaded();
        state.ResumeTiming();
    }
    closeWindow(window);
}

// ---- the old design ----

// The generated rows name photo files in the cached store; the copy keeps its own, made from
// the default photo when missing, as the window's repair does.
QString localPhoto(const Member& m)
{
    if (m.zhaopian.startsWith(ProgramFolder::photoFolder()))
        return m.zhaopian;
    return PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
}

QString ensureFile(const Member& m)
{
    const QString photo = localPhoto(m);
    if (!QFile::exists(photo))
        QFile::copy(ProgramFolder::defaultPhoto(), photo);
    return photo;
}

RawSqlite::Row toRow(const Member& m)
{
    RawSqlite::Row row;
    row.id = m.id;
    const QString* values[] = {&m.xingming, &m.xingbie,  &m.nianling, &m.dianhua,
                               &m.qq,       &m.youxiang, &m.dizhi,    &m.zhaopian};
    for (int i = 0; i < 8; ++i)
        row.values[i] = values[i]->toStdString();
    return row;
}

Member fromRow(const RawSqlite::Row& row)
{
    Member m;
    m.id = row.id;
    QString* values[] = {&m.xingming, &m.xingbie,  &m.nianling, &m.dianhua,
                         &m.qq,       &m.youxiang, &m.dizhi,    &m.zhaopian};
    for (int i = 0; i < 8; ++i)
        *values[i] = QString::fromStdString(row.values[i]);
    return m;
}

void reloadNaive(NaiveRegister& naive, PageModel& page)
{
    naive.loadList();
    page.setRows(naive.page(1));
}

void addNaive(benchmark::State& state)
{
    NaiveRegister naive(ProgramFolder::databaseFile());
    PageModel page;
    reloadNaive(naive, page);
    for (auto _ : state) {
        state.PauseTiming();
        const Member m = newMember(++serial);
        state.ResumeTiming();
        naive.load(QStringLiteral("SELECT * FROM user WHERE dianhua = ?"), {m.dianhua});
        const QString photo = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
        QFile::remove(photo);
        QFile::copy(ProgramFolder::defaultPhoto(), photo);
        runOnOwnConnection(ProgramFolder::databaseFile(),
                           QStringLiteral("INSERT INTO user (xingming, xingbie, nianling, dianhua, "
                                          "qq, youxiang, dizhi, zhaopian) VALUES (?, ?, ?, ?, ?, "
                                          "?, ?, ?)"),
                           columnValues(m, photo));
        reloadNaive(naive, page);
    }
}

void editNaive(benchmark::State& state)
{
    NaiveRegister naive(ProgramFolder::databaseFile());
    PageModel page;
    reloadNaive(naive, page);
    for (auto _ : state) {
        state.PauseTiming();
        Member m = naive.rows.first();
        const QString oldPhoto = ensureFile(m);
        m.dianhua = QStringLiteral("edit-%1").arg(++serial);
        state.ResumeTiming();
        naive.load(QStringLiteral("SELECT * FROM user WHERE dianhua = ?"), {m.dianhua});
        // The old photo goes through a temporary file to its new name.
        const QString temporary = ProgramFolder::join(QStringLiteral("temp.jpg"));
        const QString photo = PhotoFiles::memberPhotoPath(m.xingming, m.dianhua);
        QFile::copy(oldPhoto, temporary);
        QFile::remove(oldPhoto);
        QFile::remove(photo);
        QFile::copy(temporary, photo);
        QFile::remove(temporary);
        QVariantList values = columnValues(m, photo);
        values.append(m.id);
        naive.execute(QStringLiteral("UPDATE user SET xingming = ?, xingbie = ?, nianling = ?, "
                                     "dianhua = ?, qq = ?, youxiang = ?, dizhi = ?, zhaopian = ? "
                                     "WHERE id = ?"),
                      values);
        reloadNaive(naive, page);
    }
}

void deleteNaive(benchmark::State& state)
{
    NaiveRegister naive(ProgramFolder::databaseFile());
    PageModel page;
    reloadNaive(naive, page);
    for (auto _ : state) {
        state.PauseTiming();
        const Member m = naive.rows.first();
        const QString photo = ensureFile(m);
        state.ResumeTiming();
        naive.execute(QStringLiteral("DELETE FROM user WHERE id = ?"), {m.id});
        QFile::remove(photo);
        reloadNaive(naive, page);
    }
}

void reopenNaive(benchmark::State& state)
{
    auto naive = std::make_unique<NaiveRegister>(ProgramFolder::databaseFile());
    naive->loadList();
    auto window = std::make_unique<xianshi>();
    for (auto _ : state) {
        state.PauseTiming();
        const Member m = naive->rows.first();
        naive->execute(QStringLiteral("DELETE FROM user WHERE id = ?"), {m.id});
        QFile::remove(localPhoto(m));
        state.ResumeTiming();
        // Unload: the window, its connection and its rows go; load: all of them anew.
        window.reset();
        naive = std::make_unique<NaiveRegister>(ProgramFolder::databaseFile());
        window = std::make_unique<xianshi>();
        PageModel page;
        reloadNaive(*naive, page);
        window->show();
    }
}

// ---- SQLite alone ----

void addFloor(benchmark::State& state)
{
    RecordFloor floor;
    for (auto _ : state) {
        state.PauseTiming();
        const RawSqlite::Row m = toRow(newMember(++serial));
        state.ResumeTiming();
        floor.add(m);
    }
}

void editFloor(benchmark::State& state)
{
    RecordFloor floor;
    for (auto _ : state) {
        state.PauseTiming();
        Member m = fromRow(floor.newest());
        m.zhaopian = ensureFile(m);
        m.dianhua = QStringLiteral("edit-%1").arg(++serial);
        const RawSqlite::Row row = toRow(m);
        state.ResumeTiming();
        floor.edit(row);
    }
}

void deleteFloor(benchmark::State& state)
{
    RecordFloor floor;
    for (auto _ : state) {
        state.PauseTiming();
        const Member m = fromRow(floor.newest());
        ensureFile(m);
        state.ResumeTiming();
        floor.remove(m.id);
    }
}

void reopenFloor(benchmark::State& state)
{
    auto floor = std::make_unique<RecordFloor>();
    for (auto _ : state) {
        state.PauseTiming();
        const Member m = fromRow(floor->newest());
        ensureFile(m);
        floor->remove(m.id);
        state.ResumeTiming();
        floor.reset();
        floor = std::make_unique<RecordFloor>();
    }
}

void registerAll()
{
    ProgramFolder::setRoot(scratchFolder());
    const struct
    {
        const char* operation;
        void (*talvio)(benchmark::State&);
        void (*naive)(benchmark::State&);
        void (*floor)(benchmark::State&);
    } rows[] = {
        {"Add", addTalvio, addNaive, addFloor},
        {"Edit", editTalvio, editNaive, editFloor},
        {"Delete", deleteTalvio, deleteNaive, deleteFloor},
        {"ReopenAfterDelete", reopenTalvio, reopenNaive, reopenFloor},
    };
    for (const auto& row : rows) {
        const QString operation = QString::fromLatin1(row.operation);
        addRow(operation, "talvio", row.talvio)->Unit(benchmark::kMillisecond);
        addRow(operation, "naive", row.naive)->Unit(benchmark::kMillisecond);
        addRow(operation, "floor", row.floor)->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    return BenchSupport::run(argc, argv, registerAll);
}
