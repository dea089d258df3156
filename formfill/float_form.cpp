#include "formfill/float_form.h"

#include <atomic>
#include <vector>

#include "data/app_services.h"
#include "data/data_startup.h"
#include "formfill/app_menus.h"
#include "platform/gdi/window_picture.h"
#include "platform/kernel/resources.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "support/alpha_bitmaps.h"
#include "support/debug_log.h"

namespace formfill {
namespace {

std::atomic<TFloatFormOwner*> installed_owner{nullptr};

struct Zone {
  RECT rect;
  int hover;
};
// A point on the right or bottom edge is outside.
constexpr Zone kZones[] = {{{7, 0, 32, 28}, 1}, {{32, 0, 47, 28}, 3}, {{47, 0, 75, 28}, 5}};
constexpr int kFillZone = 1;
constexpr int kArrowZone = 3;
constexpr int kSettingsZone = 5;
// Where the menu opens: the arrow zone's left and bottom, less 5.
constexpr POINT kMenuPoint{27, 23};

constexpr char16_t kComingSoon[] = u"   Comming soon!      ";
constexpr COLORREF kTransparentColor = RGB(255, 0, 255);

std::unique_ptr<TBitmap> LoadBitmapResource(const char* name) {
  return std::unique_ptr<TBitmap>(LoadResourceBitmap(HInstance, name, RT_BITMAP));
}

// The seven images, built once per process by the first window: the background made
// transparent by its mask, and a copy for each lit or pressed button.
const std::vector<std::unique_ptr<TBitmap>>& FloatImages() {
  static const std::vector<std::unique_ptr<TBitmap>> images = [] {
    std::vector<std::unique_ptr<TBitmap>> made;
    std::unique_ptr<TBitmap> background = LoadBitmapResource("FLOAT_BACKGROUND");
    std::unique_ptr<TBitmap> mask = LoadBitmapResource("FLOAT_BACK_MAP");
    if (!background || !mask) return made;
    made.emplace_back(MakeAlphaBitmap(background.get(), mask.get(), true));
    struct State {
      const char* name;
      int x;
    } states[] = {{"FLOAT_FILL_OVER", 8},  {"FLOAT_FILL_PRESS", 8}, {"FLOAT_ARROW_OVER", 33},
                  {"FLOAT_ARROW_PRESS", 33}, {"FLOAT_SET_OVER", 48},  {"FLOAT_SET_PRESS", 48}};
    for (const State& state : states) {
      TBitmap copy;
      copy.Assign(background.get());
      if (std::unique_ptr<TBitmap> drawn = LoadBitmapResource(state.name)) copy.Canvas().Draw(state.x, 0, *drawn);
      made.emplace_back(MakeAlphaBitmap(&copy, mask.get(), true));
    }
    for (const auto& image : made) {
      if (!image) return std::vector<std::unique_ptr<TBitmap>>();
    }
    return made;
  }();
  return images;
}

// Adds a picture of the program to an image list, its magenta pixels transparent.
void AddMasked(TImageList& list, const char* name) {
  std::unique_ptr<TBitmap> bitmap(LoadRCDataBitmap(HInstance, name));
  if (!bitmap) return;
  bitmap->SetPixelFormat(TPixelFormat::pf32bit);
  for (int y = 0; y < bitmap->Height(); ++y) {
    std::uint8_t* pixel = bitmap->ScanLine(y);
    for (int x = 0; x < bitmap->Width(); ++x, pixel += 4) {
      bool transparent = RGB(pixel[2], pixel[1], pixel[0]) == kTransparentColor;
      if (transparent) pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
    }
  }
  TIcon icon;
  icon.FromBitmap(*bitmap);
  list.AddIcon(icon);
}

// Frees the items under Root (each item owns those under it).
void ClearMenuItems(TMenuItem* root) {
  while (root->Count() > 0) delete root->Items(root->Count() - 1);
}

// As the messages this thread has taken show it: a drag's moves come while it is down.
bool PrimaryButtonDown() { return GetKeyState(GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) < 0; }

POINT PointOf(LPARAM value) { return POINT{GET_X_LPARAM(value), GET_Y_LPARAM(value)}; }

// The one of two offsets with the smaller size stays, the other becomes 0 (on a tie
// the first).
void KeepNearer(std::int32_t& first, std::int32_t& second) {
  if (std::abs(first) <= std::abs(second)) {
    second = 0;
  } else {
    first = 0;
  }
}

}  // namespace

TFloatOffsets& FloatOffsets() {
  static TFloatOffsets offsets;
  return offsets;
}

void InstallFloatFormOwner(TFloatFormOwner* owner) { installed_owner.store(owner); }

int FloatZoneAt(POINT client, bool pressed) {
  for (const Zone& zone : kZones) {
    if (client.x >= zone.rect.left && client.x < zone.rect.right && client.y >= zone.rect.top &&
        client.y < zone.rect.bottom) {
      return zone.hover + (pressed ? 1 : 0);
    }
  }
  return 0;
}

TFloatForm::TFloatForm(HWND browser) : TForm(nullptr), browser_(browser) {
  BorderStyle = TFormBorderStyle::bsNone;
  SetBounds(0, -1000, 126, 68);
  SetColor(clBlack);
  PopMenu = new TUniPopupMenu(this);
  PopMenu->AutoPopup = false;
  PopMenu->OnPopup = [this](TObject* sender) { MenuPopup(sender); };
  PopupImages = new TImageList(this);
  FormCreate();
}

TFloatForm::~TFloatForm() = default;

void TFloatForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.WndParent = browser_;
  params.ExStyle |= WS_EX_LAYERED;
  Started = false;
}

