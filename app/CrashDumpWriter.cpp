#include "app/CrashDumpWriter.h"

#include "BuildIdentity.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

// Everything below the install() section runs inside the signal handler: only system calls
// and the few library functions that are safe there (backtrace once its library is loaded,
// dladdr last of all), fixed buffers, no allocation.

namespace {

constexpr int kPathCapacity = 4096;
constexpr int kDirectoryCount = 4; // configured, program, cache, temporary
constexpr int kLastCounter = 9999;
constexpr int kMaxFrames = 64;
constexpr unsigned kHangLimitSeconds = 10; // SIGALRM ends a handler that got stuck
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

struct HandlerState
{
    char prefix[256] = {}; // "<application>_<tag>_<version>_"
    char directories[kDirectoryCount][kPathCapacity] = {};
    bool createMissing[kDirectoryCount] = {}; // the cache directory is created when missing
    int directoryCount = 0;
    char program[kPathCapacity] = {};
};

HandlerState g_state;
std::atomic<long> g_writerThread{0};
void *g_altStack = nullptr;
std::size_t g_altStackSize = 0;

// The copy of /proc/self/maps read by the handler (touched only then).
char g_maps[1 << 19];

// ---------------------------------------------------------------- formatting

// Buffered output to a file descriptor with number formatting.
class Out
{
public:
    explicit Out(int fd) : m_fd(fd) {}
    ~Out() { flush(); }
    Out(const Out &) = delete;
    Out &operator=(const Out &) = delete;

    Out &text(const char *s) { return text(s, std::strlen(s)); }
    Out &text(const char *s, std::size_t n)
    {
        while (n > 0) {
            if (m_used == sizeof m_buf)
                flush();
            const std::size_t k = std::min(n, sizeof m_buf - m_used);
            std::memcpy(m_buf + m_used, s, k);
            m_used += k;
            s += k;
            n -= k;
        }
        return *this;
    }
    Out &ch(char c) { return text(&c, 1); }
    Out &dec(long long v)
    {
        char digits[24];
        int n = 0;
        const bool negative = v < 0;
        unsigned long long u = negative ? 0ull - static_cast<unsigned long long>(v)
                                        : static_cast<unsigned long long>(v);
        do {
            digits[n++] = char('0' + u % 10);
            u /= 10;
        } while (u != 0);
        if (negative)
            ch('-');
        while (n > 0)
            ch(digits[--n]);
        return *this;
    }
    // Zero-padded to `width` digits (0: no padding), with "0x".
    Out &hex(std::uint64_t v, int width = 16)
    {
        char digits[16];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[v & 0xF];
            v >>= 4;
        } while (v != 0);
        text("0x");
        for (int i = n; i < width; ++i)
            ch('0');
        while (n > 0)
            ch(digits[--n]);
        return *this;
    }
    Out &twoDigits(int v)
    {
        ch(char('0' + v / 10 % 10));
        return ch(char('0' + v % 10));
    }
    void flush()
    {
        std::size_t done = 0;
        while (done < m_used && m_ok) {
            const ssize_t w = ::write(m_fd, m_buf + done, m_used - done);
            if (w > 0)
                done += std::size_t(w);
            else if (!(w < 0 && errno == EINTR))
                m_ok = false; // disk full or similar: the rest is lost, the handler goes on
        }
        m_used = 0;
    }

private:
    int m_fd;
    bool m_ok = true;
    std::size_t m_used = 0;
    char m_buf[2048];
};

// Appends src to dst[0 .. cap) after its current text; false when it does not fit.
bool append(char *dst, std::size_t cap, const char *src)
{
    const std::size_t used = std::strlen(dst);
    const std::size_t n = std::strlen(src);
    if (used + n + 1 > cap)
        return false;
    std::memcpy(dst + used, src, n + 1);
    return true;
}

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "?";
    }
}

