// Reading window descriptions: components by class name, references stored before their
// target, unstored defaults, scaling on load, and descriptions that cannot be read.
#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Panel.h"
#include "framework/Forms.h"
#include "framework/Streaming.h"

namespace {

class TTestLink : public TComponent {
 public:
  using TComponent::TComponent;
  std::string ClassName() const override { return "TTestLink"; }
  bool ReadProperty(TReader& reader, std::string_view name) override {
    if (name == "Target") {
      reader.ReadReference<TComponent>([this](TComponent* c) { target = c; });
      return true;
    }
    if (name == "OnFire") {
      reader.ReadEvent([this](TNotifyEvent e) { onFire = std::move(e); });
      return true;
    }
    if (name == "Ratio") {
      ratio = reader.ReadFloat();
      return true;
    }
    if (name == "Skipped") {
      reader.SkipValue();
      return true;
    }
    if (name == "Throws") {
      reader.ReadBoolean();
      throw std::runtime_error("setter broke");
    }
    if (name == "FailLoaded") {
      failLoaded = reader.ReadBoolean();
      return true;
    }
    return TComponent::ReadProperty(reader, name);
  }
  void Loaded() override {
    TComponent::Loaded();
    targetAtLoaded = target;
    if (failLoaded) throw EInvalidOperation("Link refused");
  }
  double ratio = 0;
  bool failLoaded = false;
  TComponent* target = nullptr;
  TComponent* targetAtLoaded = nullptr;
  TNotifyEvent onFire;
};

class TTestForm : public TForm {
 public:
  TTestForm(TComponent* owner, const std::string& resource) : TForm(owner) {
    DeclareMethod("Fired", [this](TObject*) { ++fired; });
    LoadDescription(resource);
  }
  std::string ClassName() const override { return "TTestForm"; }
  int fired = 0;
};

class TBareForm : public TForm {
 public:
  explicit TBareForm(TComponent* owner) : TForm(owner) {
    DeclareMethod("Fired", [this](TObject*) { ++fired; });
  }
  std::string ClassName() const override { return "TBareForm"; }
  int fired = 0;
};

// Builds binary descriptions byte by byte.
struct Bytes {
  std::vector<std::uint8_t> b;
  Bytes& Raw(std::initializer_list<int> values) {
    for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  Bytes& Short(const std::string& text) {
    b.push_back(static_cast<std::uint8_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    return *this;
  }
  Bytes& Add(const Bytes& other) {
    b.insert(b.end(), other.b.begin(), other.b.end());
    return *this;
  }
  Bytes& Repeat(std::initializer_list<int> values, int times) {
    for (int i = 0; i < times; ++i) Raw(values);
    return *this;
  }
};

// A root of class `rootClass` with its properties and children.
std::vector<std::uint8_t> Description(const Bytes& rootProperties, const Bytes& children = {},
                                      const std::string& rootClass = "TBareForm") {
  Bytes d;
  d.Raw({'T', 'P', 'F', '0'}).Short(rootClass).Short("Bare").Add(rootProperties).Raw({0}).Add(children).Raw({0});
  return d.b;
}

Bytes Link(const Bytes& properties) {
  return Bytes().Short("TTestLink").Short("Link1").Add(properties).Raw({0}).Raw({0});
}

class TTestMissing : public TForm {
 public:
  explicit TTestMissing(TComponent* owner) : TForm(owner) { LoadDescription(); }
  std::string ClassName() const override { return "TTestMissing"; }
};

// Height of "0" in the design font on this system: descriptions scale by it over the stored 13.
int MeasuredTextHeight(int fontHeight = -11) {
  TFont font;
  font.SetHeight(fontHeight);
  HDC dc = GetDC(nullptr);
  SIZE size{};
  HGDIOBJ old = SelectObject(dc, font.Handle());
  GetTextExtentPoint32A(dc, "0", 1, &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cy;
}

int Scale(int value, int m, int d) { return MulDiv(value, m, d); }

class StreamingTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterComponentClass("TTestLink", [](TComponent* owner) { return new TTestLink(owner); });
    RegisterComponentClass("TTestBroken", [](TComponent*) -> TComponent* { throw std::runtime_error("no resources"); });
  }
  TTestForm* Load(const std::string& resource) {
    form_ = new TTestForm(Application, resource);
    return form_;
  }
  void TearDown() override { TObject::Free(form_); }
  TTestForm* form_ = nullptr;
};

TEST_F(StreamingTest, ReferenceStoredBeforeItsTargetIsResolvedBeforeLoaded) {
  TTestForm* form = Load("TESTFORWARD");
  auto* link = dynamic_cast<TTestLink*>(form->FindComponent("Link1"));
  auto* panel = dynamic_cast<TPanel*>(form->FindComponent("Panel2"));
  ASSERT_NE(link, nullptr);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(link->target, panel);
  EXPECT_EQ(link->targetAtLoaded, panel);
  EXPECT_EQ(link->Owner(), form);
  EXPECT_EQ(panel->Parent(), form);
  EXPECT_EQ(form->Caption(), "Forward");
  ASSERT_TRUE(link->onFire);
  link->onFire(link);
  EXPECT_EQ(form->fired, 1);
  EXPECT_FALSE(panel->HasState(csLoading));
  EXPECT_FALSE(form->HasState(csLoading | csReading));
}

TEST_F(StreamingTest, UnstoredPropertiesKeepTheirClassDefaults) {
  TTestForm* form = Load("TESTDEFAULTS");
  auto* panel = dynamic_cast<TPanel*>(form->FindComponent("Panel1"));
  ASSERT_NE(panel, nullptr);
  // Stored at 13 pixels per "0": on a system that measures otherwise, the defaults scale too.
  int m = MeasuredTextHeight();
  EXPECT_EQ(panel->Left(), Scale(7, m, 13));
  EXPECT_EQ(panel->Top(), 0);
  EXPECT_EQ(panel->Width(), Scale(7 + 185, m, 13) - Scale(7, m, 13));
  EXPECT_EQ(panel->Height(), Scale(41, m, 13));
  EXPECT_EQ(panel->BevelOuter(), bvRaised);
  EXPECT_EQ(panel->Align(), alNone);
  EXPECT_TRUE(panel->Visible());
  EXPECT_EQ(form->FormStyle(), fsNormal);
  EXPECT_EQ(form->BorderStyle(), bsSizeable);
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->Font().Name(), "MS Sans Serif");
}

TEST_F(StreamingTest, ClientSizeFormScalesChildrenFontsAndClientButNotPosition) {
  TTestForm* form = Load("TESTSCALED");
  auto* panel1 = dynamic_cast<TPanel*>(form->FindComponent("Panel1"));
  auto* panel2 = dynamic_cast<TPanel*>(form->FindComponent("Panel2"));
  ASSERT_NE(panel1, nullptr);
  ASSERT_NE(panel2, nullptr);
  // Measured against the stored 26: multiply, then divide, rounding to nearest; widths and
  // heights come from the scaled edges.
  int m = MeasuredTextHeight();
  ASSERT_NE(m, 26);
  EXPECT_EQ(panel1->Left(), Scale(10, m, 26));
  EXPECT_EQ(panel1->Top(), Scale(21, m, 26));
  EXPECT_EQ(panel1->Width(), Scale(111, m, 26) - Scale(10, m, 26));
  EXPECT_EQ(panel1->Height(), Scale(61, m, 26) - Scale(21, m, 26));
  EXPECT_EQ(panel2->Font().Height(), Scale(-22, m, 26));
  EXPECT_EQ(form->Left(), 30);
  EXPECT_EQ(form->Top(), 40);
  form->HandleNeeded();
  RECT client;
  GetClientRect(form->Handle(), &client);
  EXPECT_EQ(client.right, Scale(400, m, 26));
  EXPECT_EQ(client.bottom, Scale(300, m, 26));
}

TEST_F(StreamingTest, OuterSizeFormKeepsItsSizeWhileChildrenScale) {
  TTestForm* form = Load("TESTOUTER");
  auto* panel = dynamic_cast<TPanel*>(form->FindComponent("Panel1"));
  ASSERT_NE(panel, nullptr);
  int m = MeasuredTextHeight();
  EXPECT_EQ(panel->Width(), Scale(186, m, 26));
  EXPECT_EQ(panel->Height(), Scale(20, m, 26));
  EXPECT_EQ(form->Width(), 194);
  EXPECT_EQ(form->Height(), 600);
  EXPECT_EQ(form->Left(), 5);
}

TEST_F(StreamingTest, FontOfAnotherPixelDensityIsScaledByScreenOver96ThenMeasured) {
  ASSERT_EQ(Screen->PixelsPerInch(), 96);
  TTestForm* form = Load("TESTHIGHDPI");
  EXPECT_EQ(form->Font().Height(), -22) << "scaled by the screen's 96 over 96";
  auto* panel = dynamic_cast<TPanel*>(form->FindComponent("Panel1"));
  ASSERT_NE(panel, nullptr);
  // Then the children scale by the height measured in that font over the stored 13.
  int m = MeasuredTextHeight(-22);
  ASSERT_NE(m, 13);
  EXPECT_EQ(panel->Width(), Scale(110, m, 13) - Scale(10, m, 13));
  EXPECT_EQ(panel->Height(), Scale(40, m, 13) - Scale(10, m, 13));
}

TEST_F(StreamingTest, MissingDescriptionFailsAndClearsTheReference) {
  TTestMissing* missing = reinterpret_cast<TTestMissing*>(1);
  try {
    Application->CreateForm(missing);
    FAIL() << "a form without a description was made";
  } catch (const EResNotFound& error) {
    EXPECT_EQ(error.Message(), "Resource TTestMissing not found");
  }
  EXPECT_EQ(missing, nullptr);
}

TEST_F(StreamingTest, UnreadableDescriptionsAreClearErrors) {
  struct Case {
    const char* resource;
    const char* message;
  } cases[] = {
      {"TESTBADPROPERTY", "Error reading Panel1.Bogus: Property Bogus does not exist"},
      {"TESTBADCLASS", "Class TNoSuchThing not found"},
      {"TESTBADLINK", "Component Nowhere9 not found"},
      {"TESTTRUNCATED", "Invalid stream format"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resource);
    TTestForm* form = reinterpret_cast<TTestForm*>(1);
    try {
      form = new TTestForm(Application, c.resource);
      TObject::Free(form);
      ADD_FAILURE() << "read without error";
    } catch (const EReadError& error) {
      EXPECT_NE(error.Message().find(c.message), std::string::npos) << error.Message();
    }
  }
}

TEST_F(StreamingTest, DamagedDescriptionsAreReadErrorsNeverCrashesOrExhaustion) {
  const int deep = 20000;
  Bytes nestedPanels;
  for (int i = 1; i <= deep; ++i) {
    std::string name = std::to_string(i);
    nestedPanels.Short("TPanel").Short(name.insert(0, 1, 'P')).Raw({0});
  }
  nestedPanels.Repeat({0}, deep);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"string longer than the stream", Description(Bytes().Short("Caption").Raw({0x0C, 0xFF, 0xFF, 0xFF, 0x7F})),
       "Invalid stream format"},
      {"string of 256 MB", Description(Bytes().Short("Caption").Raw({0x0C, 0, 0, 0, 0x10, 'a'})),
       "Invalid stream format"},
      {"wide string whose byte count wraps", Description(Bytes().Short("Caption").Raw({0x12, 1, 0, 0, 0x80, 'a', 0})),
       "Invalid stream format"},
      {"binary longer than the stream",
       Description({}, Link(Bytes().Short("Skipped").Raw({0x0A, 0xF0, 0xFF, 0xFF, 0xFF}))), "Invalid stream format"},
      {"deeply nested lists", Description({}, Link(Bytes().Short("Skipped").Repeat({0x01}, deep))),
       "Invalid stream format"},
      {"deeply nested components", Description({}, nestedPanels), "Invalid stream format"},
      {"not a number", Description({}, Link(Bytes().Short("Ratio").Raw({0x05, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F}))),
       "Link1.Ratio: Invalid property value"},
      {"infinity", Description({}, Link(Bytes().Short("Ratio").Raw({0x0F, 0, 0, 0x80, 0x7F}))),
       "Link1.Ratio: Invalid property value"},
      {"reference to a component of the wrong class",
       Description(Bytes().Short("ActiveControl").Raw({0x07}).Short("Link1"), Link({})),
       "Bare.ActiveControl: Invalid property value"},
      {"component name that is no identifier", Description({}, Bytes().Short("TPanel").Short("Pa\x01").Raw({0, 0})),
       "'Pa\x01' is not a valid component name"},
      {"description of another class", Description({}, {}, "TOtherForm"), "Invalid stream format"},
      {"unknown window state", Description(Bytes().Short("WindowState").Raw({0x07}).Short("wsHuge")),
       "Invalid property value"},
      {"unknown position", Description(Bytes().Short("Position").Raw({0x07}).Short("poSomewhere")),
       "Invalid property value"},
      {"unknown border icon",
       Description(Bytes().Short("BorderIcons").Raw({0x0B}).Short("biSystemMenu").Short("biClose").Raw({0})),
       "Invalid property value"},
      {"unknown font pitch", Description(Bytes().Short("Font.Pitch").Raw({0x07}).Short("fpWide")),
       "Bare.Font.Pitch: Invalid property value"},
      {"form style of an MDI window", Description(Bytes().Short("FormStyle").Raw({0x07}).Short("fsMDIChild")),
       "Bare.FormStyle: Invalid property value"},
      {"empty name as a charset", Description(Bytes().Short("Font.Charset").Raw({0x07}).Short("").Raw({0x02, 1})),
       "Bare.Font.Charset: Invalid property value"},
      {"colour name with a stray letter", Description(Bytes().Short("Color").Raw({0x07}).Short("clRedd")),
       "Bare.Color: Invalid property value"},
      {"position that overflows with the width",
       Description(
           {}, Bytes().Short("TPanel").Short("Panel1").Short("Left").Raw({0x04, 0xFF, 0xFF, 0xFF, 0x7F}).Raw({0, 0})),
       "Panel1.Left: Invalid property value"},
      {"bevel drawn 2^31 times",
       Description({},
                   Bytes().Short("TPanel").Short("Panel1").Short("BevelWidth").Raw({0x04, 0, 0, 0, 0x7F}).Raw({0, 0})),
       "Panel1.BevelWidth: Invalid property value"},
      {"class whose construction fails", Description({}, Bytes().Short("TTestBroken").Short("Broken1").Raw({0, 0})),
       "no resources"},
      {"setter failing outside the framework", Description({}, Link(Bytes().Short("Throws").Raw({0x09}))),
       "Link1.Throws: setter broke"},
      {"root name that is no identifier",
       Bytes().Raw({'T', 'P', 'F', '0'}).Short("TBareForm").Short("9Bare").Raw({0, 0}).b,
       "'9Bare' is not a valid component name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto* form = new TBareForm(Application);
    try {
      TReader(c.bytes, form).ReadRootComponent();
      ADD_FAILURE() << "read without error";
    } catch (const EReadError& error) {
      EXPECT_NE(error.Message().find(c.message), std::string::npos) << error.Message();
    } catch (const std::exception& error) {
      ADD_FAILURE() << "not a read error: " << error.what();
    }
    TObject::Free(form);
  }
}

