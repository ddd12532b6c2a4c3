// The component model: ownership, removal notices, collections and their reports.
#include <gtest/gtest.h>

#include "framework/Components.h"
#include "framework/Controls.h"
#include "framework/Panel.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"

namespace {

class TWatcher : public TComponent {
 public:
  using TComponent::TComponent;
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == linked) {
      linked = nullptr;
      ++notices;
    }
  }
  TComponent* linked = nullptr;
  int notices = 0;
};

TEST(Components, OwnerDestroysWhatItOwnsAndLinksHearOnce) {
  auto* owner = new TComponent(nullptr);
  auto* watcher = new TWatcher(nullptr);
  auto* owned = new TComponent(owner);
  owned->SetName("Owned1");
  watcher->linked = owned;
  watcher->FreeNotification(owned);
  EXPECT_EQ(owner->FindComponent("owned1"), owned);
  TObject::Free(owner);
  EXPECT_EQ(watcher->linked, nullptr);
  EXPECT_EQ(watcher->notices, 1);
  TObject::Free(watcher);
}

TEST(Components, NamesMustBeValidAndUniqueWithinTheOwner) {
  auto* owner = new TComponent(nullptr);
  auto* a = new TComponent(owner);
  auto* b = new TComponent(owner);
  a->SetName("Panel1");
  EXPECT_THROW(b->SetName("PANEL1"), EComponentError);
  EXPECT_THROW(b->SetName("1Panel"), EComponentError);
  b->SetName("Panel2");
  EXPECT_EQ(b->Name(), "Panel2");
  TObject::Free(owner);
}

class TCountingCollection : public TCollection {
 public:
  TCountingCollection() : TCollection(nullptr, [](TCollection*) { return new TCollectionItem(nullptr); }) {}
  int allReports = 0;
  std::vector<TCollectionItem*> itemReports;

 protected:
  void Update(TCollectionItem* item) override {
    if (item) itemReports.push_back(item);
    else ++allReports;
  }
};

TEST(Collections, UpdateBracketsGatherChangesIntoOneReport) {
  TCountingCollection c;
  c.BeginUpdate();
  c.Add();
  c.Add();
  c.Add();
  EXPECT_EQ(c.allReports, 0);
  c.EndUpdate();
  EXPECT_EQ(c.allReports, 1);
  EXPECT_EQ(c.Count(), 3);
  c.Delete(1);
  EXPECT_EQ(c.allReports, 2);
  EXPECT_THROW(c.Item(5), EListError);
  try {
    c.Item(-1);
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (-1)");
  }
  c.Item(1)->SetIndex(0);
  EXPECT_EQ(c.Item(0)->Index(), 0);
}

// A failed step closes its update bracket once; the first failure is the one the caller sees.
TEST(Collections, AFailureInsideAnUpdateStillClosesItOnce) {
  struct Case {
    bool bodyThrows, closeThrows;
    const char* seen;  // nullptr: no failure
  };
  for (const Case& c :
       {Case{false, false, nullptr}, Case{false, true, "close"}, Case{true, false, "body"}, Case{true, true, "body"}}) {
    int closes = 0;
    const char* seen = nullptr;
    try {
      TUpdateScope update([&] {
        ++closes;
        if (c.closeThrows) throw Exception("close");
      });
      if (c.bodyThrows) throw Exception("body");
      update.Close();
    } catch (const Exception& e) {
      seen = e.what();
    }
    EXPECT_EQ(closes, 1) << c.bodyThrows << c.closeThrows;
    EXPECT_STREQ(seen ? seen : "", c.seen ? c.seen : "") << c.bodyThrows << c.closeThrows;
  }

  // Items cannot copy one another: the copy fails half way, and the bracket still ends.
  TCountingCollection source, target;
  source.Add();
  EXPECT_THROW(target.Assign(source), EConvertError);
  EXPECT_EQ(target.allReports, 1);
  target.Add();
  EXPECT_EQ(target.allReports, 2);
}

TEST(Controls, AlignmentFillsTopThenClientAndFollowsResizing) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 300);
  form->HandleNeeded();
  auto* top = new TPanel(form);
  top->SetParent(form);
  top->SetHeight(19);
  top->SetAlign(alTop);
  auto* client = new TPanel(form);
  client->SetParent(form);
  client->SetAlign(alClient);
  RECT r;
  GetClientRect(form->Handle(), &r);
  EXPECT_EQ(top->Width(), r.right);
  EXPECT_EQ(client->Top(), 19);
  EXPECT_EQ(client->Height(), r.bottom - 19);
  form->SetBounds(0, 0, 400, 350);
  GetClientRect(form->Handle(), &r);
  EXPECT_EQ(top->Width(), r.right);
  EXPECT_EQ(client->Width(), r.right);
  EXPECT_EQ(client->Height(), r.bottom - 19);
  RECT windowRect;
  GetWindowRect(client->Handle(), &windowRect);
  EXPECT_EQ(windowRect.right - windowRect.left, r.right);
  TObject::Free(form);
}

