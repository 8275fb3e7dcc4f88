#pragma once

#include <string>

// Writes a text crash dump when the process dies of SIGSEGV, SIGBUS, SIGFPE, SIGILL or
// SIGABRT, then lets the signal end the process as it would have (exit status = the
// signal; the system's core dump, where enabled, still happens).
//
// The dump file is named <application>_<dump tag>_<version tag>_NNNN.dmp, NNNN counting
// from 0001: each candidate is created exclusively (an existing file is never touched), and
// 9999, the last one, is overwritten. It goes to the first directory of this list where a
// file can be created: the configured dump directory, the program's own directory, the
// user's cache directory for the program (created when missing), the temporary directory.
// After writing, "Dump Crash file ... <path>" goes to standard error.
//
// The dump (plain text, see README): build identity, signal, code, fault address, thread,
// the registers of the signal context, the backtrace as raw addresses with module and
// offset, a copy of /proc/self/maps, and symbol names where the dynamic linker knows them.
//
// Everything the handler needs (paths, name parts, the alternate signal stack, the unwinder)
// is prepared by install(); the handler itself does only async-signal-safe work: no
// allocation, no locks, no stdio. A crash inside the handler ends the process by the
// default action instead of entering it again. A second thread crashing while a dump is
// being written waits for that dump (bounded) instead of writing its own.
//
// The alternate signal stack, which lets a stack overflow still produce a dump, is set up
// for the thread that calls install() (the main thread).
class CrashDumpWriter
{
public:
    struct Settings
    {
        std::string applicationName = "Merivoth";
        std::string dumpTag = "CrashDump";
        std::string versionTag = "0000";
        std::string dumpDirectory; // empty: none configured
        // The fall-backs, in this order. Empty ones are filled by install(): the directory of
        // /proc/self/exe; $XDG_CACHE_HOME/arv-manager or ~/.cache/arv-manager; $TMPDIR or /tmp.
        std::string programDirectory;
        std::string cacheDirectory;
        std::string tempDirectory;
    };

    // Installs the handlers (again: replaces the settings). Call it first thing in main,
    // from the main thread, before other threads exist. Returns false when a path is longer
    // than the handler's fixed buffers or a handler cannot be registered.
    static bool install(const Settings &settings);
    static bool install(); // with the default settings

    // The settings with the empty fall-back directories filled in, as install() does.
    static Settings resolved(const Settings &settings);

    // The file name (without directory) for a counter of 1 to 9999.
    static std::string fileName(const Settings &settings, int counter);
};
