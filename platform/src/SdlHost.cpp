#include "SdlHost.h"

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "Icons.h"
#include "SdlDisplay.h"
#include "Window.h"

namespace vemora::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kPresentIntervalUs = 16000;  // about 60 pictures a second
constexpr std::uint64_t kPumpIntervalUs = 4000;      // input latency while the UI thread waits

struct SdlWindow {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  std::uint64_t presentedVersion = 0;
  std::uint64_t presentedScreen = 0;  // DirectDraw version shown
  std::uint64_t uploadedVersion = 0;  // window pixels in `texture`
  SDL_Texture* screenTexture = nullptr;
  bool screen555 = false;
  HICON icon = nullptr;  // the class icon shown on the window
};

// Without a window manager nobody answers the request for full screen: the window covers its
// display by itself too.
void CoverDisplay(SDL_Window* window) {
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window)), &bounds) != 0) return;
  SDL_SetWindowPosition(window, bounds.x, bounds.y);
  SDL_SetWindowSize(window, bounds.w, bounds.h);
}

int VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_SCROLLLOCK: return VK_SCROLL;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_TAB: return VK_TAB;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_DELETE: return VK_DELETE;
    default: return 0;
  }
}

class SdlHost final : public Host {
 public:
  SdlHost() : start_(Clock::now()) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    utcOffset_ = local.tm_gmtoff;
    epoch_ = static_cast<std::int64_t>(now) + utcOffset_;
  }

  bool Headless() const override { return false; }
  std::uint64_t NowUs() override {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_).count());
  }
  std::int64_t EpochSeconds() override { return epoch_; }
  std::int64_t UtcOffsetSeconds() override { return utcOffset_; }

  void Block(std::unique_lock<std::mutex>& held, Thread& self) override {
    self.state = ThreadState::Blocked;
    for (;;) {
      if (self.terminated) Park(held, self);
      DWORD result;
      if (TrySatisfy(self, result)) {
        self.waitResult = result;
        break;
      }
      std::uint64_t now = NowUs();
      if (self.deadline <= now) {
        self.waitResult = WAIT_TIMEOUT;
        break;
      }
      std::uint64_t until = self.deadline;
      if (self.index == 0 && self.wakeMask != 0) {
        // SDL delivers input to the thread that started video only: poll it while waiting.
        PumpInput(held, self);
        if (TrySatisfy(self, result)) {
          self.waitResult = result;
          break;
        }
        until = std::min(until, now + kPumpIntervalUs);
      }
      if (until == kNoDeadline)
        changed_.wait(held);
      else
        changed_.wait_until(held, start_ + std::chrono::microseconds(until));
    }
    self.state = ThreadState::Running;
  }

  void Changed() override { changed_.notify_all(); }

  [[noreturn]] void Park(std::unique_lock<std::mutex>& held, Thread&) override {
    for (;;) changed_.wait(held);
  }

  void Start(std::unique_lock<std::mutex>&, Thread& thread) override {
    thread.state = ThreadState::Running;
    std::thread(RunThread, &thread).detach();
  }

  void Enter(std::unique_lock<std::mutex>& held, Thread& self) override {
    while (self.suspended || self.terminated) changed_.wait(held);
  }

  void Leave(std::unique_lock<std::mutex>&, Thread&) override {}

  void PumpInput(std::unique_lock<std::mutex>& held, Thread& self) override {
    if (self.index != 0) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) Translate(event);
    Present(held, false);
  }

  void WindowCreated(Window& window) override {
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if ((window.style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    if (window.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    RECT client = ClientRect(window);
    RECT nc = NonClient(window.style);
    auto* data = new SdlWindow;
    data->window = SDL_CreateWindow(window.title.c_str(), window.rect.left + nc.left, window.rect.top + nc.top,
                                    std::max<int>(1, client.right), std::max<int>(1, client.bottom), flags);
    if (data->window != nullptr) data->renderer = SDL_CreateRenderer(data->window, -1, 0);
    ShowWindowIcon(data->window, window.windowClass->info.hIcon, data->icon);
    window.hostData = data;
  }

  void WindowChanged(Window& window) override {
    auto* data = static_cast<SdlWindow*>(window.hostData);
    if (data == nullptr || data->window == nullptr || translating_) return;
    ShowWindowIcon(data->window, window.windowClass->info.hIcon, data->icon);
    SDL_SetWindowTitle(data->window, window.title.c_str());
    if (!window.visible) {
      SDL_HideWindow(data->window);
      return;
    }
    SDL_ShowWindow(data->window);
    // A maximised pop-up covers its screen: SDL's desktop full screen, on the display the window
    // is on, above the panels.
    const bool popup = (window.style & WS_CAPTION) != WS_CAPTION;
    const bool fullScreen = popup && window.show == ShowState::Maximised;
    if (fullScreen && !(SDL_GetWindowFlags(data->window) & SDL_WINDOW_FULLSCREEN)) CoverDisplay(data->window);
    SDL_SetWindowFullscreen(data->window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    switch (window.show) {
      case ShowState::Minimised:
        SDL_MinimizeWindow(data->window);
        break;
      case ShowState::Maximised:
        if (!fullScreen) SDL_MaximizeWindow(data->window);
        break;
      case ShowState::Normal: {
        SDL_RestoreWindow(data->window);
        RECT client = ClientRect(window);
        RECT nc = NonClient(window.style);
        SDL_SetWindowSize(data->window, std::max<int>(1, client.right), std::max<int>(1, client.bottom));
        SDL_SetWindowPosition(data->window, window.rect.left + nc.left, window.rect.top + nc.top);
        break;
      }
    }
    data->presentedVersion = 0;
  }

  void WindowDestroyed(Window& window) override {
    auto* data = static_cast<SdlWindow*>(window.hostData);
    if (data == nullptr) return;
    if (data->texture != nullptr) SDL_DestroyTexture(data->texture);
    if (data->screenTexture != nullptr) SDL_DestroyTexture(data->screenTexture);
    if (data->renderer != nullptr) SDL_DestroyRenderer(data->renderer);
    if (data->window != nullptr) SDL_DestroyWindow(data->window);
    delete data;
    window.hostData = nullptr;
  }

  void CursorChanged(int displayCount) override { SDL_ShowCursor(displayCount >= 0 ? SDL_ENABLE : SDL_DISABLE); }

  // The screen of the display the program's window is on (the first before there is one).
  void ScreenSize(int& width, int& height) override {
    Window* window = TargetWindow();
    int display = 0;
    if (window != nullptr && window->hostData != nullptr)
      display = std::max(0, SDL_GetWindowDisplayIndex(static_cast<SdlWindow*>(window->hostData)->window));
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(display, &mode) == 0) {
      width = mode.w;
      height = mode.h;
    } else {
      width = 640;
      height = 480;
    }
  }

  int DisplayCount() override { return std::max(1, SDL_GetNumVideoDisplays()); }

  // Shown at once (the wait for the display refresh happens without the lock).
  void DisplayChanged() override {
    std::unique_lock<std::mutex> held(Global().lock);
    Present(held, true);
  }

  int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override {
    SDL_Window* parent = nullptr;
    {
      std::unique_lock<std::mutex> held(Global().lock);
      Window* window = LookupWindow(owner);
      if (window != nullptr && window->hostData != nullptr)
        parent = static_cast<SdlWindow*>(window->hostData)->window;
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((style & 0xF0) == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    if ((style & 0xF0) == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    SDL_ShowSimpleMessageBox(flags, caption, text, parent);
    return IDOK;
  }

 private:
  Window* FromSdl(Uint32 windowId) {
    Window* window = TargetWindow();
    if (window == nullptr || window->hostData == nullptr) return nullptr;
    SDL_Window* sdl = static_cast<SdlWindow*>(window->hostData)->window;
    return sdl != nullptr && SDL_GetWindowID(sdl) == windowId ? window : nullptr;
  }

  void Translate(const SDL_Event& event) {
    translating_ = true;
    switch (event.type) {
      case SDL_QUIT:
        InputClose();
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (int key = VirtualKey(event.key.keysym.sym)) InputKey(key, event.type == SDL_KEYDOWN);
        break;
      case SDL_TEXTINPUT:
        for (const char* typed = event.text.text; *typed != '\0'; ++typed) InputChar(*typed);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && FromSdl(event.button.windowID) != nullptr)
          InputMouse(event.type == SDL_MOUSEBUTTONDOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP, event.button.x, event.button.y,
                     event.type == SDL_MOUSEBUTTONDOWN ? MK_LBUTTON : 0);
        break;
      case SDL_MOUSEMOTION:
        if (FromSdl(event.motion.windowID) != nullptr)
          InputMouse(WM_MOUSEMOVE, event.motion.x, event.motion.y, (event.motion.state & SDL_BUTTON_LMASK) ? MK_LBUTTON : 0);
        break;
      case SDL_MOUSEWHEEL:
        if (FromSdl(event.wheel.windowID) != nullptr)
          InputMouse(WM_MOUSEWHEEL, 0, 0, MAKEWPARAM(0, static_cast<WORD>(event.wheel.y * WHEEL_DELTA)));
        break;
      case SDL_WINDOWEVENT: {
        Window* window = FromSdl(event.window.windowID);
        if (window == nullptr) break;
        RECT nc = NonClient(window->style);
        switch (event.window.event) {
          case SDL_WINDOWEVENT_CLOSE: InputClose(); break;
          case SDL_WINDOWEVENT_FOCUS_GAINED: InputActivate(true); break;
          case SDL_WINDOWEVENT_FOCUS_LOST: InputActivate(false); break;
          // SDL reports the sizes and places it was told to take too: only real changes count.
          case SDL_WINDOWEVENT_MOVED:
            if (event.window.data1 - nc.left != window->rect.left || event.window.data2 - nc.top != window->rect.top)
              InputMove(event.window.data1 - nc.left, event.window.data2 - nc.top);
            break;
          case SDL_WINDOWEVENT_SIZE_CHANGED: {
            RECT client = ClientRect(*window);
            if (window->show != ShowState::Minimised &&
                (event.window.data1 != client.right || event.window.data2 != client.bottom))
              InputSize(event.window.data1 + nc.left + nc.right, event.window.data2 + nc.top + nc.bottom);
            break;
          }
          case SDL_WINDOWEVENT_MINIMIZED: InputMinimise(); break;
          case SDL_WINDOWEVENT_MAXIMIZED: {
            SDL_Window* sdl = static_cast<SdlWindow*>(window->hostData)->window;
            int x = 0, y = 0, width = 0, height = 0;
            SDL_GetWindowPosition(sdl, &x, &y);
            SDL_GetWindowSize(sdl, &width, &height);
            const RECT outer{x - nc.left, y - nc.top, x + width + nc.right, y + height + nc.bottom};
            InputMaximise(&outer);
            break;
          }
          case SDL_WINDOWEVENT_RESTORED: InputRestore(); break;
          case SDL_WINDOWEVENT_EXPOSED:
            if (window->hostData != nullptr) static_cast<SdlWindow*>(window->hostData)->presentedVersion = 0;
            break;
          default: break;
        }
        break;
      }
      default:
        break;
    }
    translating_ = false;
  }

  // Shows the window's pixels and DirectDraw's picture, at most every kPresentIntervalUs unless
  // forced. The window's pixels are copied under the lock, and only when GDI changed them and the
  // full-screen picture does not hide them; uploading and drawing happen without the lock, so
  // that the other threads are not held up.
  void Present(std::unique_lock<std::mutex>& held, bool force) {
    std::uint64_t now = NowUs();
    if (!force && now - lastPresent_ < kPresentIntervalUs) return;
    Window* window = TargetWindow();
    if (window == nullptr || !window->visible || window->hostData == nullptr) return;
    auto* data = static_cast<SdlWindow*>(window->hostData);
    if (data->renderer == nullptr || window->pixelWidth == 0 || window->pixelHeight == 0) return;
    const std::uint64_t screen = DirectDrawVersion();
    if (data->presentedVersion == window->pixelVersion && data->presentedVersion != 0 &&
        data->presentedScreen == screen)
      return;
    const int width = window->pixelWidth;
    const int height = window->pixelHeight;
    const ClientPlacement placement = PlacementOf(*window);
    const bool pixelsShow = !DirectDrawCoversWindow();
    const bool upload = pixelsShow && (data->uploadedVersion != window->pixelVersion || data->textureWidth != width ||
                                       data->textureHeight != height);
    if (upload) {
      staging_.assign(window->pixels.begin(), window->pixels.end());
      data->uploadedVersion = window->pixelVersion;
    }
    data->presentedVersion = window->pixelVersion;
    data->presentedScreen = screen;
    lastPresent_ = now;
    held.unlock();
    if (upload) Upload(*data, width, height);
    SDL_RenderClear(data->renderer);
    if (pixelsShow && data->texture != nullptr) SDL_RenderCopy(data->renderer, data->texture, nullptr, nullptr);
    DrawDirectDraw(data->renderer, placement, data->screenTexture, data->screen555);
    SDL_RenderPresent(data->renderer);
    held.lock();
  }

  // The window's pixels from staging_ into its texture (lock not held).
  void Upload(SdlWindow& data, int width, int height) {
    if (data.texture == nullptr || data.textureWidth != width || data.textureHeight != height) {
      if (data.texture != nullptr) SDL_DestroyTexture(data.texture);
      data.texture = SDL_CreateTexture(data.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
      data.textureWidth = width;
      data.textureHeight = height;
    }
    if (data.texture != nullptr) SDL_UpdateTexture(data.texture, nullptr, staging_.data(), width * 4);
  }

  Clock::time_point start_;
  std::int64_t epoch_ = 0;
  std::int64_t utcOffset_ = 0;
  std::condition_variable changed_;
  std::uint64_t lastPresent_ = 0;
  bool translating_ = false;
  std::vector<std::uint32_t> staging_;
};

}  // namespace

// SDL falls back to drivers that show nothing (offscreen, dummy); those count as no display.
static bool StartVideo(std::string& failures) {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;  // an earlier host of this process started it
  if (SDL_GetHint(SDL_HINT_VIDEODRIVER) != nullptr) {  // chosen explicitly: take it as it is
    if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
    failures = SDL_GetError();
    return false;
  }
  if (SDL_Init(0) != 0) {
    failures = SDL_GetError();
    return false;
  }
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    std::string name = SDL_GetVideoDriver(i);
    if (name == "offscreen" || name == "dummy" || name == "evdev") continue;
    // Without a compositor to name, the Wayland client library only prints a complaint.
    if (name == "wayland" && std::getenv("WAYLAND_DISPLAY") == nullptr) continue;
    if (SDL_VideoInit(name.c_str()) == 0) return true;
    failures += (failures.empty() ? "" : ", ") + std::string(SDL_GetError());
  }
  if (failures.empty()) failures = "no video driver";
  SDL_Quit();
  return false;
}

Host* CreateSdlHost(std::string* error) {
  std::string failures;
  if (!StartVideo(failures)) {
    if (error != nullptr) *error = failures;
    return nullptr;
  }
  return new SdlHost;
}

}  // namespace vemora::platform