TEST(Controls, AutoSizedPanelFollowsItsChildAndKeepsItsAlignedWidth) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 300, 300);
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBevelOuter(bvNone);
  panel->SetAlign(alTop);
  panel->SetAutoSize(true);
  auto* child = new TPanel(form);
  child->SetParent(panel);
  child->SetBounds(0, 0, 186, 23);
  EXPECT_EQ(panel->Height(), 23);
  child->SetHeight(19);
  EXPECT_EQ(panel->Height(), 19);
  form->HandleNeeded();
  RECT r;
  GetClientRect(form->Handle(), &r);
  EXPECT_EQ(panel->Width(), r.right);
  EXPECT_EQ(child->Width(), 186);
  TObject::Free(form);
}

TEST(Controls, ChildNotificationsComeBackToTheChild) {
  class TCommandTaker : public TWinControl {
   public:
    using TWinControl::TWinControl;
    void WndProc(TMessage& m) override {
      if (m.Msg == CN_COMMAND) {
        ++commands;
        m.Result = 7;
        return;
      }
      TWinControl::WndProc(m);
    }
    int commands = 0;
  };
  auto* form = new TForm(Application);
  auto* child = new TCommandTaker(form);
  child->SetParent(form);
  child->SetBounds(0, 0, 20, 20);
  LRESULT result =
      SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(1, 0), reinterpret_cast<LPARAM>(child->Handle()));
  EXPECT_EQ(child->commands, 1);
  EXPECT_EQ(result, 7);
  TObject::Free(form);
}

TEST(Controls, RecreatingAWindowKeepsTextAndBounds) {
  auto* form = new TForm(Application);
  form->SetCaption("Kept");
  form->SetBounds(5, 6, 210, 120);
  HWND first = form->Handle();
  form->RecreateWnd();
  HWND second = form->Handle();
  EXPECT_NE(first, second);
  EXPECT_FALSE(IsWindow(first));
  char text[32] = {};
  GetWindowTextA(second, text, sizeof text);
  EXPECT_EQ(std::string(text), "Kept");
  RECT r;
  GetWindowRect(second, &r);
  EXPECT_EQ(r.right - r.left, 210);
  EXPECT_EQ(TWinControl::FindControl(second), form);
  TObject::Free(form);
}

// Someone else's window (an embedded control's): it answers kOwnMessage itself.
constexpr UINT kOwnMessage = WM_APP + 7;
WNDPROC behindLater = nullptr;

LRESULT CALLBACK ForeignProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  return msg == kOwnMessage ? 42 : DefWindowProcA(w, msg, wp, lp);
}

// The window's owner subclassing it again after we adopted it.
LRESULT CALLBACK LaterProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  return CallWindowProcA(behindLater, w, msg, wp, lp);
}

HWND ForeignWindow(HWND parent) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ForeignProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TestForeign";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "TestForeign", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

TEST(Controls, AnAdoptedWindowThatDiesOrIsSubclassedAgainIsLetGoSoundly) {
  auto* form = new TForm(Application);
  form->HandleNeeded();
  // Dying on its own ends the adoption: the control's next window is its own, destroyed with it.
  auto* control = new TWinControl(form);
  HWND adopted = ForeignWindow(form->Handle());
  control->AdoptWindow(adopted);
  DestroyWindow(adopted);
  EXPECT_FALSE(control->HandleAllocated());
  control->SetParent(form);
  HWND own = control->Handle();
  control->DestroyHandle();
  EXPECT_FALSE(IsWindow(own));

  // Subclassed again: giving it back leaves the later procedure in front, and the window's own
  // procedure still answers behind it, also through a second adoption.
  auto* host = new TWinControl(form);
  HWND window = ForeignWindow(form->Handle());
  host->AdoptWindow(window);
  behindLater =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterProc)));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    host->ReleaseAdoptedWindow();
    EXPECT_FALSE(host->HandleAllocated());
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(LaterProc));
    EXPECT_EQ(SendMessageA(window, kOwnMessage, 0, 0), 42);
    host->AdoptWindow(window);
    EXPECT_EQ(SendMessageA(window, kOwnMessage, 0, 0), 42);
  }
  host->ReleaseAdoptedWindow();
  DestroyWindow(window);
  TObject::Free(form);
}

}  // namespace
