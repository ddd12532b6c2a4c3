// The viewer wrapper against the test control playing the viewer (same class ID, registered
// in this process only): opening documents, src, and the missing-interface failure.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "viewerhost/PdfLib_TLB.h"
#include "tests/viewerhost/TestControl.h"

namespace {

class TPlainForm : public TForm {
 public:
  using TForm::TForm;
  std::string ClassName() const override { return "TPlainForm"; }
};

// The viewer window's shape: a description with Pdf1 and its stored state.
class TViewerForm : public TForm {
 public:
  explicit TViewerForm(TComponent* owner) : TForm(owner) {
    RegisterPdfLibClasses();
    LoadDescription([this] { BindField(Pdf1, "Pdf1"); });
  }
  std::string ClassName() const override { return "TViewerForm"; }
  TPdf* Pdf1 = nullptr;
};

class PdfTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetTestControl();
    form_ = new TPlainForm(Application);
    form_->SetBounds(0, 0, 300, 200);
    pdf_ = new TPdf(form_);
    pdf_->SetParent(form_);
  }
  void TearDown() override {
    TObject::Free(form_);
    EXPECT_EQ(LiveTestControls(), 0);
    EXPECT_EQ(TPdf::DescribeControl().InstanceCount, 0);
  }
  TPlainForm* form_ = nullptr;
  TPdf* pdf_ = nullptr;
};

TEST_F(PdfTest, OpenDocumentSendsThePathAsOneBstrAndReadsTheBoolean) {
  BSTR path = SysAllocString(L"C:\\docs\\a.pdf");
  EXPECT_TRUE(pdf_->OpenDocument(path));
  const InvokeRecord& r = LastInvoke();
  EXPECT_EQ(r.id, 2);
  EXPECT_EQ(r.flags, DISPATCH_METHOD);
  ASSERT_EQ(r.args.size(), 1u);
  EXPECT_EQ(r.args[0].vt, VT_BSTR);
  EXPECT_STREQ(r.args[0].bstrVal, L"C:\\docs\\a.pdf");
  EXPECT_TRUE(r.named.empty());
  SysFreeString(path);
}

TEST_F(PdfTest, ASecondOpenDocumentQueriesNoInterfaceAgain) {
  BSTR path = SysAllocString(L"x.pdf");
  pdf_->OpenDocument(path);
  pdf_->OpenDocument(path);
  EXPECT_EQ(LoggedCalls("QueryInterface _DPdf").size(), 1u);
  EXPECT_EQ(LoggedCalls("Invoke(2)").size(), 2u);
  SysFreeString(path);
}

TEST_F(PdfTest, AnEmptyPathGoesAsANullBstrAndAnEmptyResultReadsFalse) {
  BSTR empty = SysAllocString(L"");
  EXPECT_FALSE(pdf_->OpenDocument(empty));
  ASSERT_EQ(LastInvoke().args.size(), 1u);
  EXPECT_EQ(LastInvoke().args[0].vt, VT_BSTR);
  EXPECT_EQ(LastInvoke().args[0].bstrVal, nullptr);
  SysFreeString(empty);
  EXPECT_FALSE(pdf_->OpenDocument(nullptr));
}

TEST_F(PdfTest, ADispatchExceptionReachesTheCallerWithTheControlsDescription) {
  BSTR path = SysAllocString(L"bad");
  try {
    pdf_->OpenDocument(path);
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message(), "Cannot open the document");
    EXPECT_EQ(e.ResultCode(), E_FAIL);
  }
  SysFreeString(path);
}

TEST_F(PdfTest, AControlWithoutTheViewerInterfaceIsRefused) {
  TestConfig().noViewerDispatch = true;
  BSTR path = SysAllocString(L"x.pdf");
  try {
    pdf_->OpenDocument(path);
    FAIL();
  } catch (const EIntfCastError& e) {
    EXPECT_EQ(e.Message(), "Interface not supported");
  }
  SysFreeString(path);
}

TEST_F(PdfTest, SrcIsReadAndWrittenByDispatchIdOne) {
  BSTR value = SysAllocString(L"doc.pdf");
  pdf_->Setsrc(value);
  SysFreeString(value);
  EXPECT_EQ(LastInvoke().id, 1);
  EXPECT_EQ(LastInvoke().flags, DISPATCH_PROPERTYPUT);
  ASSERT_EQ(LastInvoke().named.size(), 1u);
  EXPECT_EQ(LastInvoke().named[0], DISPID_PROPERTYPUT);
  BSTR read = pdf_->src();
  EXPECT_STREQ(read, L"doc.pdf");
  SysFreeString(read);
}

TEST_F(PdfTest, HasNoEventInterfaceAndIgnoresTheFailedConnection) {
  pdf_->EnsureControl();
  EXPECT_EQ(pdf_->EventSinkCookie(), 0u);
  EXPECT_NE(pdf_->PropertySinkCookie(), 0u);
  EXPECT_EQ(LoggedCalls("Advise").size(), 1u);
}

TEST_F(PdfTest, TheDescriptionsControlDataIsLoadedIntoTheControlOnCompletion) {
  auto* viewer = new TViewerForm(Application);
  ASSERT_NE(viewer->Pdf1, nullptr);
  EXPECT_NE(viewer->Pdf1->StoredState(), nullptr);
  EXPECT_EQ(viewer->Pdf1->ControlData().size(), 17u);
  viewer->Pdf1->EnsureControl();
  EXPECT_TRUE(Logged("Load(00000500FA3F0000423900000000000000)"));
  EXPECT_FALSE(Logged("InitNew"));
  EXPECT_EQ(viewer->Pdf1->StoredState(), nullptr);
  TObject::Free(viewer);
}

// The project's stand-in viewer control, from its registration in the test prefix.
TEST(RealViewer, LoadsItsStoredStateActivatesInPlaceAndOpensADocument) {
  ResetTestControl();
  UseRealViewer();
  auto* form = new TPlainForm(Application);
  form->SetBounds(0, 0, 700, 620);
  TPdf* pdf = nullptr;
  try {
    pdf = new TPdf(form);
  } catch (const EOleSysError& e) {
    TObject::Free(form);
    ResetTestControl();
    if (e.ResultCode() == REGDB_E_CLASSNOTREG) GTEST_SKIP() << "the stand-in viewer control is not registered";
    FAIL() << e.Message();
  }
  pdf->SetStoredState(
      {0x00, 0x00, 0x05, 0x00, 0xFA, 0x3F, 0x00, 0x00, 0x42, 0x39, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  pdf->SetParent(form);
  pdf->HandleNeeded();
  EXPECT_EQ(pdf->StoredState(), nullptr);
  ASSERT_TRUE(pdf->HandleAllocated());
  EXPECT_TRUE(IsWindow(pdf->Handle()));
  EXPECT_EQ(GetParent(pdf->Handle()), form->Handle());
  EXPECT_EQ(pdf->Width(), 619);
  EXPECT_EQ(pdf->Height(), 554);
  EXPECT_EQ(pdf->EventSinkCookie(), 0u);

  // Wine shows the host's root as drive Z:.
  std::string path = "Z:" + std::string(FOLVANE_SAMPLES) + "/drawing.pdf";
  for (char& c : path)
    if (c == '/') c = '\\';
  std::wstring wide = AnsiToWide(path);
  BSTR document = SysAllocString(wide.c_str());
  EXPECT_TRUE(pdf->OpenDocument(document));
  SysFreeString(document);

  pdf->SetBounds(0, 0, 300, 200);
  RECT r;
  GetWindowRect(pdf->Handle(), &r);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  TObject::Free(form);
  ResetTestControl();
}

}  // namespace
