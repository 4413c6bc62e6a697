#include "tests/win/shortcut_info.h"

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

namespace standin {
namespace {

std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string Narrow(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), n, nullptr, nullptr);
  narrow.resize(narrow.size() - 1);
  return narrow;
}

}  // namespace

bool ReadShortcut(const std::string& path, ShortcutInfo& info, std::string& error) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    error = "COM does not start";
    return false;
  }
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  bool ok = false;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    error = "no shell link object";
  } else if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) ||
             FAILED(file->Load(Wide(path).c_str(), STGM_READ))) {
    error = "cannot read the shortcut " + path;
  } else {
    wchar_t text[MAX_PATH * 4] = {};
    link->GetPath(text, MAX_PATH * 4, nullptr, SLGP_RAWPATH);
    info.target = Narrow(text);
    text[0] = L'\0';
    link->GetArguments(text, MAX_PATH * 4);
    info.arguments = Narrow(text);
    text[0] = L'\0';
    link->GetWorkingDirectory(text, MAX_PATH * 4);
    info.workingFolder = Narrow(text);
    text[0] = L'\0';
    int index = 0;
    link->GetIconLocation(text, MAX_PATH * 4, &index);
    info.icon = Narrow(text);
    ok = true;
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  return ok;
}

}  // namespace standin