const char *codeName(int sig, int code)
{
    switch (code) {
    case SI_USER:
        return "SI_USER";
    case SI_KERNEL:
        return "SI_KERNEL";
    case SI_QUEUE:
        return "SI_QUEUE";
    case SI_TKILL:
        return "SI_TKILL";
    default:
        break;
    }
    static const char *const segv[] = {"SEGV_MAPERR", "SEGV_ACCERR", "SEGV_BNDERR", "SEGV_PKUERR"};
    static const char *const bus[] = {"BUS_ADRALN", "BUS_ADRERR", "BUS_OBJERR", "BUS_MCEERR_AR",
                                      "BUS_MCEERR_AO"};
    static const char *const fpe[] = {"FPE_INTDIV", "FPE_INTOVF", "FPE_FLTDIV", "FPE_FLTOVF",
                                      "FPE_FLTUND", "FPE_FLTRES", "FPE_FLTINV", "FPE_FLTSUB"};
    static const char *const ill[] = {"ILL_ILLOPC", "ILL_ILLOPN", "ILL_ILLADR", "ILL_ILLTRP",
                                      "ILL_PRVOPC", "ILL_PRVREG", "ILL_COPROC", "ILL_BADSTK"};
    auto pick = [code](const char *const *names, int count) {
        return code >= 1 && code <= count ? names[code - 1] : "?";
    };
    switch (sig) {
    case SIGSEGV:
        return pick(segv, 4);
    case SIGBUS:
        return pick(bus, 5);
    case SIGFPE:
        return pick(fpe, 8);
    case SIGILL:
        return pick(ill, 8);
    default:
        return "?";
    }
}

// "yyyy-MM-dd HH:mm:ss UTC" from seconds since 1970 (days to civil date, proleptic Gregorian).
void writeUtc(Out &out, long long seconds)
{
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const long long year = yoe + era * 400 + (month <= 2);
    out.dec(year).ch('-').twoDigits(month).ch('-').twoDigits(day).ch(' ');
    out.twoDigits(int(rest / 3600)).ch(':').twoDigits(int(rest / 60 % 60)).ch(':');
    out.twoDigits(int(rest % 60)).text(" UTC");
}

// ---------------------------------------------------------------- the maps copy

struct MapLine
{
    std::uint64_t start = 0, end = 0, offset = 0;
    bool readable = false;
    const char *path = nullptr; // inside g_maps, up to the end of the line
    std::size_t pathLength = 0;
};

std::uint64_t parseHex(const char *&p, const char *end)
{
    std::uint64_t v = 0;
    while (p < end) {
        const char c = *p;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            break;
        v = v * 16 + std::uint64_t(d);
        ++p;
    }
    return v;
}

// Parses one line of maps starting at p; returns the start of the next line.
const char *parseMapLine(const char *p, const char *end, MapLine &line)
{
    const char *eol = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
    if (!eol)
        eol = end;
    line = MapLine();
    line.start = parseHex(p, eol);
    if (p < eol && *p == '-')
        ++p;
    line.end = parseHex(p, eol);
    if (p < eol && *p == ' ')
        ++p;
    line.readable = p < eol && *p == 'r';
    while (p < eol && *p != ' ') // permissions
        ++p;
    while (p < eol && *p == ' ')
        ++p;
    line.offset = parseHex(p, eol);
    for (int field = 0; field < 3 && p < eol; ++field) { // offset rest, device, inode
        while (p < eol && *p != ' ')
            ++p;
        while (p < eol && *p == ' ')
            ++p;
    }
    line.path = p;
    line.pathLength = std::size_t(eol - p);
    return eol < end ? eol + 1 : end;
}

// The mapping that holds addr; false when none of the copied lines does.
bool findMapping(const char *maps, std::size_t size, std::uint64_t addr, MapLine &found)
{
    const char *p = maps;
    const char *end = maps + size;
    while (p < end) {
        MapLine line;
        p = parseMapLine(p, end, line);
        if (addr >= line.start && addr < line.end) {
            found = line;
            return true;
        }
    }
    return false;
}

