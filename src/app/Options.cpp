#include "app/Options.h"

#include <windows.h>

#include <cstdio>

namespace {

const char kUsage[] =
    "Usage: vemora [options]\n"
    "Plays the show: a tracker song through its own mixer and hi-colour effects in time with it.\n"
    "A small Settings dialog comes first; the options make its choices before it opens.\n"
    "\n"
    "Options:\n"
    "  --audio N     audio device N of the list (0 is the first)\n"
    "  --rate HZ     mixing rate in Hz, 1 to 1000000; the sound devices play 100 to 200000,\n"
    "                any other rate ends the show with \"audio failed\"\n"
    "  --plain       no interpolation\n"
    "  --video N     video device N of the list (0 is the first)\n"
    "  --windowed    Windowed (overlay) instead of full screen\n"
    "  --loop        loop the show after its end credits\n"
    "  --go          start at once with these choices, without the dialog\n"
    "  --help        show this text\n"
    "  --version     show the version\n"
    "\n"
    "Keys during the show:\n"
    "  Escape        quit, as closing the window does\n"
    "  Ctrl          the frame rate in the top-left corner, while held\n"
    "  P, Pause, Scroll Lock\n"
    "                pause the pictures; the music plays on\n";

constexpr long kMaxRate = 1000000;
constexpr long kMaxDevice = 9999;

// A whole number of decimal digits only, within [low, high].
bool ReadNumber(const std::string& text, long low, long high, long& value) {
  if (text.empty() || text.size() > 7) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high;
}

bool Fail(std::string& error, const std::string& what) {
  error = what;
  return false;
}

bool TakesValue(const std::string& name) { return name == "--rate" || name == "--audio" || name == "--video"; }

// One option with the value it takes, if any; false with the reason when it is not right.
bool ApplyOption(const std::string& name, const std::string* value, LaunchOptions& options, std::string& error) {
  bool* flag = name == "--plain"      ? &options.plain
               : name == "--windowed" ? &options.windowed
               : name == "--loop"     ? &options.loop
               : name == "--go"       ? &options.go
                                      : nullptr;
  if (flag != nullptr) {
    if (value != nullptr) return Fail(error, name + " takes no value");
    *flag = true;
    return true;
  }
  if (!TakesValue(name)) return Fail(error, "unknown option " + name);
  if (value == nullptr) return Fail(error, name + " needs a value");
  long number;
  if (name == "--rate") {
    if (!ReadNumber(*value, 1, kMaxRate, number)) return Fail(error, "--rate: '" + *value + "' is not a mixing rate");
    options.rate = *value;
    return true;
  }
  if (!ReadNumber(*value, 0, kMaxDevice, number)) return Fail(error, name + ": '" + *value + "' is not a device number");
  (name == "--audio" ? options.audio : options.video) = static_cast<int>(number);
  return true;
}

// Standard output on Linux; a message box on Windows, which gives the program no console.
void ShowText(const std::string& text) {
#if defined(_WIN32)
  MessageBoxA(nullptr, text.c_str(), "Vemora", MB_OK | MB_ICONINFORMATION);
#else
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
#endif
}

}  // namespace

bool LaunchOptions::Any() const { return audio >= 0 || video >= 0 || !rate.empty() || plain || windowed || loop || go; }

std::vector<std::string> SplitCommandLine(const char* commandLine) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false, quoted = false;
  for (const char* p = commandLine != nullptr ? commandLine : ""; *p != '\0';) {
    if (!quoted && (*p == ' ' || *p == '\t')) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
      ++p;
      continue;
    }
    inArgument = true;
    if (*p == '\\') {
      // Backslashes are literal unless a quote follows: then they pair up, and an odd one
      // escapes the quote.
      std::size_t count = 0;
      while (p[count] == '\\') ++count;
      p += count;
      if (*p == '"') {
        current.append(count / 2, '\\');
        if (count % 2 == 1) {
          current += '"';
          ++p;
        }
      } else {
        current.append(count, '\\');
      }
    } else if (*p == '"') {
      if (quoted && p[1] == '"') {  // "" inside quotes is one quote
        current += '"';
        p += 2;
      } else {
        quoted = !quoted;
        ++p;
      }
    } else {
      current += *p++;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

OptionsOutcome ParseCommandLine(const char* commandLine, LaunchOptions& options, std::string& error) {
  const std::vector<std::string> arguments = SplitCommandLine(commandLine);
  options = LaunchOptions{};
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") return OptionsOutcome::Help;
    if (argument == "--version") return OptionsOutcome::Version;
    if (argument.rfind("--", 0) != 0) {
      error = "unexpected argument '" + argument + "'";
      return OptionsOutcome::Bad;
    }
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    std::string value = equals == std::string::npos ? std::string() : argument.substr(equals + 1);
    const bool hasValue = equals != std::string::npos || (TakesValue(name) && i + 1 < arguments.size());
    if (equals == std::string::npos && hasValue) value = arguments[++i];
    if (!ApplyOption(name, hasValue ? &value : nullptr, options, error)) return OptionsOutcome::Bad;
  }
  return OptionsOutcome::Run;
}

void ShowUsage(const std::string& error) {
  if (error.empty()) return ShowText(kUsage);
#if defined(_WIN32)
  MessageBoxA(nullptr, (error + "\n\n" + kUsage).c_str(), "Vemora", MB_OK | MB_ICONERROR);
#else
  std::fprintf(stderr, "vemora: %s\n%s", error.c_str(), kUsage);
#endif
}

void ShowVersion() { ShowText(std::string("vemora ") + VEMORA_VERSION + "\n"); }
