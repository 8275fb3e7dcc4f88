#include "app/CrashDumpWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// ---------------------------------------------------------------- the crashing child
// The test program re-runs itself with --crash HOW DUMPDIR PROGRAMDIR CACHEDIR TEMPDIR
// ("-" for an empty setting), installs the writer and crashes. The functions are exported
// (ENABLE_EXPORTS) so that the dump's symbol section can name them.

extern "C" {

__attribute__((noinline, no_sanitize("null"))) void arvTestCrashByNullPointer()
{
    volatile int *volatile p = nullptr;
    *p = 42;
}

__attribute__((noinline)) void arvTestCrashByAbort()
{
    std::abort();
}

__attribute__((noinline)) int arvTestRecurse(int depth)
{
    volatile char pad[1024];
    pad[depth % 1024] = char(depth);
    if (depth < 0)
        return 0;
    return arvTestRecurse(depth + 1) + pad[0];
}

__attribute__((noinline)) void arvTestCrashByBusError()
{
    // A shared mapping beyond the end of its (empty) file.
    const int fd = ::memfd_create("arv-crash-test", 0);
    auto *p = static_cast<volatile char *>(::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
    if (p != MAP_FAILED)
        (void)p[0];
}

#if defined(__x86_64__)
__attribute__((noinline)) void arvTestCrashByTrap()
{
    __builtin_trap();
}

__attribute__((noinline, no_sanitize("integer-divide-by-zero"))) int arvTestDivideByZero()
{
    volatile int seven = 7, zero = 0;
    return seven / zero;
}

__attribute__((noinline)) void arvTestCrashWithWreckedStack()
{
    asm volatile("mov $16, %%rsp\n\tmovq $0, (%%rsp)" ::: "memory");
    __builtin_unreachable();
}
#endif

} // extern "C"

namespace {

std::string argOrEmpty(const char *a)
{
    return std::string(a) == "-" ? std::string() : std::string(a);
}

int crashChild(int argc, char **argv)
{
    if (argc < 7)
        return 2;
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    CrashDumpWriter::Settings s;
    s.dumpDirectory = argOrEmpty(argv[3]);
    s.programDirectory = argOrEmpty(argv[4]);
    s.cacheDirectory = argOrEmpty(argv[5]);
    s.tempDirectory = argOrEmpty(argv[6]);
    if (!CrashDumpWriter::install(s))
        return 3;
    const std::string how = argv[2];
    if (how == "null")
        arvTestCrashByNullPointer();
    else if (how == "abort")
        arvTestCrashByAbort();
    else if (how == "overflow")
        return arvTestRecurse(0);
    else if (how == "bus")
        arvTestCrashByBusError();
    else if (how == "thread")
        std::thread(arvTestCrashByNullPointer).join();
#if defined(__x86_64__)
    else if (how == "trap")
        arvTestCrashByTrap();
    else if (how == "divide")
        return arvTestDivideByZero();
    else if (how == "stack")
        arvTestCrashWithWreckedStack();
#endif
    return 4; // survived
}

// ---------------------------------------------------------------- the test side

struct ChildResult
{
    int status = -1; // as from waitpid
    QByteArray errors;
    int signal() const { return WIFSIGNALED(status) ? WTERMSIG(status) : 0; }
};

// closedErrors: standard error is a pipe whose reading end is closed (writing to it raises
// SIGPIPE).
ChildResult runChild(const QString &how, const QString &dumpDir, const QString &programDir,
                     const QString &cacheDir, const QString &tempDir, bool closedErrors = false)
{
    ChildResult result;
    QTemporaryDir scratch;
    const QByteArray errPath = QFile::encodeName(scratch.filePath("stderr"));
    QList<QByteArray> args = {QFile::encodeName(QCoreApplication::applicationFilePath()), "--crash",
                              how.toUtf8()};
    for (const QString &d : {dumpDir, programDir, cacheDir, tempDir})
        args << (d.isEmpty() ? QByteArray("-") : QFile::encodeName(d));
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    int pipeEnds[2] = {-1, -1};
    if (closedErrors && ::pipe(pipeEnds) == 0) {
        ::close(pipeEnds[0]);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0)
        ::close(pipeEnds[1]);
    if (rc != 0)
        return result;
    // Bounded wait for the child's end (a hanging handler would be a failure).
    QElapsedTimer clock;
    clock.start();
    while (::waitpid(pid, &result.status, WNOHANG) == 0) {
        if (clock.elapsed() > 30000) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &result.status, 0);
            result.status = -1;
            break;
        }
        QTest::qSleep(5);
    }
    QFile err(QString::fromLocal8Bit(errPath));
    if (err.open(QIODevice::ReadOnly))
        result.errors = err.readAll();
    return result;
}

