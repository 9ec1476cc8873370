#include "repair/computer_check/scan.h"

#include <lm.h>

#include <algorithm>

#include "repair/computer_check/rules.h"
#include "system/com_scope.h"
#include "system/handle.h"
#include "system/late_load.h"
#include "system/system_text.h"

namespace repair::computer_check {

namespace {

// In the order of the enumerations.
constexpr std::wstring_view kKindCaptions[] = {
    L"Running now",          L"Started at logon",     L"Startup folder", L"Winlogon",        L"Blocked tools",
    L"Hidden files setting", L"Policies",             L"Services",       L"Scheduled tasks"};
constexpr std::string_view kKindIds[] = {"process", "run",    "startup", "winlogon", "debugger",
                                         "show-hidden", "policy", "service", "task"};
constexpr std::wstring_view kProposalCaptions[] = {L"End the process",   L"Delete the value",   L"Move to quarantine",
                                                   L"Remove the extras", L"Set it back",        L"Disable the service",
                                                   L"Disable the task"};
constexpr std::string_view kProposalIds[] = {"end-process",     "delete-value",  "quarantine",  "remove-extras",
                                             "set-value", "disable-service", "disable-task"};

}  // namespace

std::wstring_view KindCaption(Kind kind) { return kKindCaptions[static_cast<std::size_t>(kind)]; }
std::wstring_view ProposalCaption(Proposal proposal) { return kProposalCaptions[static_cast<std::size_t>(proposal)]; }
std::string_view KindId(Kind kind) { return kKindIds[static_cast<std::size_t>(kind)]; }
std::string_view ProposalId(Proposal proposal) { return kProposalIds[static_cast<std::size_t>(proposal)]; }

bool RunningElevated() {
  platform::Handle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

bool DomainJoined() {
  // netapi32 brings the network's libraries with it: loaded only when asked.
  const auto query = platform::LateProc<decltype(&NetGetJoinInformation)>(L"netapi32.dll", "NetGetJoinInformation");
  const auto release = platform::LateProc<decltype(&NetApiBufferFree)>(L"netapi32.dll", "NetApiBufferFree");
  LPWSTR name = nullptr;
  NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
  const bool joined = query && query(nullptr, &name, &status) == NERR_Success && status == NetSetupDomainName;
  if (name && release) release(name);
  return joined;
}

ScanResult Scan(const ScanOptions& options, Progress& progress) {
  const platform::ComScope com;
  Context context;
  context.domainJoined = options.domainJoined.value_or(DomainJoined());
  context.elevated = options.elevated.value_or(RunningElevated());
  context.cancel = &progress.cancel;
  for (const Rule& rule : Rules()) {
    if (context.Cancelled()) break;
    if (progress.onProgress) progress.onProgress(context.read, std::wstring(rule.where));
    rule.find(context);
  }
  ScanResult result;
  result.cancelled = context.Cancelled();
  result.domainJoined = context.domainJoined;
  result.elevated = context.elevated;
  result.places = context.read;
  result.findings = std::move(context.findings);
  std::stable_sort(result.findings.begin(), result.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.kind < b.kind; });
  return result;
}

std::wstring ScanSummary(const ScanResult& scan) {
  const auto counted = [](std::uint64_t number, const wchar_t* one, const wchar_t* many) {
    return platform::GroupDigits(number) + L" " + (number == 1 ? one : many);
  };
  const std::wstring read = counted(scan.places, L"place", L"places") + L" read";
  if (scan.findings.empty()) return L"Nothing was found on this computer (" + read + L").";
  return counted(scan.findings.size(), L"finding", L"findings") + L" on this computer (" + read + L").";
}

}  // namespace repair::computer_check
