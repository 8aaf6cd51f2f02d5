// testing.h for the services that every host shares: the end of a run, scripted dialogs, and
// what windows show. Each host's folder holds its own part of the door.
#include "testing.h"

#include <algorithm>

#include "Audio.h"
#include "BuiltInFace.h"
#include "Dialog.h"
#include "Host.h"
#include "Window.h"

namespace vemora::testing {

using namespace vemora::platform;

namespace {

ScriptStep ToScriptStep(const DialogStep& step) {
  ScriptStep out;
  switch (step.kind) {
    case DialogStep::Kind::Check: out.kind = ScriptStep::Kind::Check; break;
    case DialogStep::Kind::Uncheck: out.kind = ScriptStep::Kind::Uncheck; break;
    case DialogStep::Kind::Press: out.kind = ScriptStep::Kind::Press; break;
    case DialogStep::Kind::Close: out.kind = ScriptStep::Kind::Close; break;
    case DialogStep::Kind::Select: out.kind = ScriptStep::Kind::Select; break;
    case DialogStep::Kind::Type: out.kind = ScriptStep::Kind::Type; break;
    case DialogStep::Kind::Key: out.kind = ScriptStep::Kind::Key; break;
    case DialogStep::Kind::Click: out.kind = ScriptStep::Kind::Click; break;
  }
  out.control = step.control;
  out.index = step.index;
  out.text = step.text;
  out.y = step.y;
  out.shift = step.shift;
  return out;
}

DialogRecord RecordOf(const Dialog& dialog) {
  DialogRecord record;
  record.templateId = dialog.templateId;
  record.ended = dialog.ended;
  record.result = dialog.result;
  record.title = dialog.title;
  record.windowRect = dialog.finalRect;
  record.icon = dialog.icon;
  for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
    const Control& control = dialog.controls[i];
    DialogControl out;
    out.id = control.id;
    out.className = control.className;
    out.style = control.style;
    out.visible = control.Visible();
    out.text = ShownText(control);
    out.items = control.items;
    out.selection = control.selection;
    if (control.IsCombo()) out.droppedWidth = ListOf(dialog, control).rect.right - ListOf(dialog, control).rect.left;
    out.check = control.check;
    out.focused = dialog.focus == static_cast<int>(i);
    out.rect = control.rect;
    if (control.kind == ControlKind::CheckBox) record.buttons[control.id] = control.check;
    record.controls.push_back(std::move(out));
  }
  return record;
}

}  // namespace

void ResetHost() {
  std::unique_lock<std::mutex> held(Global().lock);
  ReplaceHost(held, nullptr);
}

void AnswerNextDialog(std::vector<DialogStep> steps) {
  std::vector<ScriptStep> script;
  for (const DialogStep& step : steps) script.push_back(ToScriptStep(step));
  std::unique_lock<std::mutex> held(Global().lock);
  QueueDialogAnswers(std::move(script));
}

std::vector<DialogRecord> Dialogs() {
  std::unique_lock<std::mutex> held(Global().lock);
  std::vector<DialogRecord> records;
  for (const Dialog* dialog : RunDialogs()) records.push_back(RecordOf(*dialog));
  return records;
}

WindowState MainWindow() {
  std::unique_lock<std::mutex> held(Global().lock);
  WindowState state;
  Window* window = TargetWindow();
  if (window == nullptr) return state;
  state.exists = true;
  state.title = window->title;
  state.className = window->windowClass->name;
  state.visible = window->visible;
  state.minimised = window->show == ShowState::Minimised;
  state.maximised = window->show == ShowState::Maximised;
  state.style = window->style | (state.visible ? WS_VISIBLE : 0) | (state.minimised ? WS_MINIMIZE : 0) |
                (state.maximised ? WS_MAXIMIZE : 0);
  state.windowRect = window->rect;
  state.clientRect = ClientRect(*window);
  state.background = window->windowClass->info.hbrBackground;
  return state;
}

Picture WindowPixels() {
  std::unique_lock<std::mutex> held(Global().lock);
  Picture picture;
  Window* window = TargetWindow();
  if (window == nullptr) return picture;
  picture.width = window->pixelWidth;
  picture.height = window->pixelHeight;
  picture.pixels = window->pixels;
  return picture;
}

namespace {

BuiltInFace builtInFace;

DialogText& FaceOf(TextFace face) { return face == TextFace::BuiltIn ? builtInFace : CurrentHost().DialogFace(); }

}  // namespace

std::string DialogFaceName() {
  std::unique_lock<std::mutex> held(Global().lock);
  return CurrentHost().DialogFace().Name();
}

Picture DrawDialogText(TextFace face, int pixelHeight, const std::string& text, int x, int y, int width, int height) {
  std::unique_lock<std::mutex> held(Global().lock);
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(static_cast<std::size_t>(width) * height, 0xFFFFFF);
  FaceOf(face).Draw(Canvas{picture.pixels.data(), width, height}, pixelHeight, x, y, text, 0, RECT{0, 0, width, height});
  return picture;
}

int DialogTextWidth(TextFace face, int pixelHeight, const std::string& text) {
  std::unique_lock<std::mutex> held(Global().lock);
  return FaceOf(face).Width(pixelHeight, text);
}

int CursorDisplayCount() {
  std::unique_lock<std::mutex> held(Global().lock);
  return CursorCount();
}

int ThreadsOutsideScheduler() {
  std::unique_lock<std::mutex> held(Global().lock);
  return static_cast<int>(std::count_if(Global().threads.begin(), Global().threads.end(),
                                        [](const Thread* t) { return t->state == ThreadState::Unscheduled; }));
}

void FailWaveOutOpen(int times) {
  ChangeAudioFaults([&](AudioFaults& f) { f.failWaveOutOpen = times; });
}
void RefuseDirectSoundPriority(bool refuse) {
  ChangeAudioFaults([&](AudioFaults& f) { f.refusePriority = refuse; });
}
void LoseSoundBufferAtPlay(int times) {
  ChangeAudioFaults([&](AudioFaults& f) { f.loseAtPlay = times; });
}
void LoseSoundBufferAtLock(int times) {
  ChangeAudioFaults([&](AudioFaults& f) { f.loseAtLock = times; });
}
void FailSoundBufferRestore(int times) {
  ChangeAudioFaults([&](AudioFaults& f) { f.failRestore = times; });
}
void HangAudioWrites(bool hang) {
  ChangeAudioFaults([&](AudioFaults& f) { f.hangWrites = hang; });
}

}  // namespace vemora::testing
