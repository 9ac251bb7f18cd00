// brevane-kit-runner.exe: runs every test program of the Windows test kit
// (the *_tests.exe files beside it), each with a time limit, and writes
// results.txt beside itself: one line per program (passed, failed with its
// exit code, timed out), then the "record:" lines the programs printed.
// Each program's whole output goes to logs\<program>.txt.
//
//   brevane-kit-runner.exe [--time-limit SECONDS]     (default 600)
//
// Any exit code other than 0 is a failure: the codes of a crash
// (0xC0000005 access violation, 0xC0000409 stack buffer overrun,
// 0xC0000135 DLL not found) read as negative numbers in cmd's errorlevel.
// A program still running at its limit is ended, with every process it
// started (they share a job object), and reported as timed out; the run goes
// on with the next program. The runner's own exit code is the number of
// programs that did not pass.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring OwnFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return L".";
    if (n < path.size()) {
      std::wstring p(path.data(), n);
      size_t slash = p.find_last_of(L"\\/");
      return slash == std::wstring::npos ? L"." : p.substr(0, slash);
    }
    path.resize(path.size() * 2);
  }
}

std::vector<std::wstring> TestPrograms(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*_tests.exe").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

const char* CodeName(DWORD code) {
  switch (code) {
    case 0xC0000005: return "access violation";
    case 0xC0000409: return "stack buffer overrun";
    case 0xC0000135: return "a DLL was not found";
    case 0xC000001D: return "illegal instruction";
    case 0xC00000FD: return "stack overflow";
    case 0xC0000094: return "integer division by zero";
    case 0x80000003: return "breakpoint";
    case 0x40000015: return "abort";
    default: return nullptr;
  }
}

enum class Outcome { kPassed, kFailed, kTimedOut, kNotStarted };

struct Result {
  std::wstring name;
  Outcome outcome = Outcome::kNotStarted;
  DWORD code = 0;
  DWORD error = 0;  // why it could not be started
  double seconds = 0;
};

// Runs one program with its output in the log file; ends it (and all it
// started) at the limit.
Result Run(const std::wstring& folder, const std::wstring& name, DWORD limit_ms) {
  Result result;
  result.name = name;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  const std::wstring log_path = folder + L"\\logs\\" + name.substr(0, name.size() - 4) + L".txt";
  HANDLE log = CreateFileW(log_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job != nullptr) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = log;
  startup.hStdError = log;
  PROCESS_INFORMATION process{};
  const std::wstring path = folder + L"\\" + name;
  std::wstring command = L"\"" + path + L"\"";
  const ULONGLONG begin = GetTickCount64();
  if (log != INVALID_HANDLE_VALUE &&
      CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                     folder.c_str(), &startup, &process)) {
    if (job != nullptr) AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    if (WaitForSingleObject(process.hProcess, limit_ms) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process.hProcess, &result.code);
      result.outcome = result.code == 0 ? Outcome::kPassed : Outcome::kFailed;
    } else {
      result.outcome = Outcome::kTimedOut;
      if (job != nullptr) TerminateJobObject(job, 1);
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    result.error = GetLastError();
  }
  result.seconds = static_cast<double>(GetTickCount64() - begin) / 1000.0;
  if (job != nullptr) CloseHandle(job);
  if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
  if (log != INVALID_HANDLE_VALUE) CloseHandle(log);
  return result;
}

std::string Line(const Result& r, DWORD limit_ms) {
  char text[256];
  const std::string name = Utf8(r.name);
  switch (r.outcome) {
    case Outcome::kPassed:
      std::snprintf(text, sizeof(text), "passed     %s (%.1f s)", name.c_str(), r.seconds);
      break;
    case Outcome::kFailed: {
      const char* what = CodeName(r.code);
      std::snprintf(text, sizeof(text), "failed     %s: exit code %lu (0x%08lX%s%s) after %.1f s", name.c_str(),
                    static_cast<unsigned long>(r.code), static_cast<unsigned long>(r.code), what ? ", " : "",
                    what ? what : "", r.seconds);
      break;
    }
    case Outcome::kTimedOut:
      std::snprintf(text, sizeof(text), "timed out  %s: still running after %lu s, ended", name.c_str(),
                    static_cast<unsigned long>(limit_ms / 1000));
      break;
    case Outcome::kNotStarted:
      std::snprintf(text, sizeof(text), "failed     %s: could not be started (error %lu)", name.c_str(),
                    static_cast<unsigned long>(r.error));
      break;
  }
  return text;
}

// The "record:" lines of a program's log, as the program printed them.
std::vector<std::string> Records(const std::wstring& log_path) {
  std::vector<std::string> lines;
  FILE* f = _wfopen(log_path.c_str(), L"rb");
  if (f == nullptr) return lines;
  char buffer[4096];
  while (std::fgets(buffer, sizeof(buffer), f) != nullptr) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind("record:", 0) == 0) lines.push_back(line);
  }
  std::fclose(f);
  return lines;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD limit_s = 600;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"--time-limit") == 0 && i + 1 < argc) {
      limit_s = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    } else {
      std::fprintf(stderr, "usage: brevane-kit-runner.exe [--time-limit SECONDS]\n");
      return 2;
    }
  }
  if (limit_s == 0 || limit_s > 86400) limit_s = 600;
  const DWORD limit_ms = limit_s * 1000;
  const std::wstring folder = OwnFolder();
  CreateDirectoryW((folder + L"\\logs").c_str(), nullptr);
  // Crashing programs end at once with their code instead of waiting on an
  // error dialog nobody will answer.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

  std::vector<std::string> lines;
  std::vector<std::string> records;
  int failed = 0;
  const std::vector<std::wstring> programs = TestPrograms(folder);
  for (const std::wstring& name : programs) {
    std::printf("==== %s\n", Utf8(name).c_str());
    std::fflush(stdout);
    Result r = Run(folder, name, limit_ms);
    lines.push_back(Line(r, limit_ms));
    std::printf("%s\n", lines.back().c_str());
    std::fflush(stdout);
    if (r.outcome != Outcome::kPassed) ++failed;
    for (std::string& record : Records(folder + L"\\logs\\" + name.substr(0, name.size() - 4) + L".txt")) {
      records.push_back(Utf8(name) + ": " + record);
    }
  }

  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computer_size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(computer, &computer_size);
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILE* out = _wfopen((folder + L"\\results.txt").c_str(), L"wb");
  if (out == nullptr) {
    std::fprintf(stderr, "brevane-kit-runner: cannot write results.txt\n");
    return failed > 0 ? failed : 1;
  }
  std::fprintf(out, "Brevane Windows tests on %s, %04u-%02u-%02u %02u:%02u, time limit %lu s per program\r\n",
               Utf8(computer).c_str(), now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
               static_cast<unsigned long>(limit_s));
  for (const std::string& line : lines) std::fprintf(out, "%s\r\n", line.c_str());
  std::fprintf(out, "%d of %zu programs passed; each program's output is in logs\\\r\n",
               static_cast<int>(programs.size()) - failed, programs.size());
  for (const std::string& record : records) std::fprintf(out, "%s\r\n", record.c_str());
  std::fclose(out);
  if (programs.empty()) {
    std::fprintf(stderr, "brevane-kit-runner: no *_tests.exe beside the runner\n");
    return 1;
  }
  return failed;
}
