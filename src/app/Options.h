// Command-line options: presets for the Settings dialog's controls, and one that skips it.
#pragma once

#include <string>
#include <vector>

struct LaunchOptions {
  int audio = -1;    // item of the audio device list; -1: as the dialog has it
  int video = -1;    // item of the video device list
  std::string rate;  // text for the mixing rate box; empty: as the dialog has it
  bool plain = false;  // interpolation off
  bool windowed = false;
  bool loop = false;
  bool go = false;  // start with these choices without showing the dialog

  bool Any() const;
};

enum class OptionsOutcome { Run, Help, Version, Bad };

// WinMain's command line, split as the Windows C runtime splits it.
std::vector<std::string> SplitCommandLine(const char* commandLine);
// On Bad, `error` says what was wrong.
OptionsOutcome ParseCommandLine(const char* commandLine, LaunchOptions& options, std::string& error);
// The usage, after `error` when there is one: on the terminal, or in a message box on Windows,
// where the program has no console.
void ShowUsage(const std::string& error);
// "vemora VERSION", where the usage would go.
void ShowVersion();
