#include "platform/win32/win32_system.h"

#include <windows.h>

#include <cstdlib>
#include <ctime>

#include "platform/win32/wide_text.h"

namespace xt {

namespace {

// Signalled once the process is asked to end.
HANDLE endEvent() {
  static HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// While a command runs, Ctrl-C and Ctrl-Break reach every process of the
// console: this process takes them as handled, the command does what it
// does with them. A handler, unlike ignoring them, is not inherited.
BOOL WINAPI letCommandHaveBreaks(DWORD type) { return type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT; }

}  // namespace

Win32System::Win32System()
    : random_(static_cast<uint32_t>(::time(nullptr)) ^ static_cast<uint32_t>(::GetCurrentProcessId())) {}

std::string Win32System::env(const std::string& name) const {
  const std::wstring wideName = wideText(name);
  DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  n = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
  value.resize(n);
  return narrowText(value);
}

LocalTime Win32System::now() const {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

void Win32System::pause(int milliseconds) {
  if (milliseconds > 0) ::WaitForSingleObject(endEvent(), static_cast<DWORD>(milliseconds));
}

void Win32System::requestEnd() { ::SetEvent(endEvent()); }

void Win32System::clearEndRequest() { ::ResetEvent(endEvent()); }

bool Win32System::endRequested() { return ::WaitForSingleObject(endEvent(), 0) == WAIT_OBJECT_0; }

double Win32System::random() { return std::generate_canonical<double, 53>(random_); }

void Win32System::seedRandom(uint32_t seed) { random_.seed(seed); }

std::string Win32System::computerName() const {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!::GetComputerNameA(name, &size)) return {};
  return std::string(name, size);
}

uint32_t Win32System::processId() const { return ::GetCurrentProcessId(); }

int Win32System::runCommand(const std::string& shell, const std::string& commandLine) {
  if (shell.empty()) return -1;
  std::wstring line = L"\"" + wideText(shell) + L"\" /C " + wideText(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ::SetConsoleCtrlHandler(letCommandHaveBreaks, TRUE);
  // The application is found by the command line (COMSPEC is a full path,
  // a bare "cmd.exe" is looked up as Windows does).
  BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process);
  DWORD code = static_cast<DWORD>(-1);
  if (started) {
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    if (!::GetExitCodeProcess(process.hProcess, &code)) code = static_cast<DWORD>(-1);
    ::CloseHandle(process.hProcess);
  }
  ::SetConsoleCtrlHandler(letCommandHaveBreaks, FALSE);
  return started ? static_cast<int>(code) : -1;
}

void Win32System::exitProcess(int code) {
  if (exitHandler_) exitHandler_();
  std::exit(code);
}

}  // namespace xt
