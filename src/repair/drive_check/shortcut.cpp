#include "repair/drive_check/shortcut.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "repair/drive_check/walker.h"
#include "system/late_load.h"

namespace repair::drive_check {

namespace {

std::wstring Field(wchar_t* buffer) { return std::wstring(buffer); }

}  // namespace

ShortcutReader::ShortcutReader() {
  // ole32 is loaded when a drive is first checked, not at start-up with the program.
  const auto classObject = platform::LateProc<decltype(&CoGetClassObject)>(L"ole32.dll", "CoGetClassObject");
  if (!classObject || FAILED(classObject(CLSID_ShellLink, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                         factory_.Void()))) {
    factory_.Release();
  }
}

ShortcutReader::~ShortcutReader() = default;

std::optional<ShortcutTarget> ShortcutReader::Read(const std::wstring& file) const {
  // A fresh link object per file, so nothing of the last one can linger.
  platform::ComPtr<IShellLinkW> link;
  if (!factory_ || FAILED(factory_->CreateInstance(nullptr, IID_IShellLinkW, link.Void()))) return std::nullopt;
  platform::ComPtr<IPersistFile> persist;
  if (FAILED(link->QueryInterface(IID_IPersistFile, persist.Void()))) return std::nullopt;
  const std::wstring name = file.size() < MAX_PATH ? file : LongPath(file);
  if (FAILED(persist->Load(name.c_str(), STGM_READ))) return std::nullopt;
  // The shell's fields hold at most INFOTIPSIZE characters.
  wchar_t buffer[INFOTIPSIZE + 1] = {};
  ShortcutTarget target;
  if (link->GetPath(buffer, INFOTIPSIZE, nullptr, SLGP_RAWPATH) == S_OK) target.path = Field(buffer);
  buffer[0] = L'\0';
  if (SUCCEEDED(link->GetArguments(buffer, INFOTIPSIZE))) target.arguments = Field(buffer);
  buffer[0] = L'\0';
  if (SUCCEEDED(link->GetWorkingDirectory(buffer, INFOTIPSIZE))) target.workingFolder = Field(buffer);
  return target;
}

}  // namespace repair::drive_check