void TFloatForm::FormCreate() {
  Positioning = false;
  Dragged = false;
  const auto& images = FloatImages();
  if (!images.empty()) {
    ImageSize = SIZE{images[0]->Width(), images[0]->Height()};
    SetBounds(Left(), Top(), ImageSize.cx, ImageSize.cy);
  }
  Offsets = FloatOffsets();
  Blend = BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  HWND window = Handle();
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | static_cast<LONG>(WS_EX_LAYERED));
  ImageIndex = 0;
  Pressed = false;
  Shown = false;
  AddMasked(*PopupImages, "ICO_VAULT");
  AddMasked(*PopupImages, "ICO_BOOKMARK");
}

void TFloatForm::HandImage() {
  const auto& images = FloatImages();
  if (images.empty() || ImageIndex < 0 || ImageIndex >= static_cast<int>(images.size())) return;
  POINT source{0, 0};
  UpdateLayeredWindow(Handle(), 0, nullptr, &ImageSize, images[ImageIndex]->Canvas().Handle(), &source, 0, &Blend,
                      ULW_ALPHA);
  LayeredOnce = true;
}

void TFloatForm::ShowImage(int index) {
  if (index == ImageIndex) return;
  LogMessage("Old: " + std::to_string(ImageIndex) + " New: " + std::to_string(index));
  ImageIndex = index;
  HandImage();
}

void TFloatForm::Start() {
  UpdatePosition(true);
  Started = true;
  HWND window = Handle();
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) & ~static_cast<LONG>(WS_EX_APPWINDOW));
  if (Application != nullptr) {
    HWND app = Application->Handle();
    SetWindowLongA(app, GWL_EXSTYLE, GetWindowLongA(app, GWL_EXSTYLE) & ~static_cast<LONG>(WS_EX_APPWINDOW));
  }
  if (FloatButtonEnabled.load()) HandImage();
}

bool TFloatForm::BrowserRect(RECT& rect) const {
  return GetWindowRect(browser_, &rect) && rect.left != -32000 && rect.top != -32000;
}

void TFloatForm::UpdatePosition(bool force) {
  if (Positioning || IsIconic(browser_) || (!force && !IsWindowVisible(Handle()))) return;
  Positioning = true;
  RECT browser;
  if (BrowserRect(browser)) {
    int x = Offsets.Right != 0 ? browser.right - Offsets.Right : browser.left + Offsets.Left;
    int y = Offsets.Bottom != 0 ? browser.bottom - Offsets.Bottom : browser.top + Offsets.Top;
    if (x != Left() || y != Top()) SetBounds(x, y, Width(), Height());
    if (FloatButtonEnabled.load()) {
      ShowFloat();
    } else {
      HideFloat();
    }
  }
  Positioning = false;
}