// Dumps into dumpDir; the fall-back directories do not exist (a dump there is a failure).
ChildResult runChildInto(const QString &how, const QString &dumpDir, bool closedErrors = false)
{
    QTemporaryDir unused;
    return runChild(how, dumpDir, unused.filePath("p"), unused.filePath("c"), unused.filePath("t"),
                    closedErrors);
}

QString dumpName(int counter)
{
    return QString::fromStdString(CrashDumpWriter::fileName(CrashDumpWriter::Settings(), counter));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The value of the first "key: value" line of a dump.
QByteArray field(const QByteArray &dump, const QByteArray &key)
{
    const QRegularExpression re(QStringLiteral("^%1: (.*)$").arg(QString::fromLatin1(key)),
                                QRegularExpression::MultilineOption);
    return re.match(QString::fromUtf8(dump)).captured(1).toUtf8();
}

// The lines of one section ("backtrace:" up to the next unindented line).
QList<QByteArray> section(const QByteArray &dump, const QByteArray &title)
{
    QList<QByteArray> lines;
    bool inside = false;
    for (const QByteArray &line : dump.split('\n')) {
        if (inside && !line.startsWith(' '))
            break;
        if (inside)
            lines << line;
        if (line == title + ':')
            inside = true;
    }
    return lines;
}

QString unusablePath(const QTemporaryDir &base)
{
    // Below a regular file: no one, root included, can create anything there.
    QFile file(base.filePath("plain-file"));
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.write("x");
    return base.filePath("plain-file/sub");
}

} // namespace

class TestCrashDump : public QObject
{
    Q_OBJECT
private slots:
    // Each kind of crash: the process still ends by its signal, and one dump with the first
    // name holds the signal, the fault, the build identity, the registers, the maps and a
    // backtrace that reaches the crashing function.
    void crashLeavesDump_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("sig");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("address"); // empty: not checked
        QTest::addColumn<QString>("symbol");  // empty: the stack is not unwound
        QTest::addColumn<bool>("otherThread");