// The load base of a module: the start of its mapping at file offset 0.
std::uint64_t moduleBase(const char *maps, std::size_t size, const MapLine &of)
{
    const char *p = maps;
    const char *end = maps + size;
    while (p < end) {
        MapLine line;
        p = parseMapLine(p, end, line);
        if (line.offset == 0 && line.pathLength == of.pathLength &&
            std::memcmp(line.path, of.path, of.pathLength) == 0)
            return line.start;
    }
    return of.start - of.offset;
}

// Whether unwinding from this stack pointer can work: it lies in a readable mapping, or
// (a stack overflow) a little below one. A wild stack pointer would make the unwinder fault.
bool stackLooksUsable(const char *maps, std::size_t size, std::uint64_t sp)
{
    constexpr std::uint64_t kOverflowReach = 64 * 1024;
    const char *p = maps;
    const char *end = maps + size;
    while (p < end) {
        MapLine line;
        p = parseMapLine(p, end, line);
        if (line.readable && sp < line.end && sp + kOverflowReach >= line.start)
            return true;
    }
    return false;
}

// Copies /proc/self/maps into the dump and keeps as much of it as fits in g_maps.
std::size_t copyMaps(Out &out)
{
    std::size_t kept = 0;
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        out.text("  (not readable)\n");
        return 0;
    }
    char chunk[1024];
    bool lineStart = true;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        // Indented like every section, line by line.
        for (ssize_t i = 0; i < n; ++i) {
            if (lineStart)
                out.text("  ");
            out.ch(chunk[i]);
            lineStart = chunk[i] == '\n';
        }
        const std::size_t k = std::min(std::size_t(n), sizeof g_maps - kept);
        std::memcpy(g_maps + kept, chunk, k);
        kept += k;
    }
    ::close(fd);
    return kept;
}

// ---------------------------------------------------------------- the dump

struct Context
{
    std::uint64_t pc = 0;
    std::uint64_t sp = 0;
    bool known = false;
};

Context writeRegisters(Out &out, const void *uc)
{
    Context c;
    out.text("registers:\n");
    if (!uc) {
        out.text("  (no signal context)\n");
        return c;
    }
#if defined(__x86_64__)
    static const char *const names[NGREG] = {"r8",     "r9",  "r10",    "r11",     "r12", "r13",
                                             "r14",    "r15", "rdi",    "rsi",     "rbp", "rbx",
                                             "rdx",    "rax", "rcx",    "rsp",     "rip", "efl",
                                             "csgsfs", "err", "trapno", "oldmask", "cr2"};
    const greg_t *g = static_cast<const ucontext_t *>(uc)->uc_mcontext.gregs;
    for (int i = 0; i < NGREG; ++i) {
        out.text("  ").text(names[i]);
        for (std::size_t pad = std::strlen(names[i]); pad < 8; ++pad)
            out.ch(' ');
        out.hex(std::uint64_t(g[i]));
        if (i % 4 == 3 || i == NGREG - 1)
            out.ch('\n');
    }
    c.pc = std::uint64_t(g[REG_RIP]);
    c.sp = std::uint64_t(g[REG_RSP]);
    c.known = true;
#elif defined(__aarch64__)
    const mcontext_t &m = static_cast<const ucontext_t *>(uc)->uc_mcontext;
    for (int i = 0; i < 31; ++i) {
        out.text("  x").dec(i).text(i < 10 ? "      " : "     ").hex(m.regs[i]);
        if (i % 4 == 3)
            out.ch('\n');
    }
    out.text("  sp      ").hex(m.sp).text("  pc      ").hex(m.pc);
    out.text("  pstate  ").hex(m.pstate);
    out.ch('\n');
    c.pc = m.pc;
    c.sp = m.sp;
    c.known = true;
#else
    out.text("  (not decoded on this processor)\n");
#endif
    return c;
}