TEST_F(StreamingTest, NamedValuesReadAsTheirValuesColoursInAnyCase) {
  auto* form = new TBareForm(Application);
  Bytes named;
  for (auto [property, value] : {std::pair{"Color", "CLbtnFACE"},
                                 {"FormStyle", "fsStayOnTop"},
                                 {"Font.Charset", "OEM_CHARSET"},
                                 {"Font.Pitch", "fpFixed"}})
    named.Short(property).Raw({0x07}).Short(value);
  named.Short("Cursor").Raw({0x02, 0xF1});
  named.Short("BorderIcons").Raw({0x0B}).Short("biSystemMenu").Short("biMaximize").Raw({0});
  named.Short("Font.Style").Raw({0x0B}).Short("fsBold").Short("fsStrikeOut").Raw({0});
  const auto bytes = Description(named);
  TReader(bytes, form).ReadRootComponent();
  EXPECT_EQ(form->Color(), clBtnFace);
  EXPECT_EQ(form->Cursor(), crVSplit);
  EXPECT_EQ(form->FormStyle(), fsStayOnTop);
  EXPECT_EQ(form->BorderIcons(), unsigned{biSystemMenu | biMaximize});
  EXPECT_EQ(form->Font().Charset(), OEM_CHARSET);
  EXPECT_EQ(form->Font().Pitch(), fpFixed);
  EXPECT_EQ(form->Font().Style(), unsigned{fsBold | fsStrikeOut});
  TObject::Free(form);
}

