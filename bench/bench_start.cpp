// Start-up and sign-in. Start-up spawns the real program (offscreen) until its sign-in window is
// drawn; sign-in presses "登陆" in the real sign-in window, the password hash check included.

#include "BenchSupport.h"
#include "Forms.h"
#include "NaiveRegister.h"
#include "ProgramFolder.h"
#include "RawSqlite.h"
#include "Spawn.h"
#include "admin.h"

#include <QLineEdit>

#include <sodium.h>

using namespace BenchSupport;

namespace {

void spawnUntilShown(benchmark::State& state, const std::string& program,
                     const std::vector<std::string>& arguments)
{
    for (auto _ : state) {
        const Spawn::Outcome outcome = Spawn::run(
            program, arguments, {"TALVIO_EXIT_WHEN_SHOWN=1", "QT_QPA_PLATFORM=offscreen"});
        if (outcome.exitCode != 0) {
            state.SkipWithError(("exit code " + std::to_string(outcome.exitCode)).c_str());
            break;
        }
    }
}

void startTalvio(benchmark::State& state)
{
    spawnUntilShown(state, Spawn::binFolder() + "/talvio",
                    {"--data-dir", storeFolder().toStdString()});
}

// The sign-in window of the old design reads no member either, so its start is the program's.
void startNaive(benchmark::State& state)
{
    startTalvio(state);
}

void startFloor(benchmark::State& state)
{
    spawnUntilShown(state, Spawn::binFolder() + "/start_floor", {});
}

void startBareProcess(benchmark::State& state)
{
    spawnUntilShown(state, "/bin/true", {});
}

void signInTalvio(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto* window = static_cast<admin*>(Forms::instance().show(QStringLiteral("admin")));
        field<QLineEdit>(window, "Text1")->setText(QStringLiteral("admin"));
        field<QLineEdit>(window, "Text2")->setText(QStringLiteral("talvio"));
        state.ResumeTiming();
        window->Command1_Click();
        state.PauseTiming();
        if (!dialogs().calls.isEmpty())
            state.SkipWithError(qPrintable(dialogs().messageTexts().join(u' ')));
        Forms::instance().unload(window);
        destroyUnloaded();
        state.ResumeTiming();
    }
}

// The old design keeps the password as plain text: a lookup on its own connection and a compare.
void signInNaive(benchmark::State& state)
{
    for (auto _ : state) {
        const QStringList stored = runOnOwnConnection(
            ProgramFolder::databaseFile(),
            QStringLiteral("SELECT pasword FROM admin WHERE user = ?"), {QStringLiteral("admin")});
        benchmark::DoNotOptimize(!stored.isEmpty() &&
                                 stored.first().trimmed() == QLatin1String("talvio"));
    }
}

// The same lookup through SQLite's C interface and the same Argon2id check.
void signInFloor(benchmark::State& state)
{
    const std::string file = ProgramFolder::databaseFile().toStdString();
    const std::string password = "talvio";
    if (sodium_init() < 0)
        state.SkipWithError("libsodium");
    for (auto _ : state) {
        RawSqlite::Connection db(file);
        RawSqlite::Statement lookup(
            db, "SELECT pasword FROM admin WHERE user = ? ORDER BY rowid LIMIT 1");
        lookup.bind(1, std::string_view("admin"));
        if (!lookup.next()) {
            state.SkipWithError("no operator");
            break;
        }
        const std::string hash(lookup.text(0));
        if (crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) != 0)
            state.SkipWithError("password does not match");
    }
}

void registerAll()
{
    const QString start = QStringLiteral("StartToSignInWindow");
    addRow(start, "talvio", startTalvio)->Unit(benchmark::kMillisecond);
    addRow(start, "naive", startNaive)->Unit(benchmark::kMillisecond);
    addRow(start, "floor", startFloor)->Unit(benchmark::kMillisecond);
    addRow(start, "bare_process", startBareProcess)->Unit(benchmark::kMillisecond);

    const QString signIn = QStringLiteral("SignIn");
    addRow(signIn, "talvio", signInTalvio)->Unit(benchmark::kMillisecond);
    addRow(signIn, "naive", signInNaive)->Unit(benchmark::kMillisecond);
    addRow(signIn, "floor", signInFloor)->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv)
{
    return BenchSupport::run(argc, argv, registerAll);
}
