// Controls: visual components with bounds, alignment, colour and font, and the windowed
// controls that own a platform window.
//
//   TMessage, CM_*, CN_*   the framework's own notifications and reflected child notifications
//   TControl               bounds, Align, Visible, Enabled, Color, Font, Caption, mouse events
//   TWinControl            a platform window made lazily: creation parameters, superclassing,
//                          one window procedure per object, children, tab order and focus
//   TCustomControl         a windowed control that paints itself on a canvas
//   TGraphicControl        a control without a window, painted by its parent
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Components.h"
#include "framework/Graphics.h"

// The largest position or size that a description may give a control: the platform's
// coordinates stay within 16 bits, and sums of two stay far from overflow.
constexpr int kMaxExtent = 32767;

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// The framework's notifications (CM_*) and the reflected child notifications (CN_*): a child's
// WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, ... come back to the child as CN_BASE plus the message.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_GOTFOCUS = CM_BASE + 2;
constexpr UINT CM_LOSTFOCUS = CM_BASE + 3;
constexpr UINT CM_CANCELMODE = CM_BASE + 4;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 16;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
constexpr UINT CM_APPKEYDOWN = CM_BASE + 22;
constexpr UINT CM_APPSYSCOMMAND = CM_BASE + 23;
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 24;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_DESIGNHITTEST = CM_BASE + 28;
constexpr UINT CM_ICONCHANGED = CM_BASE + 29;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;
constexpr UINT CM_INVOKEHELP = CM_BASE + 31;
constexpr UINT CM_WINDOWHOOK = CM_BASE + 32;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 34;
constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
constexpr UINT CM_SYSCOLORCHANGE = CM_BASE + 36;
constexpr UINT CM_WININICHANGE = CM_BASE + 37;
constexpr UINT CM_FONTCHANGE = CM_BASE + 38;
constexpr UINT CM_TIMECHANGE = CM_BASE + 39;
constexpr UINT CM_TABSTOPCHANGED = CM_BASE + 40;
constexpr UINT CM_UIACTIVATE = CM_BASE + 41;
constexpr UINT CM_UIDEACTIVATE = CM_BASE + 42;
constexpr UINT CM_DOCWINDOWACTIVATE = CM_BASE + 43;
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
constexpr UINT CM_GETDATALINK = CM_BASE + 45;
constexpr UINT CM_CHILDKEY = CM_BASE + 46;
constexpr UINT CM_DRAG = CM_BASE + 47;
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
constexpr UINT CM_DIALOGHANDLE = CM_BASE + 49;
constexpr UINT CM_ISTOOLCONTROL = CM_BASE + 50;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
constexpr UINT CM_SYSFONTCHANGED = CM_BASE + 53;
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;
constexpr UINT CM_CHANGED = CM_BASE + 55;
constexpr UINT CM_DOCKCLIENT = CM_BASE + 56;
constexpr UINT CM_UNDOCKCLIENT = CM_BASE + 57;
constexpr UINT CM_FLOAT = CM_BASE + 58;
constexpr UINT CM_BORDERCHANGED = CM_BASE + 59;
constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 60;
constexpr UINT CM_PARENTBIDIMODECHANGED = CM_BASE + 61;
constexpr UINT CM_ALLCHILDRENFLIPPED = CM_BASE + 62;
constexpr UINT CM_ACTIONUPDATE = CM_BASE + 63;
constexpr UINT CM_ACTIONEXECUTE = CM_BASE + 64;
constexpr UINT CM_HINTSHOWPAUSE = CM_BASE + 65;
constexpr UINT CM_DOCKNOTIFICATION = CM_BASE + 66;
constexpr UINT CM_MOUSEWHEEL = CM_BASE + 67;

constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_CHARTOITEM = CN_BASE + WM_CHARTOITEM;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_COMPAREITEM = CN_BASE + WM_COMPAREITEM;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORDLG = CN_BASE + WM_CTLCOLORDLG;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORMSGBOX = CN_BASE + WM_CTLCOLORMSGBOX;
constexpr UINT CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_DELETEITEM = CN_BASE + WM_DELETEITEM;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_PARENTNOTIFY = CN_BASE + WM_PARENTNOTIFY;
constexpr UINT CN_VKEYTOITEM = CN_BASE + WM_VKEYTOITEM;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSCHAR = CN_BASE + WM_SYSCHAR;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
enum TShiftStateFlag : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, unsigned shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, unsigned shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, unsigned shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

// Shift, control, alt and mouse-button state from a mouse message's key flags.
unsigned KeysToShiftState(WPARAM keys);
unsigned KeyDataToShiftState(LPARAM keyData);

class TWinControl;
class TCustomForm;

// The system's arrow cursor, which every window class of the framework takes.
HCURSOR ArrowCursor();

// Window creation parameters that a control fills in before its window is made.
struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASSA WindowClass{};
  std::string WinClassName;
  // The system class that this control's class is a superclass of ("LISTBOX"), or empty.
  std::string SubClassOf;
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  void BeforeDestruction() override;
  std::string ClassName() const override { return "TControl"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  TPersistent* NestedProperty(std::string_view name) override;
  void Loaded() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  // The form this control is on, or null.
  TCustomForm* ParentForm() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual void SetBounds(int left, int top, int width, int height);
  virtual RECT ClientRect();
  int ClientWidth() { return ClientRect().right; }
  int ClientHeight() { return ClientRect().bottom; }
  virtual void SetClientSize(int width, int height);
  POINT ClientToScreen(POINT p);
  POINT ScreenToClient(POINT p);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  unsigned Anchors() const { return anchors_; }
  void SetAnchors(unsigned anchors) { anchors_ = anchors; }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and on a visible parent chain up to a shown window.
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TFont& Font() { return *font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& text) { SetText(text); }
  virtual std::string Text() const { return text_; }
  virtual void SetText(const std::string& text);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  bool ShowHint() const { return showHint_; }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // Sends a message to this control's own handling (not through the platform).
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  virtual void WndProc(TMessage& message);
  virtual void DefaultHandler(TMessage& message);
  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  void BringToFront();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  virtual void Click();
  virtual void DblClick();
  // Pixels and fonts of the design system scaled to this one (multiply, then divide).
  virtual void ChangeScale(int multiplier, int divider);
  // Asked to realise a palette (in the foreground, or after another window changed the
  // system palette); true when it realised one. Windowed containers ask their children.
  virtual bool PaletteChanged(bool foreground);

 protected:
  virtual void Resize();
  virtual void MouseDown(TMouseButton button, unsigned shift, int x, int y);
  virtual void MouseUp(TMouseButton button, unsigned shift, int x, int y);
  virtual void MouseMove(unsigned shift, int x, int y);
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  virtual void VisibleChanging() {}
  void RequestAlign();
  bool Scaled() const { return scaled_; }
  // A control stores its own font only when it does not take its parent's.
  bool FontStored() const { return !parentFont_; }

  // Applied while its description is read, before alignment.
  bool isReadingBounds() const { return HasState(csReading); }

 private:
  friend class TWinControl;
  void ParentFontChanged();
  void ParentColorChanged();
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  unsigned anchors_ = akLeft | akTop;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parentColor_ = false;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  std::string text_;
  TCursor cursor_ = crDefault;
  std::string hint_;
  bool showHint_ = false;
  int tag_ = 0;
  bool scaled_ = true;
  bool mouseInside_ = false;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  void BeforeDestruction() override;
  std::string ClassName() const override { return "TWinControl"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  void ReadChild(TComponent* child) override;
  void Loaded() override;

  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded();
  // Destroys the window and makes it anew (state kept by DestroyWnd and CreateWnd).
  void RecreateWnd();
  // The control bound to a window of this program, or null.
  static TWinControl* FindControl(HWND window);

  bool PaletteChanged(bool foreground) override;
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<std::size_t>(index)); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool ContainsControl(const TControl* control) const;

  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  // The windowed children in tab order.
  std::vector<TWinControl*> TabList() const;
  virtual bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();
  TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop, bool checkParent) const;
  void SelectFirst();
  void SelectNext(TWinControl* current, bool forward, bool checkTabStop);

  TBrush& Brush() { return brush_; }
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);

  void DisableAlign() { ++alignLevel_; }
  void EnableAlign();
  void Realign();
  // A child moved or was resized: aligned children are laid out again.
  virtual void ChildBoundsChanged(TControl* child);
  bool Showing() const override;
  void SetBounds(int left, int top, int width, int height) override;
  RECT ClientRect() override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void Invalidate() override;
  void Update() override;
  void SetParent(TWinControl* parent) override;

  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

  // Takes a window that someone else made (an embedded control's) as this control's window:
  // its procedure is kept for default handling and ours is put in front of it.
  void AdoptWindow(HWND window);
  // Gives an adopted window back to its own procedure and forgets it without destroying it.
  void ReleaseAdoptedWindow();
  WNDPROC DefWndProc() const { return defWndProc_; }
  void SetDefWndProc(WNDPROC proc) { defWndProc_ = proc; }

  // Window creation, in the order the framework calls it.
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void CreateHandle();
  virtual void DestroyHandle();
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();

 protected:
  virtual void AlignControls(TControl* control, RECT& rect);

 public:
  void ChangeScale(int multiplier, int divider) override;

 protected:
  virtual void PaintControls(HDC dc);
  virtual void PaintWindow(HDC dc);
  virtual bool DoKeyDown(WORD& key, unsigned shift);
  void UpdateBounds();
  void UpdateShowing();
  // Moves the window to its stored bounds and z-order position among its siblings.
  void UpdateWindowPlacement();
  bool LaterSiblingHasWindow() const;
  static LRESULT CALLBACK InitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  bool Reflect(TMessage& message);
  void SetHandleDirect(HWND window) { handle_ = window; }

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

 private:
  friend class TControl;
  void Bind(HWND window);
  void Unbind();
  // Makes the window (CreateWindowHandle) while the window procedure binds its first messages,
  // which arrive before CreateWindowEx returns, to this control.
  void CreateBoundWindow(const TCreateParams& params);
  // The window is gone (or never was ours to keep): forget it and any adoption.
  void WindowGone();
  HWND handle_ = nullptr;
  TBrush brush_;
  WNDPROC defWndProc_ = DefWindowProcA;
  bool adopted_ = false;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  int pendingTabOrder_ = -1;
  bool tabStop_ = false;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  int alignLevel_ = 0;
  bool alignPending_ = false;
  bool showing_ = false;
};

// A windowed control that paints itself.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  std::string ClassName() const override { return "TCustomControl"; }
  TCanvas& Canvas() { return *canvas_; }
  void WndProc(TMessage& message) override;

 protected:
  virtual void Paint();
  void PaintWindow(HDC dc) override;

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// A control without a window: its parent paints it and hands it mouse input.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  std::string ClassName() const override { return "TGraphicControl"; }
  TCanvas& Canvas() { return *canvas_; }
  void WndProc(TMessage& message) override;

 protected:
  virtual void Paint() {}

 private:
  std::unique_ptr<TCanvas> canvas_;
};

// Shows a failure that escaped while a window handled a message (the application's error box)
// and lets the message loop go on. Called inside a catch block.
void HandleWindowException() noexcept;
// The screen's cursor for a cursor number.
HCURSOR CursorHandle(TCursor cursor);

// Description values named alike by several controls.
TAlignment ReadAlignment(TReader& reader);
TBevelCut ReadBevelCut(TReader& reader);