TEST_F(StreamingTest, EveryComponentLeavesLoadingWhenTheEndOfLoadingOfOneFails) {
  auto* form = new TBareForm(Application);
  Bytes children = Link(Bytes().Short("FailLoaded").Raw({0x09}));
  children.Short("TPanel").Short("Panel2").Raw({0, 0});
  EXPECT_THROW(TReader(Description({}, children), form).ReadRootComponent(), EReadError);
  ASSERT_EQ(form->ComponentCount(), 2);
  for (int i = 0; i < form->ComponentCount(); ++i)
    EXPECT_FALSE(form->Components(i)->HasState(csLoading | csReading)) << form->Components(i)->Name();
  EXPECT_FALSE(form->HasState(csLoading | csReading));
  TObject::Free(form);
}

TEST_F(StreamingTest, AStoredCloseHandlerIsBound) {
  auto* form = new TBareForm(Application);
  TReader(Description(Bytes().Short("OnClose").Raw({0x07}).Short("Fired")), form).ReadRootComponent();
  ASSERT_TRUE(form->OnClose);
  TCloseAction action = caHide;
  form->OnClose(form, action);
  EXPECT_EQ(form->fired, 1);
  EXPECT_EQ(action, caHide);
  TObject::Free(form);
}

// A form stored visible: what its window saw of the fields while it was shown, and whether
// it was shown at all.
struct ShownRecord {
  int shown = 0;
  int shownUnbound = 0;
  int createdBound = 0;
};