void writeFrame(Out &out, int index, std::uint64_t addr)
{
    out.text("  #").dec(index).text(index < 10 ? "  " : " ").hex(addr);
}

void writeDump(int fd, int sig, const siginfo_t *info, const void *uc, long tid)
{
    Out out(fd);
    out.text("ARV Manager crash dump\n");
    out.text("version: ").text(ARV_VERSION_TEXT).ch('\n');
    out.text("commit: ").text(ARV_GIT_COMMIT).ch('\n');
    out.text("program: ").text(g_state.program).ch('\n');
    out.text("pid: ").dec(::getpid()).ch('\n');

    char name[32] = {};
    const int commFd = ::open("/proc/thread-self/comm", O_RDONLY | O_CLOEXEC);
    if (commFd >= 0) {
        const ssize_t n = ::read(commFd, name, sizeof name - 1);
        ::close(commFd);
        if (n > 0 && name[n - 1] == '\n')
            name[n - 1] = '\0';
    }
    out.text("thread: ").dec(tid).text(" \"").text(name).text("\"\n");

    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    out.text("time: ");
    writeUtc(out, now.tv_sec);
    out.ch('\n');

    out.text("signal: ").dec(sig).ch(' ').text(signalName(sig)).ch('\n');
    const int code = info ? info->si_code : 0;
    out.text("code: ").dec(code).ch(' ').text(codeName(sig, code)).ch('\n');
    if (info && code > 0 && code != SI_KERNEL)
        out.text("address: ").hex(reinterpret_cast<std::uintptr_t>(info->si_addr)).ch('\n');
    else if (info && code <= 0)
        out.text("sent by: pid ").dec(info->si_pid).ch('\n');

    const Context context = writeRegisters(out, uc);

    // The maps before the backtrace: should unwinding a wrecked stack fault, what is already
    // written stays (the fault then ends the process, see the handler).
    out.text("maps:\n");
    out.flush();
    const std::size_t mapsSize = copyMaps(out);

    out.text("backtrace:\n");
    void *frames[kMaxFrames];
    int count = 0;
    if (context.known && !stackLooksUsable(g_maps, mapsSize, context.sp)) {
        out.text("  (not unwound: the stack pointer ").hex(context.sp);
        out.text(" is in no readable mapping)\n");
    } else {
        out.flush();
        count = ::backtrace(frames, kMaxFrames);
    }
    for (int i = 0; i < count; ++i) {
        const auto addr = reinterpret_cast<std::uintptr_t>(frames[i]);
        writeFrame(out, i, addr);
        MapLine m;
        if (findMapping(g_maps, mapsSize, addr, m) && m.pathLength > 0) {
            out.text("  ").text(m.path, m.pathLength).text(" +");
            out.hex(addr - moduleBase(g_maps, mapsSize, m), 0);
        } else {
            out.text("  ?");
        }
        if (context.known && addr == context.pc)
            out.text("  <- fault");
        out.ch('\n');
    }

    // dladdr last: it reads the dynamic linker's tables, which a wild write may have hit.
    out.text("symbols:\n");
    out.flush();
    for (int i = 0; i < count; ++i) {
        writeFrame(out, i, reinterpret_cast<std::uintptr_t>(frames[i]));
        Dl_info dl{};
        if (::dladdr(frames[i], &dl) && dl.dli_sname) {
            out.text("  ").text(dl.dli_sname).text("+");
            out.hex(reinterpret_cast<std::uintptr_t>(frames[i]) -
                        reinterpret_cast<std::uintptr_t>(dl.dli_saddr),
                    0);
        } else {
            out.text("  ?");
        }
        out.ch('\n');
    }
    out.text("end of dump\n");
}