        QTest::newRow("null dereference") << "null" << SIGSEGV << "SEGV_MAPERR"
                                          << "0x0000000000000000"
                                          << "arvTestCrashByNullPointer" << false;
        QTest::newRow("abort") << "abort" << SIGABRT << "SI_TKILL"
                               << ""
                               << "abort" << false;
        QTest::newRow("stack overflow") << "overflow" << SIGSEGV << ""
                                        << ""
                                        << "arvTestRecurse" << false;
        QTest::newRow("bus error") << "bus" << SIGBUS << "BUS_ADRERR"
                                   << ""
                                   << "arvTestCrashByBusError" << false;
        QTest::newRow("worker thread") << "thread" << SIGSEGV << "SEGV_MAPERR"
                                       << "0x0000000000000000"
                                       << "arvTestCrashByNullPointer" << true;
#if defined(__x86_64__)
        QTest::newRow("illegal instruction") << "trap" << SIGILL << "ILL_ILLOPN"
                                             << ""
                                             << "arvTestCrashByTrap" << false;
        QTest::newRow("divide by zero") << "divide" << SIGFPE << "FPE_INTDIV"
                                        << ""
                                        << "arvTestDivideByZero" << false;
        // A wild stack pointer: the unwinder would fault, so the dump goes without backtrace.
        QTest::newRow("wrecked stack pointer") << "stack" << SIGSEGV << "SEGV_MAPERR"
                                               << "0x0000000000000010"
                                               << "" << false;
#endif
    }
    void crashLeavesDump()
    {
        QFETCH(QString, how);
        QFETCH(int, sig);
        QFETCH(QString, code);
        QFETCH(QString, address);
        QFETCH(QString, symbol);
        QFETCH(bool, otherThread);

        QTemporaryDir dumps;
        const ChildResult r = runChildInto(how, dumps.path());
        QCOMPARE(r.signal(), sig);
        QCOMPARE(QDir(dumps.path()).entryList(QDir::Files),
                 QStringList{"Merivoth_CrashDump_0000_0001.dmp"});
        const QString path = dumps.filePath(dumpName(1));
        QVERIFY2(r.errors.contains("Dump Crash file ... " + QFile::encodeName(path) + '\n'),
                 r.errors.constData());

        const QByteArray dump = readFile(path);
        QVERIFY(dump.startsWith("ARV Manager crash dump\n"));
        QVERIFY(dump.endsWith("end of dump\n"));
        QCOMPARE(field(dump, "version"), QByteArray(ARV_TEST_VERSION));
        QVERIFY(!field(dump, "commit").isEmpty());
        QCOMPARE(field(dump, "signal").split(' ').value(0).toInt(), sig);
        if (!code.isEmpty())
            QCOMPARE(field(dump, "code").split(' ').value(1), code.toLatin1());
        if (!address.isEmpty())
            QCOMPARE(field(dump, "address"), address.toLatin1());
        const QByteArray pid = field(dump, "pid");
        const QByteArray thread = field(dump, "thread").split(' ').value(0);
        QVERIFY(!pid.isEmpty() && !thread.isEmpty());
        QCOMPARE(thread != pid, otherThread);
        QVERIFY(section(dump, "registers").size() >= 4);
        QVERIFY(section(dump, "maps")
                    .join('\n')
                    .contains(QFile::encodeName(QCoreApplication::applicationFilePath())));

        const QList<QByteArray> frames = section(dump, "backtrace");
        const QByteArray symbols = section(dump, "symbols").join('\n');
        if (symbol.isEmpty()) {
            QCOMPARE(frames.size(), 1);
            QVERIFY(frames[0].contains("not unwound"));
            return;
        }
        QVERIFY(frames.size() >= 3);
        QVERIFY2(frames.join('\n').contains("<- fault"), dump.constData());
        // Every frame: raw address, then module and offset where a mapping holds it.
        const QRegularExpression frameLine(
            QStringLiteral(R"(^  #\d+ +0x[0-9a-f]{16}  (\S.* \+0x[0-9a-f]+|\?)( +<- fault)?$)"));
        for (const QByteArray &f : frames)
            QVERIFY2(frameLine.match(QString::fromUtf8(f)).hasMatch(), f.constData());
        QVERIFY2(symbols.contains(symbol.toLatin1() + '+'), symbols.constData());
    }

    // Create-exclusive from 0001 on: the first free number is taken and existing dumps are
    // kept; the last number, 9999, is overwritten.
    void counter_data()
    {
        QTest::addColumn<QList<int>>("existing");
        QTest::addColumn<int>("expected");
        QList<int> upTo9998, upTo9999;
        for (int i = 1; i <= 9999; ++i)
            (i <= 9998 ? upTo9998 : upTo9999) << i;
        upTo9999 = upTo9998 + upTo9999;
        QTest::newRow("none") << QList<int>{} << 1;
        QTest::newRow("0001-0003") << QList<int>{1, 2, 3} << 4;
        QTest::newRow("gap at 0002") << QList<int>{1, 3} << 2;
        QTest::newRow("0001-9998") << upTo9998 << 9999;
        QTest::newRow("0001-9999: 9999 overwritten") << upTo9999 << 9999;
    }
    void counter()
    {
        QFETCH(QList<int>, existing);
        QFETCH(int, expected);
        // Ten thousand files: in memory where the system offers it (far faster to create).
        QTemporaryDir dumps(QDir("/dev/shm").exists() ? "/dev/shm/tst_crashdump-XXXXXX"
                                                      : QDir::tempPath() + "/tst_crashdump-XXXXXX");
        QVERIFY(dumps.isValid());
        for (int i : existing) {
            QFile f(dumps.filePath(dumpName(i)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        QCOMPARE(runChildInto("abort", dumps.path()).signal(), SIGABRT);
        const QStringList files = QDir(dumps.path()).entryList(QDir::Files);
        QCOMPARE(files.size(), int(existing.size()) + (existing.contains(expected) ? 0 : 1));
        for (const QString &name : files) {
            const QByteArray content = readFile(dumps.filePath(name));
            if (name == dumpName(expected))
                QVERIFY(content.startsWith("ARV Manager crash dump\n"));
            else
                QVERIFY2(content == "old", qPrintable(name));
        }
    }

    // The configured directory, else the program's, else the user's cache directory for the
    // program (created, parents included), else the temporary one; without any, no dump,
    // but the process still ends by its signal.
    void directoryFallback_data()
    {
        QTest::addColumn<QString>("configured"); // "", "ok", "unusable", "missing"
        QTest::addColumn<bool>("programOk");
        QTest::addColumn<bool>("cacheOk");
        QTest::addColumn<bool>("tempOk");
        QTest::addColumn<QString>("expected"); // "configured", "program", "cache", "temp", ""
        QTest::newRow("configured") << "ok" << true << true << true << "configured";
        QTest::newRow("configured unusable") << "unusable" << true << true << true << "program";
        QTest::newRow("configured missing") << "missing" << true << true << true << "program";
        QTest::newRow("program unusable") << "" << false << true << true << "cache";
        QTest::newRow("configured and program unusable")
            << "unusable" << false << true << true << "cache";
        QTest::newRow("cache unusable too") << "" << false << false << true << "temp";
        QTest::newRow("nothing usable") << "unusable" << false << false << false << "";
    }
    void directoryFallback()
    {
        QFETCH(QString, configured);
        QFETCH(bool, programOk);
        QFETCH(bool, cacheOk);
        QFETCH(bool, tempOk);
        QFETCH(QString, expected);

        QTemporaryDir base;
        const QString bad = unusablePath(base);
        QDir(base.path()).mkpath("configured");
        QDir(base.path()).mkpath("program");
        QDir(base.path()).mkpath("temp");
        const QMap<QString, QString> dirs = {
            {"configured", configured == "ok"         ? base.filePath("configured")
                           : configured == "unusable" ? bad
                           : configured == "missing"  ? base.filePath("missing")
                                                      : QString()},
            {"program", programOk ? base.filePath("program") : bad},
            // Missing with its parents: created at the crash.
            {"cache", cacheOk ? base.filePath("home/.cache/arv-manager") : bad + "/arv-manager"},
            {"temp", tempOk ? base.filePath("temp") : bad},
        };
        const ChildResult r =
            runChild("abort", dirs["configured"], dirs["program"], dirs["cache"], dirs["temp"]);
        QCOMPARE(r.signal(), SIGABRT);
        for (auto it = dirs.cbegin(); it != dirs.cend(); ++it) {
            const bool holds = QFile::exists(it.value() + '/' + dumpName(1));
            QVERIFY2(holds == (it.key() == expected), qPrintable(it.key()));
        }
        QVERIFY(!QFile::exists(base.filePath("missing")));
        if (expected.isEmpty())
            QVERIFY2(r.errors.contains("Dump Crash file ... not written"), r.errors.constData());
        else
            QVERIFY(r.errors.contains("Dump Crash file ... " +
                                      QFile::encodeName(dirs[expected] + '/' + dumpName(1))));
    }

    // The fall-backs computed at installation: the program's own directory, the user's cache
    // directory for the program, the temporary directory; relative variables are ignored.
    void defaultDirectories_data()
    {
        QTest::addColumn<QByteArray>("xdgCache"); // "-": unset
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QByteArray>("tmpdir");
        QTest::addColumn<QString>("cache");
        QTest::addColumn<QString>("temp");
        QTest::newRow("XDG_CACHE_HOME, TMPDIR") << QByteArray("/x/cache") << QByteArray("/h")
                                                << QByteArray("/x/tmp") << "/x/cache/arv-manager"
                                                << "/x/tmp";
        QTest::newRow("HOME only")
            << QByteArray("-") << QByteArray("/h") << QByteArray("-") << "/h/.cache/arv-manager"
            << "/tmp";
        QTest::newRow("relative values ignored")
            << QByteArray("rel") << QByteArray("/h") << QByteArray("tmp") << "/h/.cache/arv-manager"
            << "/tmp";
        QTest::newRow("no home: no cache directory")
            << QByteArray("-") << QByteArray("-") << QByteArray("-") << ""
            << "/tmp";
    }
    void defaultDirectories()
    {
        QFETCH(QByteArray, xdgCache);
        QFETCH(QByteArray, home);
        QFETCH(QByteArray, tmpdir);
        QFETCH(QString, cache);
        QFETCH(QString, temp);
        const QList<QPair<const char *, QByteArray>> env = {
            {"XDG_CACHE_HOME", xdgCache}, {"HOME", home}, {"TMPDIR", tmpdir}};
        QList<QPair<const char *, QByteArray>> saved;
        for (const auto &[name, value] : env) {
            saved.append({name, qgetenv(name)});
            if (value == "-")
                qunsetenv(name);
            else
                qputenv(name, value);
        }
        const CrashDumpWriter::Settings s = CrashDumpWriter::resolved(CrashDumpWriter::Settings());
        for (const auto &[name, value] : saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
        QVERIFY(s.dumpDirectory.empty());
        QCOMPARE(QString::fromStdString(s.programDirectory),
                 QCoreApplication::applicationDirPath());
        QCOMPARE(QString::fromStdString(s.cacheDirectory), cache);
        QCOMPARE(QString::fromStdString(s.tempDirectory), temp);
    }

    // The log line cannot be written (nobody reads standard error): the process still ends
    // by its own signal, not by SIGPIPE, with its dump.
    void closedStandardError()
    {
        QTemporaryDir dumps;
        QCOMPARE(runChildInto("abort", dumps.path(), true).signal(), SIGABRT);
        QVERIFY(readFile(dumps.filePath(dumpName(1))).endsWith("end of dump\n"));
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && std::string(argv[1]) == "--crash")
        return crashChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestCrashDump test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashdump.moc"
