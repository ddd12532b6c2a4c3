// Forms, over the application object and the screen (Application.h), which come with them.
//
//   TScrollingWinControl  a windowed control that scrolls when its children do not fit
//   TCustomForm / TForm   a top-level window read from its description, with its active control
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/MessageTexts.h"
#include "framework/Controls.h"
#include "framework/SysUtils.h"

class TScrollingWinControl : public TWinControl {
 public:
  explicit TScrollingWinControl(TComponent* owner);
  std::string ClassName() const override { return "TScrollingWinControl"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  bool AutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool value);
  // The extent of the children that do not follow the client size.
  int VertRange() const { return vertRange_; }
  int HorzRange() const { return horzRange_; }
  // Shows or hides the scroll bars for the current children and client size.
  void UpdateScrollBars();
  void WndProc(TMessage& message) override;

 protected:
  void AlignControls(TControl* control, RECT& rect) override;

 private:
  void CalcAutoRange();
  bool autoScroll_ = true;
  int vertRange_ = 0;
  int horzRange_ = 0;
  bool updatingBars_ = false;
};

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TCustomForm : public TScrollingWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void BeforeDestruction() override;
  std::string ClassName() const override { return "TCustomForm"; }
  bool ReadProperty(TReader& reader, std::string_view name) override;
  TPersistent* NestedProperty(std::string_view name) override;
  void Loaded() override;

  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  unsigned BorderIcons() const { return borderIcons_; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  TPosition Position() const { return position_; }
  TIcon& Icon() { return icon_; }
  int PixelsPerInch() const { return pixelsPerInch_; }
  int TextHeight() const { return textHeight_; }
  bool OldCreateOrder() const { return oldCreateOrder_; }
  // The size of the client area that the description stored (0 when it stored the outer size).
  void SetClientWidth(int width);
  void SetClientHeight(int height);

  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  // The control that last got the keyboard focus in this form.
  TWinControl* FocusedControl() const { return focusedControl_; }
  // The embedded control that is UI-active in this form, if any.
  TWinControl* ActiveEmbeddedControl() const { return activeEmbeddedControl_; }
  void SetActiveEmbeddedControl(TWinControl* control) { activeEmbeddedControl_ = control; }
  void FocusControl(TWinControl* control);
  // Called when a control of this form gets the keyboard focus.
  void SetFocusedControl(TWinControl* control);
  void ControlRemoved(TControl* control);

  void Show();
  void Close();
  virtual bool CloseQuery();
  bool Active() const { return active_; }

  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  void SetVisible(bool visible) override;
  bool Showing() const override;
  void SetBounds(int left, int top, int width, int height) override;
  RECT ClientRect() override;

  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

 protected:
  // Reads the form's description from the program's resources (named by the class name in
  // capitals); then `bindFields` fills the form's component fields, OnCreate runs, and the
  // form shows itself when the description says Visible. Derived forms call it from their
  // constructor. Nothing is shown, and no message reaches the form, before its fields are
  // bound: a failure on the way leaves no window on screen.
  void LoadDescription(const std::function<void()>& bindFields, const std::string& resourceName = std::string());
  void LoadDescription(const std::string& resourceName = std::string()) { LoadDescription(nullptr, resourceName); }
  // Fills a field of the form with the component of that name read from the description.
  template <class T>
  void BindField(T*& field, const char* name) {
    field = dynamic_cast<T*>(FindComponent(name));
    if (!field) throw EReadError(ResFmt(SUnresolvedReference, name));
  }
  virtual void DoClose(TCloseAction& action);

 public:
  void ChangeScale(int multiplier, int divider) override;

 protected:
 private:
  void ApplyStayOnTop();
  void ScaleOnLoad();
  void ShowingChanged();
  void Activated(bool active);
  TFormStyle formStyle_ = fsNormal;
  TFormBorderStyle borderStyle_ = bsSizeable;
  unsigned borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TWindowState windowState_ = wsNormal;
  TPosition position_ = poDesigned;
  TIcon icon_;
  int pixelsPerInch_ = 96;
  int textHeight_ = 13;
  bool oldCreateOrder_ = false;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  bool active_ = false;
  bool shownOnce_ = false;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  TWinControl* activeEmbeddedControl_ = nullptr;
};

class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
  std::string ClassName() const override { return "TForm"; }
};
