#include "shell/integration_window.h"

#include <string>

#include "integration/registration.h"
#include "system/message_box.h"

namespace shell {

namespace {

using integration::Place;

constexpr int kClientWidth = 6360;
constexpr int kNoteWidth = 5640;

}  // namespace

FrmIntegration::FrmIntegration()
    : Form({.caption = L"Windows Integration", .clientWidth = kClientWidth, .clientHeight = 2700, .minimizeBox = false}),
      ChkMenu(*this, L"ChkMenu", {360, 300, 0, 300}, L"Add 'Check with Korvane' to the menu of every drive"),
      ChkAutoPlay(*this, L"ChkAutoPlay", {360, 720, 0, 300}, L"Offer Korvane in AutoPlay when a drive is plugged in"),
      LblNote(*this, L"LblNote", {360, 1140, kNoteWidth, 900}, L""),
      CmdSave(*this, L"CmdSave", {kClientWidth - 360 - 1320, 2160, 1320, 375}, L"Save") {
  CmdSave.onClick = [this] { CmdSave_Click(); };
}

void FrmIntegration::LoadState() {
  const std::wstring program = integration::ProgramPath();
  std::wstring note;
  for (const Place place : integration::kPlaces) {
    const integration::State state = integration::ReadState(place, program);
    (place == Place::Menu ? ChkMenu : ChkAutoPlay).SetValueQuietly(state.On() ? 1 : 0);
    const std::wstring said = integration::Describe(place, state);
    if (!said.empty()) note += (note.empty() ? L"" : L"\r\n") + said;
  }
  LblNote.SetText(note);
}

void FrmIntegration::CmdSave_Click() {
  const integration::SaveReport report =
      integration::Save({.menu = ChkMenu.Value() == 1, .autoPlay = ChkAutoPlay.Value() == 1}, integration::ProgramPath());
  // The boxes say what took effect, whatever was asked.
  LoadState();
  if (report.cancelled) return;
  if (!report.refused.empty()) {
    std::wstring text = L"Windows refused these changes, so the boxes show what is in force now:";
    for (const std::wstring& name : report.refused) text += L"\r\n" + name;
    platform::MsgBox(text, platform::MsgIcon::Exclamation, L"Error");
    return;
  }
  platform::MsgBox(report.changed ? L"Changes saved successfully" : L"Nothing needed changing",
                   platform::MsgIcon::Information, L"Confirmation");
}

}  // namespace shell
