#include "repair/computer_check/tasks.h"

#include <windows.h>
#include <taskschd.h>

#include <string_view>

#include "repair/computer_check/launchers.h"
#include "repair/computer_check/rules.h"
#include "system/com_scope.h"
#include "system/handle.h"
#include "system/late_load.h"
#include "system/utf8.h"

namespace repair::computer_check {

namespace {

// A task's file is a page of XML; the bound keeps a planted giant out.
constexpr DWORD kTaskFileLimit = 1024 * 1024;

template <typename T>
using Com = platform::ComPtr<T>;

// oleaut32 is loaded only when tasks are read, so that starting Korvane does not pay for it.
struct Automation {
  BSTR(WINAPI* allocate)(const OLECHAR*, UINT) = nullptr;
  void(WINAPI* free)(BSTR) = nullptr;
  UINT(WINAPI* length)(BSTR) = nullptr;

  static const Automation& Get() {
    static const Automation functions = [] {
      Automation loaded;
      loaded.allocate = platform::LateProc<decltype(allocate)>(L"oleaut32.dll", "SysAllocStringLen");
      loaded.free = platform::LateProc<decltype(free)>(L"oleaut32.dll", "SysFreeString");
      loaded.length = platform::LateProc<decltype(length)>(L"oleaut32.dll", "SysStringLen");
      if (!loaded.allocate || !loaded.free || !loaded.length) loaded = {};
      return loaded;
    }();
    return functions;
  }
};

class Bstr {
 public:
  explicit Bstr(std::wstring_view text) {
    if (Automation::Get().allocate) text_ = Automation::Get().allocate(text.data(), static_cast<UINT>(text.size()));
  }
  Bstr() = default;
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() {
    if (text_ && Automation::Get().free) Automation::Get().free(text_);
  }
  BSTR* Out() { return &text_; }
  BSTR Get() const { return text_; }
  std::wstring Text() const {
    return text_ && Automation::Get().length ? std::wstring(text_, Automation::Get().length(text_)) : std::wstring();
  }

 private:
  BSTR text_ = nullptr;
};

VARIANT Index(LONG index) {
  VARIANT value{};
  value.vt = VT_I4;
  value.lVal = index;
  return value;
}

bool Connect(Com<ITaskService>& service) {
  if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, service.Void()))) {
    return false;
  }
  VARIANT empty{};
  empty.vt = VT_EMPTY;
  if (!Automation::Get().allocate) return false;
  return SUCCEEDED(service->Connect(empty, empty, empty, empty));
}

void ReadActions(IRegisteredTask& task, ScheduledTask& into) {
  Com<ITaskDefinition> definition;
  Com<IActionCollection> actions;
  LONG count = 0;
  if (FAILED(task.get_Definition(definition.Out())) || FAILED(definition->get_Actions(actions.Out())) ||
      FAILED(actions->get_Count(&count))) {
    return;
  }
  for (LONG i = 1; i <= count && i <= 32; ++i) {
    Com<IAction> action;
    TASK_ACTION_TYPE type = TASK_ACTION_EXEC;
    if (FAILED(actions->get_Item(i, action.Out())) || FAILED(action->get_Type(&type)) || type != TASK_ACTION_EXEC) {
      continue;
    }
    Com<IExecAction> exec;
    if (FAILED(action->QueryInterface(IID_IExecAction, exec.Void()))) continue;
    Bstr path;
    Bstr arguments;
    exec->get_Path(path.Out());
    exec->get_Arguments(arguments.Out());
    into.actions.push_back({path.Text(), arguments.Text()});
  }
}

void ListFolder(ITaskFolder& folder, std::vector<ScheduledTask>& tasks, int depth) {
  Com<IRegisteredTaskCollection> registered;
  LONG count = 0;
  if (SUCCEEDED(folder.GetTasks(TASK_ENUM_HIDDEN, registered.Out())) && SUCCEEDED(registered->get_Count(&count))) {
    for (LONG i = 1; i <= count; ++i) {
      Com<IRegisteredTask> task;
      if (FAILED(registered->get_Item(Index(i), task.Out()))) continue;
      ScheduledTask entry;
      Bstr path;
      VARIANT_BOOL enabled = VARIANT_TRUE;
      task->get_Path(path.Out());
      task->get_Enabled(&enabled);
      entry.path = path.Text();
      entry.enabled = enabled != VARIANT_FALSE;
      ReadActions(*task.Get(), entry);
      tasks.push_back(std::move(entry));
    }
  }
  Com<ITaskFolderCollection> folders;
  if (depth > 16 || FAILED(folder.GetFolders(0, folders.Out())) || FAILED(folders->get_Count(&count))) return;
  for (LONG i = 1; i <= count; ++i) {
    Com<ITaskFolder> inner;
    if (SUCCEEDED(folders->get_Item(Index(i), inner.Out()))) ListFolder(*inner.Get(), tasks, depth + 1);
  }
}

std::wstring Decode(const std::string& bytes) {
  if (auto text = platform::FromMarkedUtf16(bytes)) return std::move(*text);
  const std::size_t skip = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  return platform::FromCodePage(std::string_view(bytes).substr(skip), CP_UTF8);
}