// mkdir -p for a path of at most kPathCapacity characters.
void createDirectories(const char *path)
{
    char partial[kPathCapacity];
    const std::size_t n = std::strlen(path);
    for (std::size_t i = 1; i <= n; ++i) {
        if (i == n || path[i] == '/') {
            std::memcpy(partial, path, i);
            partial[i] = '\0';
            ::mkdir(partial, 0700);
        }
    }
}

// Opens the dump file in the first directory that takes one; -1 when none does.
int openDumpFile(char *path, std::size_t cap)
{
    for (int d = 0; d < g_state.directoryCount; ++d) {
        if (g_state.createMissing[d])
            createDirectories(g_state.directories[d]);
        for (int counter = 1; counter <= kLastCounter; ++counter) {
            path[0] = '\0';
            char number[] = "_0000.dmp";
            number[1] = char('0' + counter / 1000);
            number[2] = char('0' + counter / 100 % 10);
            number[3] = char('0' + counter / 10 % 10);
            number[4] = char('0' + counter % 10);
            if (!append(path, cap, g_state.directories[d]) || !append(path, cap, "/") ||
                !append(path, cap, g_state.prefix) || !append(path, cap, number + 1))
                break;
            // The last name is overwritten, but never through a planted link.
            const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW |
                              (counter < kLastCounter ? O_EXCL : O_TRUNC);
            int fd;
            do
                fd = ::open(path, flags, 0600);
            while (fd < 0 && errno == EINTR);
            if (fd >= 0)
                return fd;
            if (errno != EEXIST)
                break; // this directory cannot take a file: the next one
        }
    }
    return -1;
}

void writeLog(const char *a, const char *b)
{
    Out err(STDERR_FILENO);
    err.text(a).text(b).ch('\n');
}

// Ends the process by sig with its default action: blocked while the handler runs, the
// re-raised signal arrives as soon as the handler returns.
void endWith(int sig)
{
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
}

void handleCrash(int sig, siginfo_t *info, void *uc)
{
    const int savedErrno = errno;
    const long tid = ::syscall(SYS_gettid);
    long expected = 0;
    if (!g_writerThread.compare_exchange_strong(expected, tid)) {
        // The writing thread faulted again (with a signal it had not blocked): no second
        // dump. Another thread: give the dump being written time to finish; its thread then
        // ends the process.
        if (expected != tid) {
            for (int i = 0; i < int(kHangLimitSeconds) * 10; ++i) {
                timespec pause{0, 100 * 1000 * 1000};
                ::nanosleep(&pause, nullptr);
            }
        }
        endWith(sig);
        return;
    }

    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(SIGALRM, &dfl, nullptr);
    ::alarm(kHangLimitSeconds);
    // A closed standard error must not end the process by SIGPIPE instead of sig.
    struct sigaction ign = {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    ::sigaction(SIGPIPE, &ign, nullptr);

    char path[kPathCapacity + 320];
    const int fd = openDumpFile(path, sizeof path);
    if (fd >= 0) {
        writeDump(fd, sig, info, uc, tid);
        ::fsync(fd);
        ::close(fd);
        writeLog("Dump Crash file ... ", path);
    } else {
        writeLog("Dump Crash file ... ", "not written: no directory could take it");
    }
    errno = savedErrno;
    endWith(sig);
}

// ---------------------------------------------------------------- install

std::string directoryOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string programPath()
{
    char buf[kPathCapacity];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, std::size_t(n)) : std::string();
}

std::string absoluteEnv(const char *name)
{
    const char *v = std::getenv(name);
    return v && v[0] == '/' ? std::string(v) : std::string();
}

bool copyTo(char *dst, std::size_t cap, const std::string &src)
{
    if (src.size() + 1 > cap)
        return false;
    std::memcpy(dst, src.c_str(), src.size() + 1);
    return true;
}

