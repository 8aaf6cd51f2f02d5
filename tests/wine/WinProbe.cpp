// winprobe: reads and works the top-level windows of another program, from inside Wine.
//   winprobe wait TITLE SECONDS      waits until a visible window titled TITLE exists
//   winprobe items TITLE ID          prints the items of combo box ID, one a line
//   winprobe text TITLE ID           prints the text of control ID
//   winprobe click TITLE ID          clicks button ID
//   winprobe select TITLE ID INDEX   selects item INDEX of combo box ID
//   winprobe client TITLE            prints the client area on the screen as WxH+X+Y
//   winprobe devices KIND            prints the devices the system enumerates, one a line: the
//                                    waveOut product names or the DirectSound or DirectDraw
//                                    descriptions (KIND waveout, directsound or directdraw)
//   winprobe version FILE            prints the version resource's strings that a file's
//                                    properties show, NAME=VALUE a line, and its numeric version
// Exit code 0 on success, 1 when a window or control is missing or does not answer, 2 on usage.
#include <windows.h>
#include <ddraw.h>
#include <dsound.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr UINT kAnswerMs = 5000;

void PrintLine(const char* text) { std::printf("%s\n", text ? text : ""); }

HWND FindVisible(const char* title) {
  HWND window = FindWindowA(nullptr, title);
  return window && IsWindowVisible(window) ? window : nullptr;
}

bool WaitFor(const char* title, double seconds) {
  for (DWORD waited = 0; !FindVisible(title); waited += 100) {
    if (waited >= seconds * 1000) return false;
    Sleep(100);
  }
  return true;
}

HWND Control(const char* title, const char* id) {
  HWND window = FindVisible(title);
  if (!window) {
    std::fprintf(stderr, "winprobe: no window \"%s\"\n", title);
    return nullptr;
  }
  HWND control = GetDlgItem(window, std::atoi(id));
  if (!control) std::fprintf(stderr, "winprobe: \"%s\" has no control %s\n", title, id);
  return control;
}

// A hung program must fail the probe, not hang it. Wide messages: Wine passes the ANSI forms of
// CB_GETLBTEXT between processes unconverted.
bool Ask(HWND control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& answer) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result)) {
    std::fprintf(stderr, "winprobe: message 0x%x not answered\n", message);
    return false;
  }
  answer = static_cast<LRESULT>(result);
  return true;
}

// In the system's code page, as the device enumerations give their names.
void PrintWide(const wchar_t* text) {
  std::vector<char> narrow(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr) + 1);
  WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), static_cast<int>(narrow.size()), nullptr, nullptr);
  PrintLine(narrow.data());
}

int Items(const char* title, const char* id) {
  HWND control = Control(title, id);
  LRESULT count = 0;
  if (!control || !Ask(control, CB_GETCOUNT, 0, 0, count) || count < 0) return 1;
  for (LRESULT i = 0; i < count; i++) {
    LRESULT length = 0;
    if (!Ask(control, CB_GETLBTEXTLEN, i, 0, length) || length < 0) return 1;
    std::vector<wchar_t> text(length + 1);
    LRESULT copied = 0;
    if (!Ask(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()), copied)) return 1;
    PrintWide(text.data());
  }
  return 0;
}

int Text(const char* title, const char* id) {
  HWND control = Control(title, id);
  wchar_t text[512] = {};
  LRESULT length = 0;
  if (!control || !Ask(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), length)) return 1;
  PrintWide(text);
  return 0;
}

int Click(const char* title, const char* id) {
  HWND control = Control(title, id);
  LRESULT ignored = 0;
  return control && Ask(control, BM_CLICK, 0, 0, ignored) ? 0 : 1;
}

int Select(const char* title, const char* id, const char* index) {
  HWND control = Control(title, id);
  LRESULT selected = CB_ERR;
  return control && Ask(control, CB_SETCURSEL, std::atoi(index), 0, selected) && selected != CB_ERR ? 0 : 1;
}

int Client(const char* title) {
  HWND window = FindVisible(title);
  RECT area{};
  POINT origin{0, 0};
  if (!window || !GetClientRect(window, &area) || !ClientToScreen(window, &origin)) return 1;
  std::printf("%ldx%ld+%ld+%ld\n", area.right, area.bottom, origin.x, origin.y);
  return 0;
}

int Usage() {
  std::fprintf(stderr, "usage: winprobe wait TITLE SECONDS | items|text|click TITLE ID | select TITLE ID INDEX |"
                       " client TITLE | devices waveout|directsound|directdraw | version FILE\n");
  return 2;
}

BOOL WINAPI PrintDisplayDevice(GUID*, LPSTR description, LPSTR, LPVOID) {
  PrintLine(description);
  return TRUE;
}

BOOL CALLBACK PrintSoundDevice(LPGUID, LPCSTR description, LPCSTR, LPVOID) {
  PrintLine(description);
  return TRUE;
}

int Devices(const char* kind) {
  if (!std::strcmp(kind, "directdraw")) return DirectDrawEnumerateA(PrintDisplayDevice, nullptr) == DD_OK ? 0 : 1;
  if (!std::strcmp(kind, "directsound")) return DirectSoundEnumerateA(PrintSoundDevice, nullptr) == DS_OK ? 0 : 1;
  if (std::strcmp(kind, "waveout")) return Usage();
  const UINT waveDevices = waveOutGetNumDevs();
  for (UINT i = 0; i < waveDevices; i++) {
    WAVEOUTCAPSA caps{};
    if (waveOutGetDevCapsA(i, &caps, sizeof caps) != MMSYSERR_NOERROR) return 1;
    PrintLine(caps.szPname);
  }
  return 0;
}

// Read through the same calls as the file's properties dialog: the US English strings.
int Version(const char* file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoA(file, 0, size, info.data())) return 1;
  for (const char* name : {"ProductName", "FileDescription", "FileVersion", "ProductVersion", "LegalCopyright",
                           "CompanyName", "OriginalFilename"}) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) && length > 0)
      std::printf("%s=%s\n", name, value);
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed) return 1;
  std::printf("fixed=%lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
              fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "version")) return Version(argv[2]);
  if (argc == 3 && !std::strcmp(argv[1], "devices")) return Devices(argv[2]);
  if (argc == 3 && !std::strcmp(argv[1], "client")) return Client(argv[2]);
  if (argc == 5 && !std::strcmp(argv[1], "select")) return Select(argv[2], argv[3], argv[4]);
  if (argc != 4) return Usage();
  const char* command = argv[1];
  const char* title = argv[2];
  if (!std::strcmp(command, "wait")) return WaitFor(title, std::atof(argv[3])) ? 0 : 1;
  if (!std::strcmp(command, "items")) return Items(title, argv[3]);
  if (!std::strcmp(command, "text")) return Text(title, argv[3]);
  if (!std::strcmp(command, "click")) return Click(title, argv[3]);
  return Usage();
}
