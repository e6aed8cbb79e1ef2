/*
 * Starting the project's programs as processes, as a script or the shell would, and
 * pretending to be another Windows version for them.
 */
#ifndef KELVRA_TESTS_PROCESS_HELPERS_H
#define KELVRA_TESTS_PROCESS_HELPERS_H

#include <windows.h>

#include <string>

#include "support/caller.h"

/* The folder that holds the running test program, and so the other built programs. */
std::string ProgramDirectory();

/* This machine's name, as GetComputerNameA gives it: the one name by which Wine's remote
 * registry reaches a machine. */
std::string ComputerName(Caller where = Caller::current());

/* ms, as long as this machine needs for what takes ms natively: more where Wine runs this
 * build's programs emulated, as KELVRA_TIME_FACTOR says. Every timeout below is scaled so. */
DWORD Scaled(DWORD ms);

/* Starts the command line and waits for the process at most timeoutMs; returns its full exit
 * code, or fails the test and returns 0xDEADBEEF when it did not start or end in time. */
DWORD RunProcess(const std::string &commandLine, DWORD timeoutMs = 30000,
                 Caller where = Caller::current());

/* CreateProcessA for a test, tried once more, and said so in the test's output, when Wine
 * refuses the start with ERROR_INTERNAL_ERROR (1359): Wine 8 now and then does so on these
 * 2-core machines, for any program, and the same start works when made again. Any other
 * failure is the caller's to report. */
BOOL StartTestProcess(char *commandLine, BOOL inherit, STARTUPINFOA *startup,
                      PROCESS_INFORMATION *process);

/* A started process, for a test that talks to its windows before it ends. Terminated, if
 * still running, when destroyed. */
class ChildProcess
{
  public:
    explicit ChildProcess(const std::string &commandLine, Caller where = Caller::current());
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    /* Its first visible top-level window whose owner is owner (NULL: none), waiting for it
     * at most timeoutMs; NULL, and a test failure, when none appears. */
    HWND WaitForWindow(HWND owner = NULL, DWORD timeoutMs = 10000,
                       Caller where = Caller::current());
    /* Its full exit code, or 0xDEADBEEF and a test failure when it does not end in time. */
    DWORD WaitForExit(DWORD timeoutMs = 30000, Caller where = Caller::current());
    /* Posts the window the close command that its title bar's close button sends, and returns
     * the exit code as WaitForExit does. */
    DWORD CloseAndWait(HWND window, Caller where = Caller::current());

  private:
    PROCESS_INFORMATION process_;
};

/* Makes Wine report a Windows version ("win98", "nt40", "win2k", "winxp") to every program of
 * that file name, for as long as the object lives; an empty version leaves Wine's default. */
class EmulatedVersion
{
  public:
    EmulatedVersion(const std::string &exeName, const std::string &version,
                    Caller where = Caller::current());
    ~EmulatedVersion();
    EmulatedVersion(const EmulatedVersion &) = delete;
    EmulatedVersion &operator=(const EmulatedVersion &) = delete;

  private:
    std::string key_;
};

#endif