bool installAltStack()
{
    if (!g_altStack) {
        const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
        long minimum = ::sysconf(_SC_SIGSTKSZ);
        g_altStackSize = std::max<std::size_t>(256 * 1024, std::size_t(std::max(minimum, 0L)) * 4);
        g_altStackSize = (g_altStackSize + page - 1) / page * page;
        // One guard page below: a handler that overflows its stack faults instead of
        // writing over other memory.
        void *p = ::mmap(nullptr, g_altStackSize + page, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (p == MAP_FAILED)
            return false;
        ::mprotect(p, page, PROT_NONE);
        g_altStack = static_cast<char *>(p) + page;
    }
    stack_t ss = {};
    ss.ss_sp = g_altStack;
    ss.ss_size = g_altStackSize;
    return ::sigaltstack(&ss, nullptr) == 0;
}

} // namespace

CrashDumpWriter::Settings CrashDumpWriter::resolved(const Settings &settings)
{
    Settings s = settings;
    if (s.programDirectory.empty())
        s.programDirectory = directoryOf(programPath());
    if (s.cacheDirectory.empty()) {
        std::string base = absoluteEnv("XDG_CACHE_HOME");
        if (base.empty() && !absoluteEnv("HOME").empty())
            base = absoluteEnv("HOME") + "/.cache";
        if (!base.empty())
            s.cacheDirectory = base + "/arv-manager";
    }
    if (s.tempDirectory.empty()) {
        s.tempDirectory = absoluteEnv("TMPDIR");
        if (s.tempDirectory.empty())
            s.tempDirectory = "/tmp";
    }
    return s;
}

bool CrashDumpWriter::install(const Settings &settings)
{
    const Settings s = resolved(settings);
    const std::string program = programPath();
    HandlerState state;
    const std::string prefix = s.applicationName + "_" + s.dumpTag + "_" + s.versionTag + "_";
    bool ok = copyTo(state.prefix, sizeof state.prefix, prefix) &&
              copyTo(state.program, sizeof state.program, program);
    const std::string *candidates[kDirectoryCount] = {&s.dumpDirectory, &s.programDirectory,
                                                      &s.cacheDirectory, &s.tempDirectory};
    for (int i = 0; i < kDirectoryCount && ok; ++i) {
        const std::string &dir = *candidates[i];
        bool duplicate = false;
        for (int j = 0; j < state.directoryCount; ++j)
            duplicate = duplicate || dir == state.directories[j];
        if (dir.empty() || duplicate)
            continue;
        ok = copyTo(state.directories[state.directoryCount], kPathCapacity, dir);
        state.createMissing[state.directoryCount] = i == 2;
        ++state.directoryCount;
    }
    if (!ok)
        return false;

    // Loads the unwinder's library now: its first use allocates.
    void *warm[2];
    ::backtrace(warm, 2);

    g_state = state;
    ok = installAltStack();

    sigset_t blocked;
    sigemptyset(&blocked);
    for (int sig : kSignals)
        sigaddset(&blocked, sig);
    // While the handler runs, every crash signal is blocked: a fault inside it is then
    // fatal at once (the kernel applies the default action) instead of entering it again.
    struct sigaction sa = {};
    sa.sa_sigaction = handleCrash;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sa.sa_mask = blocked;
    for (int sig : kSignals)
        ok = ::sigaction(sig, &sa, nullptr) == 0 && ok;
    return ok;
}

bool CrashDumpWriter::install()
{
    return install(Settings());
}

std::string CrashDumpWriter::fileName(const Settings &settings, int counter)
{
    char number[8];
    const int c = std::clamp(counter, 0, kLastCounter);
    number[0] = char('0' + c / 1000);
    number[1] = char('0' + c / 100 % 10);
    number[2] = char('0' + c / 10 % 10);
    number[3] = char('0' + c % 10);
    number[4] = '\0';
    return settings.applicationName + "_" + settings.dumpTag + "_" + settings.versionTag + "_" +
           number + ".dmp";
}