std::wstring Unescape(std::wstring text) {
  static constexpr std::pair<std::wstring_view, wchar_t> kEntities[] = {
      {L"&quot;", L'"'}, {L"&apos;", L'\''}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&amp;", L'&'}};
  for (const auto& [entity, character] : kEntities) {
    for (auto at = text.find(entity); at != std::wstring::npos; at = text.find(entity, at + 1)) {
      text.replace(at, entity.size(), 1, character);
    }
  }
  return text;
}

// The text of the first <tag> inside [from, to).
std::wstring Element(const std::wstring& xml, std::wstring_view tag, std::size_t from, std::size_t to) {
  const std::wstring open = L"<" + std::wstring(tag) + L">";
  const std::wstring close = L"</" + std::wstring(tag) + L">";
  const auto start = xml.find(open, from);
  if (start == std::wstring::npos || start >= to) return {};
  const auto end = xml.find(close, start);
  if (end == std::wstring::npos || end > to) return {};
  std::wstring text = Unescape(xml.substr(start + open.size(), end - start - open.size()));
  text.erase(0, text.find_first_not_of(L" \t\r\n"));
  text.erase(text.find_last_not_of(L" \t\r\n") + 1);
  return text;
}

std::optional<ScheduledTask> ReadTaskFile(const std::wstring& file, const std::wstring& path) {
  const platform::Handle handle(
      CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!handle) return std::nullopt;
  std::string bytes(kTaskFileLimit, '\0');
  DWORD got = 0;
  if (!ReadFile(handle.Get(), bytes.data(), kTaskFileLimit, &got, nullptr)) return std::nullopt;
  bytes.resize(got);
  const std::wstring xml = Decode(bytes);
  if (xml.find(L"<Task") == std::wstring::npos) return std::nullopt;
  ScheduledTask task;
  task.path = path;
  const auto settings = xml.find(L"<Settings>");
  if (settings != std::wstring::npos) {
    task.enabled = Element(xml, L"Enabled", settings, xml.find(L"</Settings>", settings)) != L"false";
  }
  for (auto at = xml.find(L"<Exec>"); at != std::wstring::npos; at = xml.find(L"<Exec>", at + 1)) {
    const auto end = xml.find(L"</Exec>", at);
    if (end == std::wstring::npos) break;
    task.actions.push_back({Element(xml, L"Command", at, end), Element(xml, L"Arguments", at, end)});
  }
  return task;
}

void ReadFolder(const std::wstring& folder, const std::wstring& path, std::vector<ScheduledTask>& tasks, int depth) {
  WIN32_FIND_DATAW data;
  const platform::FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (depth < 16) ReadFolder(folder + L"\\" + name, path + L"\\" + name, tasks, depth + 1);
    } else if (auto task = ReadTaskFile(folder + L"\\" + name, path + L"\\" + name)) {
      tasks.push_back(std::move(*task));
    }
  } while (FindNextFileW(find.Get(), &data));
}

std::optional<std::wstring> JudgeAction(Context& context, const TaskAction& action) {
  const std::wstring command = Expand(action.command);
  const std::wstring line = L"\"" + command + L"\" " + action.arguments;
  if (context.places.Removable(command)) return L"starts " + command + L", on a removable drive";
  const auto payload = LauncherPayload(line);
  if (!payload) return std::nullopt;
  const std::wstring place = context.places.SuspectPlace(*payload);
  if (place.empty()) return std::nullopt;
  return FileName(command) + L" starts " + *payload + L", " + place;
}

}  // namespace

std::vector<ScheduledTask> ListTasks() {
  std::vector<ScheduledTask> tasks;
  Com<ITaskService> service;
  Com<ITaskFolder> root;
  const Bstr rootPath(L"\\");
  if (Connect(service) && SUCCEEDED(service->GetFolder(rootPath.Get(), root.Out()))) {
    ListFolder(*root.Get(), tasks, 0);
  }
  if (tasks.empty()) tasks = ReadTaskFiles(Expand(L"%SystemRoot%\\System32\\Tasks"));
  return tasks;
}

std::vector<ScheduledTask> ReadTaskFiles(const std::wstring& folder) {
  std::vector<ScheduledTask> tasks;
  ReadFolder(folder, L"", tasks, 0);
  return tasks;
}

std::wstring DisableTask(const std::wstring& path) {
  // The command line cleans on a thread that has not started COM yet.
  const platform::ComScope com;
  Com<ITaskService> service;
  if (!Connect(service)) return L"the Task Scheduler cannot be reached";
  const auto slash = path.find_last_of(L'\\');
  const Bstr folderPath(slash == 0 || slash == std::wstring::npos ? std::wstring(L"\\") : path.substr(0, slash));
  const Bstr name(slash == std::wstring::npos ? path : path.substr(slash + 1));
  Com<ITaskFolder> folder;
  Com<IRegisteredTask> task;
  if (FAILED(service->GetFolder(folderPath.Get(), folder.Out())) || FAILED(folder->GetTask(name.Get(), task.Out()))) {
    return L"the Task Scheduler does not know this task";
  }
  if (FAILED(task->put_Enabled(VARIANT_FALSE))) return L"the Task Scheduler refused to disable it";
  // Read back from a fresh copy: the one in hand may only remember what it was told.
  Com<IRegisteredTask> again;
  VARIANT_BOOL enabled = VARIANT_TRUE;
  if (FAILED(folder->GetTask(name.Get(), again.Out())) || FAILED(again->get_Enabled(&enabled))) {
    return L"its state could not be read back";
  }
  return enabled == VARIANT_FALSE ? std::wstring() : L"the Task Scheduler said it was disabled, but it is still enabled";
}

void FindTasks(Context& context) {
  for (const ScheduledTask& task : ListTasks()) {
    ++context.read;
    if (!task.enabled) continue;
    for (const TaskAction& action : task.actions) {
      const auto evidence = JudgeAction(context, action);
      if (!evidence) continue;
      Finding finding{Kind::Task, Proposal::DisableTask, Strength::Worm};
      finding.item = L"Task " + task.path;
      finding.evidence = *evidence;
      finding.task = task.path;
      finding.commandLine = action.command + (action.arguments.empty() ? L"" : L" " + action.arguments);
      context.Add(std::move(finding));
      break;
    }
  }
}

}  // namespace repair::computer_check
