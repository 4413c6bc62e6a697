#pragma once
// Runs velmorctl as a user runs it, in a scratch folder of its own per test.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

struct CommandOutcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Width and height from a PNG's header chunk; (0, 0) for anything else.
inline std::pair<int, int> PngSize(const std::string& png) {
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
  auto word = [&png](std::size_t at) {
    int value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value = value << 8 | static_cast<unsigned char>(png[at + i]);
    return value;
  };
  return {word(16), word(20)};
}

// One row of velmorctl's plot CSV: index, frequency in Hz, level in dB.
struct CsvRow {
  long index = 0;
  double hz = 0;
  double db = 0;
};

// The rows under the header line, which goes to `header`.
inline std::vector<CsvRow> ReadPlotCsv(const std::string& text, std::string& header) {
  std::istringstream lines(text);
  std::getline(lines, header);
  std::vector<CsvRow> rows;
  for (std::string line; std::getline(lines, line);) {
    char* end = nullptr;
    CsvRow row;
    row.index = std::strtol(line.c_str(), &end, 10);
    row.hz = std::strtod(end + 1, &end);
    row.db = std::strtod(end + 1, &end);
    rows.push_back(row);
  }
  return rows;
}

#ifdef _WIN32
inline std::wstring WideText(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

// Starts `program` with `arguments` (UTF-8, split at blanks by the program as usual) and
// stdout and stderr in the two files, stdin from `in` when given; no shell. The process, or
// null when it did not start.
inline HANDLE StartProgram(const std::string& program, const std::string& arguments,
                           const std::filesystem::path& out, const std::filesystem::path& err,
                           const std::filesystem::path& in = {}) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const auto open = [&inherit](const std::filesystem::path& path) {
    return CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE outFile = open(out);
  HANDLE errFile = open(err);
  HANDLE inFile = in.empty() ? nullptr
                             : CreateFileW(in.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (inFile == INVALID_HANDLE_VALUE) {
    CloseHandle(outFile);
    CloseHandle(errFile);
    return nullptr;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inFile != nullptr ? inFile : GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outFile;
  startup.hStdError = errFile;
  std::wstring line = L"\"" + WideText(program) + L"\" " + WideText(arguments);
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process) != FALSE;
  CloseHandle(outFile);
  CloseHandle(errFile);
  if (inFile != nullptr) CloseHandle(inFile);
  if (!started) return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

// The exit code of a started program, or -1 when it did not start.
inline int WaitForProgram(HANDLE process) {
  if (process == nullptr) return -1;
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}
#endif

class CommandTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = ::getpid();
#endif
    m_dir = std::filesystem::temp_directory_path() / ("velmorctl-" + std::to_string(pid) + "-" +
                                                      test->test_suite_name() + "-" + test->name());
    std::filesystem::create_directories(m_dir);
    m_deviceFolder = m_dir / "no-device";
    std::filesystem::create_directories(m_deviceFolder);
  }
  // Under Wine a helper the system starts for a program's first window can hold the program's
  // output files a moment after it ended: the folder goes once they are free, or stays behind.
  void TearDown() override {
    std::error_code error;
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (std::filesystem::remove_all(m_dir, error) != static_cast<std::uintmax_t>(-1) && !error) {
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  // POSIX: `arguments` go through the shell as written, with the device folder of
  // m_deviceFolder (an empty folder of its own unless a test names another). Windows: the
  // program starts directly with `arguments` as its command line, and reaches the device
  // through the driver.
  // With `input`, standard input comes from that file.
  CommandOutcome Run(const std::string& arguments, const std::filesystem::path& input = {}) {
    Start(arguments, input);
    return Finish();
  }

  // Starts velmorctl as Run does, without waiting for it; Finish waits.
  void Start(const std::string& arguments, const std::filesystem::path& input = {}) {
    const auto out = m_dir / "stdout";
    const auto err = m_dir / "stderr";
#ifdef _WIN32
    m_running = StartProgram(VELMORCTL, arguments, out, err, input);
#else
    const std::string command = "VELMOR_DEVICE_DIR=" + m_deviceFolder.string() + " exec " +
                                std::string(VELMORCTL) + " " + arguments + " >" + out.string() +
                                " 2>" + err.string() + (input.empty() ? "" : " <" + input.string());
    m_running = fork();
    if (m_running == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
#endif
  }

  CommandOutcome Finish() {
#ifdef _WIN32
    const int code = WaitForProgram(m_running);
    m_running = nullptr;
    // The C runtime writes text output with CRLF line ends; tests compare LF texts.
    const auto text = [](std::string t) {
      std::string lf;
      for (std::size_t i = 0; i < t.size(); ++i) {
        if (!(t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n')) lf += t[i];
      }
      return lf;
    };
    return {code, text(ReadWholeFile(m_dir / "stdout")), text(ReadWholeFile(m_dir / "stderr"))};
#else
    int status = 0;
    const bool waited = m_running > 0 && waitpid(m_running, &status, 0) == m_running;
    m_running = -1;
    const int code = waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return {code, ReadWholeFile(m_dir / "stdout"), ReadWholeFile(m_dir / "stderr")};
  }

  std::filesystem::path m_dir;
  std::filesystem::path m_deviceFolder;
#ifdef _WIN32
  HANDLE m_running = nullptr;
#else
  pid_t m_running = -1;
#endif
};
