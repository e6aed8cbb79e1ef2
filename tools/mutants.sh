#!/bin/sh
# Puts small faults into a copy of the product, one at a time, and shows what catches each: the
# build, the binary checks or a test. The faults are those that a test agreeing with the
# product's own constants would let through, and those that once went unseen by every test.
# Fails if any fault goes uncaught.
#   tools/mutants.sh [x86_64|i686]
# By default it runs on the build that ships, i686, where this machine starts 32-bit programs
# natively. Where they run emulated (tools/wine32.sh) one pass of the suite takes minutes, a
# pass per fault most of an hour: there the default is x86_64, from the same sources.
# The copy and its build live in build/mutants; the working tree is never changed.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-packages.sh"
if [ -n "${1:-}" ]; then
    arch=$1
elif [ "$("$top/tools/wine32.sh" mode)" = native ]; then
    arch=i686
else
    arch=x86_64
    echo "32-bit programs run emulated here: the faults are tried on the x86_64 build." >&2
fi
copy="$top/build/mutants/src"

rm -rf "$copy"
"$top/tools/copy-tree.sh" "$copy"
cd "$copy"
git init -q && git add -A && git -c user.name=mutants -c user.email=mutants@localhost commit -qm base
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" >/dev/null

# builds # file # perl substitution # what the fault is ("all" builds, or only the one named)
mutants='all#store/parameter_store.h#s/"DisableDHCPMediaSense"/"DisableDHCPMediaSens"/#a misspelt value name
all#resources/resource.h#s/IDC_SAVE 1008/IDC_SAVE 1009/#Save renumbered
all#resources/kelvra.rc#s/DS_SETFONT \| DS_CENTER \|/DS_SETFONT |/#the dialog no longer centred
all#app/process_entry.cpp#s/CommandLineTail\(GetCommandLineA\(\)\)/GetCommandLineA()/#WinMain handed the whole command line
all#store/parameter_store.cpp#s/BYTE data\[4\] = \{0, 0, 0, 0\};/BYTE data[4];/#the read buffer not zeroed
all#dialog/dialog_view.cpp#s/if \(control != NULL\)\n        EnableWindow/EnableWindow/#EnableControl without its lookup check
all#app/command_line.cpp#s/MatchKeyword\("(ON|OFF)", cursor\)\)(\n\s+AppState\.requestedApipaEnabled)/MatchKeyword("$1", cursor) \&\& AppState.requestedApipaEnabled == NOT_REQUESTED)$2/g#the first APIPA request wins
all#app/process_entry.cpp#s/WinMain\(GetModuleHandleA\(NULL\), NULL/WinMain(NULL, NULL/#WinMain handed no module
i686#app/process_entry.cpp#s/void WinMainCRTStartup/void WINAPI WinMainCRTStartup/#the process entry declared WINAPI
all#app/process_entry.cpp#s/void WinMainCRTStartup/void WinMainStartup/#the process entry renamed
all#app/win_main.cpp#s/if \(AppState.autoQuit != 1\)\n\s+MessageBoxA/MessageBoxA/#the fatal box shown under /QUIT
all#dialog/settings_dialog.cpp#s/if \(written\)\n/if (written \&\& !failed)\n/#a run where one write of two fails exits 0
all#app/command_line_tail.cpp#s/IsDBCSLeadByte\(\*cursor\) \&\& cursor\[1\] != .\\0./IsDBCSLeadByte(*cursor)/#a last lead byte takes the terminating zero along
all#app/win_main.cpp#s/MB_ICONERROR \| MB_TOPMOST/MB_ICONERROR/#the fatal box not topmost
all#app/app_state.cpp#s/MESSAGE_TEXT_SIZE - 1, NULL/MESSAGE_TEXT_SIZE + 16, NULL/#the system text may overrun its field
all#app/app_state.cpp#s/AppState.messageText\[0\] = .\\0.;//#a text too long is shown cut, without its zero
all#dialog/settings_dialog.cpp#s/IDS_MEDIA_SENSE_NOW_DISABLED : IDS_MEDIA_SENSE_NOW_ENABLED/IDS_MEDIA_SENSE_NOW_ENABLED : IDS_MEDIA_SENSE_NOW_DISABLED/#the Media Sense texts after a save swapped
all#dialog/settings_dialog.cpp#s/IDC_APIPA_STATUS,\s+ApipaSavedText/IDC_APIPA_STATUS, MediaSenseSavedText/#APIPA shown with the Media Sense texts
all#store/parameter_store.cpp#s/RegOpenKeyExA\(root, subkey, 0, KEY_READ/RegOpenKeyExA(root ? HKEY_LOCAL_MACHINE : NULL, subkey, 0, KEY_READ/#the store reads the local registry whatever root it is given
all#store/parameter_store.cpp#s/RegOpenKeyExA\(root, subkey, 0, KEY_ALL_ACCESS/RegOpenKeyExA(root ? HKEY_LOCAL_MACHINE : NULL, subkey, 0, KEY_ALL_ACCESS/#the store writes the local registry whatever root it is given
all#dialog/settings_dialog.cpp#s/if \(failed \&\& AppState.computerName != NULL\)/if (0)/#another machine where a write failed reports 1 or 0, not 2
all#app/win_main.cpp#s/AppState.exitCode = 2;\n        if \(AppState.autoQuit != 1\)\n\s+MessageBoxA/AppState.exitCode = 2;\n        MessageBoxA/#the box for an unreachable machine shown under /QUIT
all#app/target_machine.cpp#s/if \(AppState.computerNameLength > COMPUTER_NAME_LIMIT\)\n    \{/if (0)\n    {/#a name longer than the buffer is copied into it
all#app/command_line.cpp#s/ \&\&\n\s+text\[length\] != .\/.//#a computer name runs on past a slash
all#app/command_line.cpp#s/text \+= 2;/text += 0;/#a leading double backslash kept in the name
all#store/parameter_store.cpp#s/\*supported = i > 0 \&\& major >= 5;/*supported = i > 0 \&\& major >= 4;/#Windows NT 4 taken for a supported target
all#app/target_machine.cpp#s/AppState.timeoutSeconds \* 1000/INFINITE/#the wait for another machine has no limit
all#app/command_line.cpp#s/if \(length == 0\)\n    \{\n        RefuseComputerName\(given\);/if (0)\n    {\n        RefuseComputerName(given);/#an empty name after /COMPUTER= not refused
all#app/command_line.cpp#s/else if \(IsMisspeltComputer\(cursor\)\)\n\s+RefuseComputerName\(cursor\);//#/COMPUTER:name and /COMPUTER name ignored, so the run works on this machine
all#app/command_line.cpp#s/MatchKeyword\("-COMPUTER", cursor\) \|\|//#-COMPUTER=name ignored, so the run works on this machine
all#app/command_line.cpp#s/if \(text\[0\] == .".\)/if (0)/#quotes around a name kept in it
all#app/report_line.cpp#s/field\[i\] == .,. \|\| //#a field with a comma not quoted
all#app/report_line.cpp#s/if \(AppState.runFailed\)\n(\s+)outcome = OUTCOME_FAILED;\n(\s+)else if \(AppState.valueWritten\)\n(\s+)outcome = OUTCOME_CHANGED;/if (AppState.valueWritten)\n${1}outcome = OUTCOME_CHANGED;\n${2}else if (AppState.runFailed)\n${3}outcome = OUTCOME_FAILED;/#a write that succeeded hides a failure beside it
all#app/report_line.cpp#s/if \(type != FILE_TYPE_DISK \&\& type != FILE_TYPE_PIPE\)/if (type == FILE_TYPE_UNKNOWN)/#the line written to a console
all#app/report_line.cpp#s/while \(length > 0 \&\&\n\s+\(field/while (0 \&\& (field/#the system text keeps its line break
all#app/win_main.cpp#s/RecordFailureText\(IDS_WINDOWS_NOT_SUPPORTED\);\n\s+AppState.exitCode = 2;/RecordFailureText(IDS_WINDOWS_NOT_SUPPORTED);/#a target that is not supported exits 0, "as asked"
all#app/win_main.cpp#s/return AppState.computerName != NULL \? 2 : 0;/return 0;/#another machine exits 0 when the class cannot be registered
all#dialog/settings_dialog.cpp#s/RecordFailure\(result\);\n    return 0;/return 0;/#a local read that could not be made reported as read
all#store/parameter_store.cpp#s/RecordFailure\(result\);\n        return 0;\n    \}\n    result = RegSetValueExA/FormatErrorText(result);\n        return 0;\n    }\n    result = RegSetValueExA/#a key that cannot be opened for a write not reported as a failure
all#fleet/list_run.h#s/define MAX_CHILDREN 32/define MAX_CHILDREN 48/#more than 32 children at once
all#fleet/list_run.cpp#s/while \(run->written < run->list.count \&\& run->results\[run->written\].outcome != LINE_INCOMPLETE\)/while (run->written < run->list.count)/#lines written before they are known
all#fleet/list_run.cpp#s/(KeepFailure\(run, run->children\[i - 1\].entry, ERROR_TIMEOUT, 0, IDS_CHILD_TIMED_OUT\);)/$1\n            TerminateProcess(run->children[i - 1].process, 1);/#a child past its limit killed, though it may be writing
all#fleet/list_run.cpp#s/if \(now - run->children\[i - 1\].started >= ChildLimit\(\)\)/if (now - run->children[i - 1].started >= 0xFFFFFFFF)/#the list run waits without end for a child
all#fleet/list_run.cpp#s/ \&\&\n\s+!IsResultsWindowClosed\(\&run->window\)\)/)/#closing the window does not stop the run
all#fleet/list_run.cpp#s/if \(!run->list.entries\[entry\].valid\)/if (0)/#a line that names no machine given to a child
all#fleet/list_run.cpp#s/else if \(ended\)\n/else if (ended \&\& 0)\n/#a child that ended without a line waited for until its limit
all#fleet/machine_list.cpp#s/repeated = IsSameName\(\&list->entries\[slots\[slot\] - 1\], entry\);/repeated = IsSameName(\&list->entries[slots[slot] - 1], entry) \&\& 0;/#a machine named twice worked on twice
all#store/adapter_settings.cpp#s/ \|\|\n\s+enableDhcp != 1\)/)/#an adapter with a fixed address counted
all#store/adapter_settings.cpp#s/adapter->apipaOn = own == 1;/adapter->apipaOn = own != 0;/#a 2 of an adapter read as on
all#store/adapter_settings.cpp#s/RegOpenKeyExA\(root, TCPIP_INTERFACES_KEY/RegOpenKeyExA(HKEY_LOCAL_MACHINE, TCPIP_INTERFACES_KEY/#the adapters read from this machine whatever root is given
all#store/adapter_settings.cpp#s/ReadConnectionName\(root, adapter->name\);/if (0) ReadConnectionName(root, adapter->name);/#adapters named by their key, never by their connection
all#store/adapter_settings.cpp#s/length >= ADAPTER_NAME_SIZE/length > ADAPTER_NAME_SIZE/#a connection name one too long copied past the name
all#store/adapter_settings.cpp#s/if \(apipaOn == STATE_UNKNOWN\)\n\s+return 0;//#adapters counted against a state not read
all#app/report_line.cpp#s/AppendState\(\&line, !apipaOn\);/AppendState(\&line, apipaOn);/#the state of the adapters apart given as the state in Parameters
all#app/report_line.cpp#s/apipaApart == 1 \? " adapter\)" : " adapters\)"/" adapters)"/#one adapter said as many
all#dialog/settings_dialog.cpp#s/if \(AppState.apipaOn == 1\)\n\s+ShowApipaStatus\(dialog, IDS_APIPA_NOW_ENABLED, IDS_APIPA_NOW_ENABLED_APART\);\n\s+else\n\s+ShowApipaStatus\(dialog, IDS_APIPA_NOW_DISABLED, IDS_APIPA_NOW_DISABLED_APART\);//#after a save the adapters that kept their own are not mentioned
all#dialog/settings_dialog.cpp#s/if \(AppState.currentPage == PAGE_APIPA\)\n\s+ShowPageText\(dialog, AppState.currentPage\);//#the APIPA page on show names the adapters as before the save
all#dialog/help_pages.cpp#s/if \(adapter->apipaOn != AppState.apipaOn\)/if (1)/#the APIPA page names adapters that agree with Parameters too
all#app/target_machine.cpp#s/AppState.adapterSettings = \&reading.adapterSettings;//#the adapters of another machine never shown
all#app/target_machine.cpp#s/ReadAdapterSettings\(root, \&target->adapterSettings\);/ReadAdapterSettings(HKEY_LOCAL_MACHINE, \&target->adapterSettings);/#the adapters of another machine read from this one
all#app/command_line.cpp#s/cursor = TakeComputerName\(cursor\);\n\s+continue;/TakeComputerName(cursor);/#the scanner reads options inside a /COMPUTER= value
all#app/command_line.cpp#s/if \(listRun \&\& \*end == .\/.\)/if (0)/#an unquoted list path cut at a slash, the rest read as options
all#fleet/list_run.cpp#s/WINDOWS_2000_ALL_INPUT\) !=/QS_ALLINPUT) !=/#the wait passes QS_RAWINPUT, which Windows 2000 refuses
all#fleet/list_run.cpp#s/!=\n\s+WAIT_FAILED;/!= WAIT_FAILED || 1;/#a wait that fails is not seen, and the run spins
all#fleet/list_run.cpp#s/if \(outcome != LINE_INCOMPLETE\)\n/if (ended \&\& outcome != LINE_INCOMPLETE)\n/#the line of a child taken only once its process has ended
all#fleet/list_run.cpp#s/    KeepStandardHandles\(\);\n/    if (0)\n        KeepStandardHandles();\n/#the standard handles of the run left inheritable
all#fleet/list_run.cpp#s/if \(back\[i\] != wide\[i\]\)/if (0)/#a program path with a lost character used for every child
all#fleet/list_run.cpp#s/length >= MAX_PATH \|\| //#a program path cut at MAX_PATH used for every child
all#fleet/list_run.cpp#s/KeepFailure\(run, child->entry, exitCode, 1, IDS_CHILD_NO_LINE\)/KeepFailure(run, child->entry, exitCode, 0, IDS_CHILD_NO_LINE)/#the exit code 0 of a child left out of its line
all#fleet/list_run.cpp#s/ReplaceMachineField\(line, machine->text, machine->textLength,/ReplaceMachineField(line, machine->name, machine->length,/#the line of a child does not name the machine as the list wrote it
all#fleet/list_run.cpp#s/run->counts.timedOut\+\+;/(void)0;/#no word on machines that did not answer in time
all#fleet/machine_list.cpp#s/mark\[0\] == 0xEF/mark[0] == 0x00/#the mark of a UTF-8 list taken as part of its first name
all#fleet/machine_list.cpp#s/mark\[0\] == 0xFF \&\& mark\[1\] == 0xFE/mark[0] == 0x00 \&\& mark[1] == 0xFE/#a UTF-16 list read as ANSI
all#fleet/machine_list.cpp#s/exact = check\[i\] == line\[i\];/exact = 1;/#a Unicode name that lost a character taken as a name
all#fleet/machine_list.cpp#s/if \(text\[i\] != .\\r. \&\& text\[i\] != .\\n.\)/if (text[i] != 10)/#a lone CR does not end a line
all#fleet/machine_list.cpp#s/c >= .a. \&\& c <= .z.\)/((c >= 97 \&\& c <= 122) || c >= 0xE0))/#letters outside ASCII folded as the locale of the user would
all#app/target_machine.cpp#s/if \(c <= . . \|\|/if (c == 32 || c == 9 ||/#a control character inside a name cuts it short
all#app/report_line.cpp#s/if \(type == FILE_TYPE_DISK\)/if (0)/#lines of runs that share a log written over each other
all#app/report_line.cpp#s/else if \(\(unsigned char\)c < . .\)\n\s+c = .\?.;//#a NUL or a tab written into the report
all#app/target_machine.cpp#s/AppState.workerLeftRunning = 1;//#the end of the process waits for a worker stuck in a remote call
all#fleet/restart_request.cpp#s/AppState.restartAsked != RESTART_AFTER_CHANGE \|\| !AppState.valueWritten \|\|/AppState.restartAsked != RESTART_AFTER_CHANGE ||/#a restart after a run that wrote nothing (as asked, no /SAVE)
all#fleet/restart_request.cpp#s/ \|\|\n\s+AppState.runFailed\)\n        return;/)\n        return;/#a restart after a run that failed, a partial write among them
all#fleet/restart_request.cpp#s/if \(console != 0\)/if (console == -1)/#the child of the console machine restarts it before the list is done
all#fleet/restart_request.cpp#s/ \/RESTART=%u \/CONSOLELAST/ \/RESTART=%u/#the children of a list not told to leave the console machine to the list
all#fleet/list_run.cpp#s/(IsLineText\(child->line, child->length, IDS_RESTART_LAST\);)/$1\n            if (run->results[child->entry].consoleLeft)\n                RestartConsoleLast(child->line, child->length, 0);/#the console machine restarted as soon as its child ends, before the other lines
all#fleet/restart_request.cpp#s/AppState.restartSeconds, FALSE, TRUE\)/AppState.restartSeconds, TRUE, TRUE)/#applications closed by force for a restart
all#fleet/restart_request.cpp#s/if \(AppState.restartAsked != RESTART_AFTER_CHANGE\)\n        return exitCode;//#a list run that stops restarts, or asks for none, restarts the console machine
all#fleet/restart_request.cpp#s/        \/\* It succeeds even where it enabled nothing, and says so only here. \*\/\n        error = GetLastError\(\);/        error = ERROR_SUCCESS;/#an account without the shutdown privilege taken for one with it
all#app/command_line.cpp#s/AppState.restartRefused = 1;\n        AppState.restartAsked = RESTART_NONE;/AppState.restartAsked = RESTART_AFTER_CHANGE;\n        AppState.restartSeconds = DEFAULT_RESTART_SECONDS;/#a /RESTART value Kelvra cannot take read as the default countdown
all#dialog/settings_dialog.cpp#s/return \(DWORD\)requested;/return SettingState(stored) == 1 ? 0 : 1;/#a request over a stored 2 writes the flip, not the value asked for
all#app/win_main.cpp#s/\n    FinishRestart\(\);\n/\n/#no restart asked for at all
all#fleet/restart_request.cpp#s/return CompareStringA\(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, own, -1, its, -1\) == CSTR_EQUAL;/return 1;/#every machine of a list taken for the console, whatever name it records
all#fleet/restart_request.cpp#s/if \(console != 0\)/if (console == 1)/#a machine that cannot tell whether it is the console restarted by its child
all#dialog/results_window.cpp#s/results->rows\[entry\].state = ROW_RUNNING;//#the row of a started machine still says waiting
all#dialog/results_window.cpp#s/define RUNNING_SHOWN_AFTER_MS 3000/define RUNNING_SHOWN_AFTER_MS 30000/#a running row never says for how long
all#dialog/results_window.cpp#s/\{"failed", "changed", "as asked"\}/{"changed", "failed", "as asked"}/#sorting by outcome puts the changed first
all#dialog/results_window.cpp#s/return order != 0 \? order < 0 : a < b;/return order != 0 ? order < 0 : a > b;/#rows alike reversed when sorted
all#dialog/results_window.cpp#s/BOOL selectedOnly = ListView_GetSelectedCount\(results->rowsView\) > 0;/BOOL selectedOnly = 0;/#Copy takes every row though some are selected
all#dialog/results_window.cpp#s/RegisterClipboardFormatA\("Csv"\)/RegisterClipboardFormatA("CSV text")/#the form for spreadsheets under a name that spreadsheets do not know
all#dialog/results_window.cpp#s/COMPUTER=", results->programPath/QUIT \/COMPUTER=", results->programPath/#the dialog of a row started with /QUIT
all#dialog/results_window.cpp#s/CreateProcessA\(NULL, commandLine, NULL, NULL, FALSE/CreateProcessA(NULL, commandLine, NULL, NULL, TRUE/#the dialog of a row given the handles of the run
all#dialog/results_window.cpp#s/if \(!machine->valid \|\|/if (/#a line that names no machine opened as one
all#dialog/results_window.cpp#s/else if \(LOWORD\(wParam\) == IDOK\)/else if (0)/#Enter on a row opens nothing
all#dialog/results_window.cpp#s/if \(code\[0\] == \x27\\0\x27\)/if (1)/#the reason without the error number of Windows
all#dialog/results_window.cpp#s/GetKeyState\(VK_CONTROL\) < 0/GetKeyState(VK_SHIFT) < 0/#Ctrl+C copies nothing
all#fleet/list_run.cpp#s/\n\s+ShowRowResult\(\&run->window, entry, copy, run->results\[entry\].length\);//#rows never show how their machine ended
all#resources/kelvra.rc#s/SS_LEFT, 7, 24, 386, 20/SS_LEFT, 7, 24, 200, 20/#the counts line too narrow for thousands of machines
all#dialog/results_window.cpp#s/case WM_SIZE:\n\s+LayOut\(results\);\n\s+return 1;//#the controls stay where they were when the window is resized
all#dialog/results_window.cpp#s/\(\(MINMAXINFO \*\)lParam\)->ptMinTrackSize = results->least;//#the window can be made smaller than its template
all#dialog/results_window.cpp#s/wsprintfA\(withCode, format, code, reason\);/wsprintfA(withCode, format, code, reason);\n            if (size <= 1024)\n                withCode[0] = 0;/#a reason with its error number left out where the list view asks with less room than the longest
all#fleet/list_run.cpp#s/                run->restartMissed = 1;/                run->restartMissed = 0;/#a change whose restart Windows refused leaves the exit code at 1
all#fleet/machine_list.cpp#s/result = ERROR_NO_UNICODE_TRANSLATION;/result = ERROR_SUCCESS;/g#UTF-8 bytes that do not come back the same are read'

printf '%s\n' "$mutants" | while IFS='#' read -r builds file substitution what; do
    [ "$builds" = all ] || [ "$builds" = "$arch" ] || continue
    perl -0pi -e "$substitution" "$file"
    if git diff --quiet; then
        echo "NOT APPLIED: $what ($file)"
    elif ! cmake --build --preset "$arch" >../build.log 2>&1; then
        echo "caught by the build: $what, by: $(grep -m 1 'error\|not defined' ../build.log)"
    else
        failed=$(ctest --test-dir "build/$arch" -j2 2>/dev/null |
            sed -n "s/^[[:space:]]*[0-9]* - \\(.*\\) (\\(Failed\\|Timeout\\))$/\\1/p" | tr '\n' ' ')
        if [ -n "$failed" ]; then
            echo "caught: $what, by: $failed"
        else
            echo "MISSED: $what"
        fi
    fi
    git checkout -q -- "$file"
    # A failed build can leave an object written in the same clock tick as the file put back
    # here, and the build tool would then take that object, made from the fault, as up to date.
    sleep 1
    touch "$file"
done | tee ../results.txt
! grep -q "^MISSED\\|^NOT APPLIED" ../results.txt