void TFloatForm::ShowFloat() {
  if (Shown || IsWindowVisible(Handle())) return;
  if (!LayeredOnce) HandImage();
  Shown = true;
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  TControl::SetVisible(true);
  // Topmost and back brings it above the browser without keeping it above everything.
  SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  if (Application != nullptr) ShowWindow(Application->Handle(), SW_HIDE);
}

void TFloatForm::HideFloat() {
  if (IsWindowVisible(Handle())) {
    ShowWindow(Handle(), SW_HIDE);
    TControl::SetVisible(false);
    if (Application != nullptr) ShowWindow(Application->Handle(), SW_HIDE);
  }
  Shown = false;
}

void TFloatForm::Moved() {
  RECT browser;
  if (!Started || IsIconic(browser_) || Positioning || !BrowserRect(browser) || !PrimaryButtonDown()) return;
  RECT window;
  GetWindowRect(Handle(), &window);
  TFloatOffsets offsets{window.left - browser.left, window.top - browser.top, browser.right - window.left,
                        browser.bottom - window.top};
  KeepNearer(offsets.Left, offsets.Right);
  KeepNearer(offsets.Top, offsets.Bottom);
  Offsets = offsets;
  Dragged = true;
}

void TFloatForm::DragEnded() {
  // Written once per drag, not on every move of it.
  if (!Dragged) return;
  Dragged = false;
  FloatOffsets() = Offsets;
  if (Config) {
    Config->WriteInteger(u"POS_L", Offsets.Left);
    Config->WriteInteger(u"POS_T", Offsets.Top);
    Config->WriteInteger(u"POS_R", Offsets.Right);
    Config->WriteInteger(u"POS_B", Offsets.Bottom);
  }
}

LRESULT TFloatForm::HitTest(LPARAM screenPoint) {
  POINT point = PointOf(screenPoint);
  ScreenToClient(Handle(), &point);
  int zone = FloatZoneAt(point, Pressed);
  ShowImage(zone);
  return zone != 0 ? HTCLIENT : HTCAPTION;
}

void TFloatForm::ButtonDown(LPARAM clientPoint) {
  SetCapture(Handle());
  Pressed = true;
  PressZone = FloatZoneAt(PointOf(clientPoint), false);
}

void TFloatForm::ButtonUp(LPARAM clientPoint) {
  ReleaseCapture();
  Pressed = false;
  int zone = FloatZoneAt(PointOf(clientPoint), false);
  int pressed = PressZone;
  PressZone = 0;
  if (zone == 0 || zone != pressed) return;
  TFloatFormOwner* owner = installed_owner.load();
  if (zone == kFillZone) {
    if (owner != nullptr) owner->FillOpenForm(browser_, WinObject);
  } else if (zone == kArrowZone) {
    POINT at = kMenuPoint;
    ClientToScreen(Handle(), &at);
    PopMenu->Popup(at.x, at.y);
  } else if (zone == kSettingsZone) {
    if (owner != nullptr && owner->EnsureFirstRun(browser_) && CheckUnlock(browser_, 0, true)) {
      owner->ShowSettings(browser_, 0);
    }
  }
}

void TFloatForm::MouseLeft() {
  ReleaseCapture();
  Pressed = false;
  if (ImageIndex != 0) ShowImage(0);
}

void TFloatForm::MenuPopup(TObject*) {
  // A declined master password leaves the menu empty.
  ClearMenuItems(PopMenu->Items());
  TFloatFormOwner* owner = installed_owner.load();
  if (owner == nullptr || !owner->EnsureFirstRun(browser_) || !CheckUnlock(browser_, 1, true)) return;
  TMenuEvents events;
  for (int slot = 0; slot < TMenuEvents::kCount; ++slot) {
    const int command = CommandOfSlot(slot);
    events.Handlers[slot] = [this, command](TObject* sender) {
      auto* item = dynamic_cast<TMenuItem*>(sender);
      MenuClick(command, item != nullptr ? static_cast<std::int32_t>(item->Tag) : 0);
    };
  }
  BuildMainMenu(events, *PopMenu, true);
}

