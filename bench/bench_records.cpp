// Add, edit and delete through the member window over a large store, photo files included.

#include "AppSetup.h"
#include "BenchStore.h"
#include "Dialogs.h"
#include "Forms.h"
#include "ProgramFolder.h"
#include "xianshi.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

qint64 storeSize()
{
    const int configured = qEnvironmentVariableIntValue("TALVIO_BENCH_MEMBERS");
    return configured > 0 ? configured : 1000000;
}

xianshi* openWindow()
{
    static const QString folder = BenchStore::scratchCopyOf(storeSize());
    ProgramFolder::setRoot(folder);
    return static_cast<xianshi*>(Forms::instance().show(QStringLiteral("xianshi")));
}

void closeWindow(xianshi* window)
{
    Forms::instance().unload(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <typename T> T* field(QWidget* window, const char* name)
{
    return window->findChild<T*>(QString::fromLatin1(name));
}

void fill(xianshi* window, qint64 n)
{
    field<QLineEdit>(window, "t1")->setText(QStringLiteral("测试%1").arg(n));
    field<QComboBox>(window, "Combo1")->setEditText(QStringLiteral("男"));
    field<QLineEdit>(window, "t3")->setText(QStringLiteral("30"));
    field<QLineEdit>(window, "T4")->setText(QStringLiteral("bench-%1").arg(n));
    field<QLineEdit>(window, "T5")->setText(QStringLiteral("123456"));
    field<QLineEdit>(window, "T6")->setText(QStringLiteral("t%1@example.com").arg(n));
    field<QPlainTextEdit>(window, "T7")->setPlainText(QStringLiteral("北京市海淀区%1号").arg(n));
}

void selectFirstRow(xianshi* window)
{
    auto* grid = field<QTableView>(window, "DataGrid1");
    grid->setCurrentIndex(grid->model()->index(0, 1));
}

qint64 serial = 0;

void BM_Add(benchmark::State& state)
{
    xianshi* window = openWindow();
    for (auto _ : state) {
        state.PauseTiming();
        fill(window, ++serial);
        state.ResumeTiming();
        window->Command1_Click();
    }
    closeWindow(window);
}
BENCHMARK(BM_Add)->Unit(benchmark::kMillisecond);

void BM_Edit(benchmark::State& state)
{
    xianshi* window = openWindow();
    for (auto _ : state) {
        state.PauseTiming();
        selectFirstRow(window);
        field<QLineEdit>(window, "T4")->setText(QStringLiteral("edit-%1").arg(++serial));
        state.ResumeTiming();
        window->Command5_Click();
    }
    closeWindow(window);
}
BENCHMARK(BM_Edit)->Unit(benchmark::kMillisecond);

void BM_Delete(benchmark::State& state)
{
    xianshi* window = openWindow();
    for (auto _ : state) {
        state.PauseTiming();
        selectFirstRow(window);
        state.ResumeTiming();
        window->Command2_Click();
    }
    closeWindow(window);
}
BENCHMARK(BM_Delete)->Unit(benchmark::kMillisecond);

void quietRaise(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (!text.contains(QLatin1String("does not support raise")))
        std::fprintf(stderr, "%s\n", qPrintable(text));
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietRaise);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AppSetup::prepareApplication(app);
    AppSetup::registerWindows();
    Dialogs::install(std::make_unique<ScriptedDialogs>());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