class TShownForm : public TForm {
 public:
  TShownForm(TComponent* owner, ShownRecord& record, const char* field) : TForm(owner), record_(record) {
    DeclareMethod("Created", [this](TObject*) { record_.createdBound += Panel1 != nullptr; });
    LoadDescription([this, field] { BindField(Panel1, field); }, "TESTSHOWN");
  }
  std::string ClassName() const override { return "TShownForm"; }
  void WndProc(TMessage& m) override {
    if ((m.Msg == WM_SHOWWINDOW && m.WParam) || (m.Msg == WM_ACTIVATE && LOWORD(m.WParam) != WA_INACTIVE)) {
      ++record_.shown;
      record_.shownUnbound += Panel1 == nullptr;
    }
    TForm::WndProc(m);
  }
  TPanel* Panel1 = nullptr;

 private:
  ShownRecord& record_;
};

TEST_F(StreamingTest, AFormStoredVisibleIsShownOnlyOnceItsFieldsAreBoundAndItsCreationRan) {
  for (const char* field : {"Panel1", "Missing1"}) {
    SCOPED_TRACE(field);
    const bool binds = std::string(field) == "Panel1";
    Application->UpdateVisible();
    const bool buttonBefore = IsWindowVisible(Application->Handle()) != 0;
    ShownRecord record;
    TShownForm* form = nullptr;
    try {
      form = new TShownForm(Application, record, field);
    } catch (const EReadError&) {
    }
    EXPECT_EQ(form != nullptr, binds);
    EXPECT_EQ(record.shownUnbound, 0);
    EXPECT_EQ(record.createdBound, binds ? 1 : 0);
    EXPECT_EQ(record.shown > 0, binds);
    if (!binds) {
      EXPECT_EQ(IsWindowVisible(Application->Handle()) != 0, buttonBefore) << "no taskbar button left";
    }
    if (form) {
      // A new border style makes a new window, which takes the old one's place on screen.
      form->SetBorderStyle(bsSingle);
      EXPECT_TRUE(form->Visible());
      EXPECT_TRUE(IsWindowVisible(form->Handle()));
      EXPECT_FALSE(GetWindowLongA(form->Handle(), GWL_STYLE) & WS_THICKFRAME);
    }
    TObject::Free(form);
  }
}

}  // namespace