void TFloatForm::MenuClick(int command, std::int32_t tag) {
  TFloatFormOwner* owner = installed_owner.load();
  if (owner == nullptr) return;
  switch (command) {
    case 1:
    case 2:
    case 3: owner->OpenStoredForm(browser_, tag, WinObject, command); break;
    case 4: owner->FillOpenForm(browser_, WinObject); break;
    case 5:
    case 6:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 22: owner->ShowMessage(browser_, kComingSoon); break;
    case 25:
    case 37: owner->ShowSettings(browser_, 0); break;
    default: owner->MenuCommand(browser_, command, tag, WinObject); break;
  }
}

void TFloatForm::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case kFloatBindMessage:
      WinObject = static_cast<platform::ObjectId>(message.WParam);
      if (message.LParam != 0) Start();
      return;
    case WM_MOVE:
      TForm::Dispatch(message);
      Moved();
      return;
    case WM_EXITSIZEMOVE:
      DragEnded();
      TForm::Dispatch(message);
      return;
    case WM_NCHITTEST:
      message.Result = HitTest(message.LParam);
      return;
    case WM_MOUSEMOVE:
      if (ImageIndex != 0) {
        // The lit button goes dark again when the mouse leaves the window.
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&track);
      }
      TForm::Dispatch(message);
      return;
    case WM_LBUTTONDOWN:
      ButtonDown(message.LParam);
      return;
    case WM_LBUTTONUP:
      ButtonUp(message.LParam);
      return;
    case WM_MOUSELEAVE:
      MouseLeft();
      return;
    case WM_MOUSEACTIVATE:
      if (IsIconic(browser_)) ShowWindow(browser_, SW_RESTORE);
      TForm::Dispatch(message);
      return;
    default:
      TForm::Dispatch(message);
  }
}

std::unique_ptr<TFloatForm> CreateFloatForm(HWND browser) {
  if (!IsWindow(browser)) return nullptr;
  return std::make_unique<TFloatForm>(browser);
}

// --- what the watchers reach ------------------------------------------------------

TFloatButtonTable::TFloatButtonTable() { InstallFloatButtons(this); }

TFloatButtonTable::~TFloatButtonTable() {
  if (FloatButtons() == this) InstallFloatButtons(nullptr);
}

void TFloatButtonTable::Add(platform::ObjectId floatForm, HWND window) {
  std::lock_guard guard(lock_);
  entries_[floatForm] = Entry{window, {}};
}

void TFloatButtonTable::Remove(platform::ObjectId floatForm) {
  std::lock_guard guard(lock_);
  entries_.erase(floatForm);
}

void TFloatButtonTable::Bind(platform::ObjectId floatForm, platform::ObjectId watcher, bool start) {
  HWND window = Handle(floatForm);
  if (window != 0) PostMessageA(window, kFloatBindMessage, watcher, start ? 1 : 0);
}

void TFloatButtonTable::SetClientID(platform::ObjectId floatForm, const std::u16string& clientId) {
  std::lock_guard guard(lock_);
  auto found = entries_.find(floatForm);
  if (found != entries_.end()) found->second.clientId = clientId;
}

std::u16string TFloatButtonTable::ClientID(platform::ObjectId floatForm) {
  std::lock_guard guard(lock_);
  auto found = entries_.find(floatForm);
  return found == entries_.end() ? std::u16string() : found->second.clientId;
}

bool TFloatButtonTable::IsVisible(platform::ObjectId floatForm) {
  HWND window = Handle(floatForm);
  return window != 0 && IsWindowVisible(window);
}

HWND TFloatButtonTable::Handle(platform::ObjectId floatForm) {
  std::lock_guard guard(lock_);
  auto found = entries_.find(floatForm);
  return found == entries_.end() ? 0 : found->second.window;
}

}  // namespace formfill
