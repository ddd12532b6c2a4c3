// The viewer wrapper against the test control playing the viewer (same class ID, registered
// in this process only): opening documents, src, and the missing-interface failure.
#include <gtest/gtest.h>

#include "Forms.h"
#include "PdfLib_TLB.h"
#include "TestControl.h"

namespace {

class TPlainForm : public TForm {
 public:
  using TForm::TForm;
  std::string ClassName() const override { return "TPlainForm"; }
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

}  // namespace
