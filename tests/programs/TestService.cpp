// TestService: a Win32 service that does nothing but run. Started by the
// service control manager it reports running until it is told to stop, so a
// test can put a database server's service in any state. Its command-line
// arguments (the instance a real server's ImagePath names) are ignored.
#include <windows.h>

#include <cstdio>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    // Only a running service takes a stop; pending states are left at once.
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 3000;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Report(SERVICE_STOP_PENDING);
        SetEvent(stopRequested);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, char** arguments) {
    // A service of its own process: the manager passes the service's name first.
    statusHandle = RegisterServiceCtrlHandlerExA(arguments[0], Handler, nullptr);
    if (!statusHandle) return;
    stopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stopRequested) {
        Report(SERVICE_STOPPED, GetLastError());
        return;
    }
    Report(SERVICE_RUNNING);
    WaitForSingleObject(stopRequested, INFINITE);
    CloseHandle(stopRequested);
    Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    char name[] = "";  // ignored for a service of its own process
    const SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcherA(table)) return 0;
    const DWORD error = GetLastError();
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
        std::fprintf(stderr, "TestService runs only as a service: sc create NAME binPath= PROGRAM, then sc start NAME\n");
    else
        std::fprintf(stderr, "TestService: StartServiceCtrlDispatcher failed (error %lu)\n", error);
    return 1;
}
