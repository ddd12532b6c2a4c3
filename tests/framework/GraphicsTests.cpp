// The canvas and its graphics objects: a changed font, brush or pen is let go of by the device
// context before its handle is deleted (Windows refuses to delete a selected object and the
// handle leaks; Wine defers the delete and hides it). An enhanced metafile records both in
// the order they happen.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "framework/Graphics.h"

namespace {

enum Kind { kFont, kBrush, kPen };

// Walks the records: which handle index each kind has selected, and any delete of one that is.
struct SelectionWalk {
  std::map<DWORD, Kind> kinds;
  std::map<Kind, DWORD> selected;
  int deletes = 0;
  int deletesWhileSelected = 0;
};

Kind StockKind(DWORD stock) {
  if (stock <= NULL_BRUSH) return kBrush;
  if (stock <= NULL_PEN) return kPen;
  return kFont;
}

int CALLBACK WalkRecord(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
  auto& walk = *reinterpret_cast<SelectionWalk*>(data);
  const DWORD index = record->dParm[0];
  switch (record->iType) {
    case EMR_EXTCREATEFONTINDIRECTW:
      walk.kinds[index] = kFont;
      break;
    case EMR_CREATEBRUSHINDIRECT:
      walk.kinds[index] = kBrush;
      break;
    case EMR_CREATEPEN:
      walk.kinds[index] = kPen;
      break;
    case EMR_SELECTOBJECT:
      if (index & 0x80000000) walk.selected[StockKind(index & 0x7FFFFFFF)] = 0;
      else if (walk.kinds.count(index)) walk.selected[walk.kinds[index]] = index;
      break;
    case EMR_DELETEOBJECT:
      ++walk.deletes;
      for (auto& [kind, held] : walk.selected)
        if (held == index) ++walk.deletesWhileSelected;
      break;
    default:
      break;
  }
  return 1;
}

TEST(Canvas, AChangedObjectIsDeselectedBeforeItsHandleIsDeleted) {
  struct Case {
    const char* name;
    std::function<void(TCanvas&)> draw;
    std::function<void(TCanvas&)> change;
  };
  const Case cases[] = {
      {"font", [](TCanvas& c) { c.TextOut(0, 0, "x"); }, [](TCanvas& c) { c.Font().SetHeight(-20); }},
      {"brush",
       [](TCanvas& c) {
         c.FillRect(RECT{0, 0, 5, 5});
       },
       [](TCanvas& c) { c.Brush().SetColor(clRed); }},
      {"pen", [](TCanvas& c) { c.LineTo(5, 5); }, [](TCanvas& c) { c.Pen().SetColor(clBlue); }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    {
      TCanvas canvas;
      canvas.SetHandle(dc);
      test.draw(canvas);
      test.change(canvas);
      test.draw(canvas);
      test.change(canvas);
    }
    HENHMETAFILE metafile = CloseEnhMetaFile(dc);
    SelectionWalk walk;
    EnumEnhMetaFile(nullptr, metafile, WalkRecord, &walk, nullptr);
    DeleteEnhMetaFile(metafile);
    EXPECT_GE(walk.deletes, 2) << "each change deletes the old handle";
    EXPECT_EQ(walk.deletesWhileSelected, 0);
  }
}

}  // namespace
